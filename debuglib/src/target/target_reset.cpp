#include "target/target_reset.h"

#include "errors/messages.h"
#include "exports/debug_context.h"
#include "link/adapter_link.h"
#include "ordwin.h"
#include "target/execution.h"
#include "target/sfr_access.h"
#include "target/target_state.h"
#include "zt/adapter_protocol.h"

namespace ordwin {
namespace {}  // namespace

int32_t FamilyRegisterSetup(DebugContext& context) {
    if (!context.traits.resetRegisterSetup) return 0;
    int32_t result = WriteSfrOnPage(context, 0xFF, 0xC5, 0x7B);
    if (result < 0) return result;
    return WriteSfrOnPage(context, 0xFF, 0xC4, 0x00);
}

int32_t FamilySetup(DebugContext& context) {
    StartConnectionState(context);
    return FamilyRegisterSetup(context);
}

namespace {

constexpr uint8_t kRunStateJtagReset = 2;

// Puts the debug logic into its start state: instruction scans 0x01 and 0x81,
// 0x81 again as an update-only scan, then the two-byte data scan.
int32_t JtagStartState(DebugContext& context) {
    constexpr uint8_t kInstructionScan = 0x00;
    constexpr uint8_t kUpdateOnly = 0x04;
    constexpr uint8_t kSendsData = 0x01;
    const uint8_t data[] = {0x38, 0x00};
    int32_t result = context.commands->JtagScan(8, kInstructionScan, 0x01);
    if (result >= 0) result = context.commands->JtagScan(8, kInstructionScan, 0x81);
    if (result >= 0) result = context.commands->JtagScan(8, kUpdateOnly, 0x81);
    if (result >= 0) result = context.commands->JtagScan(16, kSendsData, 0, data, sizeof data);
    return result;
}

int32_t ResetJtag(DebugContext& context, int pulse, int halt) {
    if (pulse && !context.link->ResetAdapter(1)) return ORDWIN_E_FAIL;
    int32_t result = context.commands->BareCommand(zt::adapter::kJtagReset);
    if (result < 0) return result;
    result = context.commands->JtagDevice(context.jtagChainA, context.jtagChainB,
                                          context.jtagChainC, context.jtagChainD);
    if (result < 0) {
        ShowMessage("Set JTAG Device Command failed.");
        return result;
    }
    context.runState = kRunStateJtagReset;
    result = context.commands->JtagBoardState(zt::adapter::kJtagBoardReset);
    if (result < 0) {
        context.runState = kRunStateUnknown;
        return result;
    }
    result = JtagStartState(context);
    if (result < 0) return result;
    if (halt) {
        result = JtagHaltTarget(context);
        if (result < 0) return result;
    }
    return FamilyRegisterSetup(context);
}

}  // namespace

int32_t ResetTarget(DebugContext& context, int pulse, int halt, int /*haltOption*/) {
    if (context.debugProtocol != kProtocolC2) return ResetJtag(context, pulse, halt);
    if (halt) context.runState = kRunStateHalted;
    int32_t result = 0;
    if (context.adapterType == kAdapterUsb) {
        result =
            context.commands->CommandOneParam(zt::adapter::kClockStrobe, context.c2ClockStrobe);
        if (result < 0) return result;
    }
    result = context.commands->BareCommand(zt::adapter::kTargetReset);
    if (result < 0) return result;
    if (halt) return FamilyRegisterSetup(context);
    return result;
}

}  // namespace ordwin
