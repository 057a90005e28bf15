// Per-connection state of the target operations: the breakpoint table, the
// SFR shadow, the page flags and the download bookkeeping.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <list>
#include <string>

namespace ordwin {

struct DebugContext;

inline constexpr int kBreakpointSlots = 8;
inline constexpr int kBreakpointLabelSize = 260;

struct BreakpointEntry {
    uint32_t address = 0;
    uint8_t always1 = 1;
    uint8_t enabled = 0;
    int slot = 0;
    int32_t value = -1;
    char label[kBreakpointLabelSize] = {};
    uint16_t slotMask = 0;
};

struct BreakpointTable {
    int count = 0;
    std::list<BreakpointEntry> entries;  // in the order of creation
    uint16_t usedMask = 0;
    uint16_t freeMask = 0xFF;
};

// SFR values 0x80..0xFF of every page, plus the unpaged view (page 256).
inline constexpr int kSfrPages = 257;
inline constexpr int kSfrNoPage = 256;

struct SfrShadow {
    std::array<std::array<uint8_t, 128>, kSfrPages> values{};
    std::array<std::bitset<128>, kSfrPages> changed{};
    std::bitset<kSfrPages> loaded;
    bool anyChanged = false;

    void Discard() {
        loaded.reset();
        for (auto& page : changed) page.reset();
        anyChanged = false;
    }
};

// Room for 257 pages of any page size.
inline constexpr uint32_t kPageFlagCount = 257;

struct TargetState {
    BreakpointTable breakpoints;
    bool breakpointUpdate = false;
    SfrShadow sfr;
    std::array<uint32_t, kPageFlagCount> pageFlags{};
    bool downloadComplete = false;
    std::string lastDownload;
    bool lockByteFlag = false;
    // Set by the JTAG status path when the target reports its flag bit.
    bool jtagStatusFlag = false;
};

// The target state of the context, created on first use.
TargetState& Target(DebugContext& context);

// A fresh state for a new connection: empty breakpoint table, shadow
// discarded. The family's register addresses are the ones the device
// database set in the context's traits with the record.
void StartConnectionState(DebugContext& context);

}  // namespace ordwin
