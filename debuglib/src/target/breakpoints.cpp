#include "target/breakpoints.h"

#include <string>

#include "errors/error_codes.h"
#include "errors/messages.h"
#include "exports/debug_context.h"
#include "ordwin.h"
#include "target/sfr_access.h"
#include "target/target_state.h"
#include "zt/adapter_protocol.h"

namespace ordwin {
namespace {

// JTAG breakpoint registers.
constexpr uint8_t kJtagBreakpointAddress = 0x90;
constexpr uint8_t kJtagBreakpointMask = 0x86;

int32_t WriteRegister(DebugContext& context, int page, uint8_t address, uint8_t value) {
    if (context.traits.breakpointsThroughC2) {
        return WriteC2RegisterOnPage(context, page == kNoSfrPage ? 0 : page, address, value);
    }
    return WriteSfrOnPage(context, page, address, value);
}

int32_t ProgramC2(DebugContext& context, uint16_t enableMask) {
    const DeviceTraits& traits = context.traits;
    const BreakpointTable& table = Target(context).breakpoints;
    const uint8_t* lowRegisters = traits.breakpointRegisters;
    const int control = traits.breakpointControl;
    const int controlPage = traits.breakpointControlPage;
    const int addressPage = traits.breakpointAddressPage;
    int32_t result = 0;
    if (control >= 0) {
        result = WriteRegister(context, controlPage, static_cast<uint8_t>(control), 0);
        if (result < 0) return result;
    } else {
        for (int slot = 0; slot < 4; ++slot) {
            const auto high = static_cast<uint8_t>(lowRegisters[slot] + 1);
            result = WriteRegister(context, addressPage, high, 0);
            if (result < 0) return result;
        }
    }
    uint8_t controlValue = 0;
    for (const BreakpointEntry& entry : table.entries) {
        if ((entry.slotMask & enableMask) == 0) continue;
        const int slot = entry.slot;
        if (traits.breakpointBankBits && slot < 4) {
            const uint32_t bank = (entry.address >> 15) & 3;
            if (bank == 2 || bank == 3) controlValue |= static_cast<uint8_t>(0x10 << slot);
        }
        const auto low = static_cast<uint8_t>(entry.address);
        auto high = static_cast<uint8_t>(entry.address >> 8);
        if (traits.breakpointEnableBit) high |= 0x80;
        if (traits.breakpointSelect >= 0) {
            const auto select = static_cast<uint8_t>(traits.breakpointSelect);
            result = WriteRegister(context, kNoSfrPage, select, static_cast<uint8_t>(slot));
            if (result >= 0)
                result = WriteRegister(context, kNoSfrPage, static_cast<uint8_t>(select + 1), low);
            if (result >= 0)
                result = WriteRegister(context, kNoSfrPage, static_cast<uint8_t>(select + 2), high);
        } else if (slot < 4) {
            const uint8_t reg = lowRegisters[slot];
            result = WriteRegister(context, addressPage, reg, low);
            if (result >= 0) {
                result = WriteRegister(context, addressPage, static_cast<uint8_t>(reg + 1), high);
            }
        }
        if (result < 0) return result;
        if (control >= 0) {
            controlValue |= static_cast<uint8_t>(1u << slot);
            result =
                WriteRegister(context, controlPage, static_cast<uint8_t>(control), controlValue);
            if (result < 0) return result;
        }
    }
    return result;
}

BreakpointEntry* Find(BreakpointTable& table, uint32_t address) {
    for (BreakpointEntry& entry : table.entries) {
        if (entry.address == address) return &entry;
    }
    return nullptr;
}

int LowestFreeSlot(uint16_t freeMask) {
    for (int slot = 0; slot < kBreakpointSlots; ++slot) {
        if (freeMask & (1u << slot)) return slot;
    }
    return -1;
}

std::string WithErrorText(const char* text, int32_t code) {
    return std::string(text) + ErrorMessage(code);
}

int32_t Enable(DebugContext& context, BreakpointEntry& entry) {
    BreakpointTable& table = Target(context).breakpoints;
    table.usedMask |= entry.slotMask;
    entry.enabled = 1;
    const int32_t result = ProgramBreakpoints(context, table.usedMask);
    if (result < 0) {
        table.usedMask &= static_cast<uint16_t>(~entry.slotMask);
        entry.enabled = 0;
        ShowMessage(WithErrorText("Unable to enable breakpoint:\r\n", result));
        return result;
    }
    return 0;
}

int32_t Set(DebugContext& context, uint32_t address) {
    BreakpointTable& table = Target(context).breakpoints;
    if (BreakpointEntry* found = Find(table, address)) {
        if (found->enabled) return 0;
        return Enable(context, *found);
    }
    const int slot = LowestFreeSlot(table.freeMask);
    if (table.count >= static_cast<int>(context.record->breakpointCount) || slot < 0) {
        ShowMessage("Maximum number of breakpoints reached.\r\nNo more may be added.");
        return ORDWIN_E_BP_LIMIT;
    }
    BreakpointEntry entry;
    entry.address = address;
    entry.slot = slot;
    entry.slotMask = static_cast<uint16_t>(1u << slot);
    table.entries.push_back(entry);
    ++table.count;
    table.freeMask &= static_cast<uint16_t>(~entry.slotMask);
    table.usedMask |= entry.slotMask;
    BreakpointEntry& added = table.entries.back();
    if (context.debugProtocol != kProtocolC2) {
        const int32_t result =
            context.commands->JtagWriteRegister(static_cast<uint8_t>(kJtagBreakpointAddress + slot),
                                                context.record->addressWidth, address);
        if (result < 0) {
            ShowMessage(WithErrorText("Failed Setting BreakPoint Target.\r\n", result));
            return result;
        }
    }
    return Enable(context, added);
}

int32_t Clear(DebugContext& context, uint32_t address) {
    BreakpointTable& table = Target(context).breakpoints;
    for (auto it = table.entries.begin(); it != table.entries.end(); ++it) {
        if (it->address != address) continue;
        table.usedMask &= static_cast<uint16_t>(~it->slotMask);
        table.freeMask |= it->slotMask;
        const int32_t result = ProgramBreakpoints(context, table.usedMask);
        if (result < 0) ShowMessage(WithErrorText("Unable to remove breakpoint:\r\n", result));
        --table.count;
        table.entries.erase(it);
        return 0;
    }
    return 0;
}

}  // namespace

int32_t ProgramBreakpoints(DebugContext& context, uint16_t enableMask) {
    TargetState& state = Target(context);
    state.breakpointUpdate = true;
    int32_t result;
    if (context.debugProtocol == kProtocolC2) {
        result = ProgramC2(context, enableMask);
    } else {
        result = context.commands->JtagWriteRegister(kJtagBreakpointMask, 16, enableMask);
    }
    state.breakpointUpdate = false;
    return result;
}

int32_t SetClearBreakpoint(DebugContext& context, bool set, uint32_t address) {
    return set ? Set(context, address) : Clear(context, address);
}

void ClearAllBreakpoints(DebugContext& context) {
    BreakpointTable& table = Target(context).breakpoints;
    const uint32_t limit = context.record->breakpointCount;
    for (uint32_t i = 0; i < limit && !table.entries.empty(); ++i) {
        Clear(context, table.entries.front().address);
    }
}

}  // namespace ordwin
