#include "target/execution.h"

#include <cstring>
#include <string>

#include "errors/error_codes.h"
#include "errors/messages.h"
#include "exports/debug_context.h"
#include "ordwin.h"
#include "target/breakpoints.h"
#include "target/memory_access.h"
#include "target/sfr_access.h"
#include "target/target_reset.h"
#include "target/target_state.h"
#include "zt/adapter_protocol.h"

namespace ordwin {
namespace {

int32_t ExitHalt(DebugContext& context) {
    return context.commands->JtagExitHalt();
}

int32_t ReadHaltFlag(DebugContext& context, uint8_t* flag) {
    return context.commands->JtagReadHaltFlag(flag);
}

int32_t ClearAfterHalt(DebugContext& context) {
    return context.commands->JtagDirectWrite(0, 0);
}

std::string WithErrorText(const char* text, int32_t code) {
    return std::string(text) + ErrorMessage(code);
}

// Clears the halt condition once the target reports it.
int32_t WaitForJtagHalt(DebugContext& context) {
    const int32_t halted = context.commands->JtagAwaitHalt();
    if (halted < 0) return halted;
    return halted ? ClearAfterHalt(context) : ORDWIN_E_HALT;
}

int32_t JtagHalt(DebugContext& context) {
    context.runState = kRunStateHalted;
    const int32_t result = context.commands->JtagBoardState(zt::adapter::kJtagBoardHalted);
    if (result < 0) {
        if ((static_cast<uint32_t>(result) & 0x8000u) == 0) {
            ShowMessage("Communication failure.\nReset cable and try again.");
        }
        context.runState = kRunStateUnknown;
        return result;
    }
    return WaitForJtagHalt(context);
}

int32_t JtagStep(DebugContext& context) {
    if (context.runState != kRunStateHalted) {
        JtagHalt(context);
        if (context.runState != kRunStateHalted) return 0;
    }
    const int32_t result = ExitHalt(context);
    if (result < 0) {
        ShowMessage(WithErrorText("Failed exiting Halt state.\n", result));
        return result;
    }
    const int32_t halted = context.commands->JtagAwaitHalt();
    if (halted < 0) return halted;
    return halted ? 0 : ORDWIN_E_HALT;
}

int32_t JtagStatus(DebugContext& context) {
    uint8_t flag = 0;
    int32_t result = ReadHaltFlag(context, &flag);
    if (result < 0 || (flag & 1) == 0) return result;
    context.runState = kRunStateHalted;
    DiscardSfrShadow(context);
    result = context.commands->JtagBoardState(zt::adapter::kJtagBoardHalted);
    if (result < 0) {
        ShowMessage(WithErrorText("Failed setting Board State.\n", result));
        context.runState = kRunStateUnknown;
        return result;
    }
    uint8_t value = 0;
    result = ReadDirect(context, context.traits.haltStatusRegister, &value);
    if (result < 0) return result;
    Target(context).jtagStatusFlag = (value & 0x10) != 0;
    result = ClearAfterHalt(context);
    if (result < 0) ShowMessage(WithErrorText("Communication with debugger failed.\n", result));
    return result;
}

}  // namespace

int32_t JtagHaltTarget(DebugContext& context) {
    return JtagHalt(context);
}

int32_t HaltTarget(DebugContext& context) {
    DiscardSfrShadow(context);
    std::memset(context.haltArea.get(), 0, kHaltAreaSize);
    const bool usb = context.adapterType == kAdapterUsb;
    if (usb) context.link->SetUsbTimeout(2000);
    int32_t result;
    if (IsJtag(context)) {
        result = JtagHalt(context);
    } else {
        result = context.commands->BareCommand(zt::adapter::kHalt);
        context.runState = kRunStateHalted;
    }
    if (usb) context.link->SetUsbTimeout(context.traits.haltedUsbTimeoutMs);
    return result;
}

int32_t RunTarget(DebugContext& context) {
    int32_t result = WriteBackSfrShadow(context);
    if (result < 0) return result;
    DiscardSfrShadow(context);
    context.runState = kRunStateRunning;
    if (IsJtag(context)) {
        result = context.commands->JtagBoardState(zt::adapter::kJtagBoardRunning);
        if (result < 0) return result;
        return ExitHalt(context);
    }
    return context.commands->BareCommand(zt::adapter::kRun);
}

int32_t StepTarget(DebugContext& context) {
    const int32_t result = WriteBackSfrShadow(context);
    if (result < 0) return result;
    DiscardSfrShadow(context);
    if (IsJtag(context)) return JtagStep(context);
    return context.commands->BareCommand(zt::adapter::kStep);
}

int32_t PollTargetStatus(DebugContext& context, int* status) {
    if (context.runState == kRunStateRunning) {
        int32_t result;
        if (IsJtag(context)) {
            result = JtagStatus(context);
        } else {
            uint8_t halted = 0;
            result = context.commands->BareCommandData(zt::adapter::kRunStatus, &halted, 1);
            if (result >= 0 && halted == 1) {
                context.runState = kRunStateHalted;
                DiscardSfrShadow(context);
            }
        }
        if (result < 0) return result;
    }
    *status = context.runState;
    return 0;
}

int32_t ReadProgramCounter(DebugContext& context, uint32_t* pc) {
    uint8_t bytes[2] = {};
    int32_t result;
    if (IsJtag(context)) {
        result = ReadDirect(context, context.traits.pcRegister, &bytes[0]);
        if (result >= 0) result = ReadDirect(context, context.traits.pcRegister + 1, &bytes[1]);
    } else {
        result = ReadDirectBlock(context, context.traits.pcRegister, 2, bytes);
    }
    if (result == ORDWIN_E_NO_RESPONSE) return ORDWIN_E_NOT_CONNECTED;
    if (result < 0) return result;
    *pc = static_cast<uint32_t>(bytes[1]) * 256 + bytes[0];
    return result;
}

int32_t WriteProgramCounter(DebugContext& context, uint32_t pc) {
    const int32_t result =
        WriteDirect(context, context.traits.pcRegister, static_cast<uint8_t>(pc));
    if (result < 0) return result;
    return WriteDirect(context, context.traits.pcRegister + 1, static_cast<uint8_t>(pc >> 8));
}

int32_t ResetTargetAndBreakpoints(DebugContext& context) {
    const int32_t result = ResetTarget(context, 0, 1, 1);
    if (result < 0) return result;
    ClearAllBreakpoints(context);
    return result;
}

}  // namespace ordwin
