#include "target/target_state.h"

#include <memory>

#include "exports/debug_context.h"

namespace ordwin {
namespace {

using Registers = std::array<uint8_t, 4>;

// Breakpoint low-address registers of slots 0..3 by family. Families whose
// registers come from their description keep what they had.
void SetBreakpointRegisters(uint16_t family, Registers& regs) {
    if (FamilyIn(family, {4, 16, 27, 19, 23, 38})) {
        regs = {0xD2, 0xD4, 0xD6, 0xDD};
    } else if (FamilyIn(family, {15, 18, 21, 24, 25, 26, 30, 40, 44})) {
        regs = {0xCC, 0xCE, 0xD4, 0xD6};
    } else if (FamilyIn(family, {28, 32, 33, 34, 39})) {
        regs = {0xCA, 0xCC, 0xD2, 0xD4};
    } else if (family == 35) {
        regs = {0xD9, 0xDB, 0xDD, 0xED};
    } else if (family == 42) {
        regs = {0x8D, 0xAB, 0xCE, 0xD2};
    } else if (family == 43) {
        regs = {0x85, 0xAB, 0xD4, 0xD2};
    } else if (family == 45) {
        regs = {0xE2, 0xEA, 0xF2, 0xFA};
    } else if (family == 47) {
        regs = {0x85, 0xD5, 0xCE, 0xD2};
    } else if (family == 36) {
        // The Zeltra selects its slots through a register of its own.
    } else if (family >= 4 && family <= 48 && !(family >= 5 && family <= 7)) {
        regs = {0x85, 0xAB, 0xCE, 0xD2};
    }
}

void SetXdataRegisters(uint16_t family, TargetState& state) {
    auto set = [&](uint8_t h, uint8_t l, uint8_t d) {
        state.xadrh = h;
        state.xadrl = l;
        state.xdata = d;
    };
    if (FamilyIn(family, {15, 18, 30, 35})) {
        set(0xC7, 0xC6, 0xC5);
    } else if (FamilyIn(family, {24, 25, 26, 40, 44})) {
        set(0xC7, 0x8F, 0x84);
    } else if (family == 42) {
        set(0xC7, 0xAD, 0x8C);
    } else if (family == 43) {
        set(0xC4, 0xC3, 0x84);
    } else if (FamilyIn(family, {4, 16, 27, 36, 47})) {
        // No XDATA registers.
    } else if (family >= 8 && family <= 48) {
        set(0xC7, 0xAD, 0x84);
    }
}

}  // namespace

bool FamilyIn(uint16_t family, std::initializer_list<uint16_t> codes) {
    for (uint16_t c : codes) {
        if (c == family) return true;
    }
    return false;
}

TargetState& Target(DebugContext& context) {
    if (!context.target) context.target = std::make_shared<TargetState>();
    return *context.target;
}

void StartConnectionState(DebugContext& context) {
    TargetState& state = Target(context);
    const uint16_t family = context.record->familyCode;
    state.breakpoints = BreakpointTable{};
    state.breakpointUpdate = false;
    state.sfr.Discard();
    state.lockByteFlag = false;
    // Pages left flagged by an earlier connection belong to another chip.
    state.pageFlags.fill(0);
    SetBreakpointRegisters(family, state.breakpoints.lowRegisters);
    SetXdataRegisters(family, state);
}

uint8_t ShadowRegister(const DebugContext& context, int index) {
    const uint16_t family = context.record->familyCode;
    const uint8_t base = family == 39 || family == 45 ? 0x3B : 0x24;
    return static_cast<uint8_t>(base + index);
}

}  // namespace ordwin
