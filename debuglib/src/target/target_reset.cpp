#include "target/target_reset.h"

#include "exports/debug_context.h"
#include "ordwin.h"
#include "target/sfr_access.h"
#include "target/target_state.h"

namespace ordwin {
namespace {

constexpr uint8_t kSetClockStrobe = 0x40;
constexpr uint8_t kResetCommand = 0x20;

}  // namespace

int32_t FamilyRegisterSetup(DebugContext& context) {
    const uint16_t family = context.record->familyCode;
    if (family < 5 || family > 7) return 0;
    int32_t result = WriteSfrOnPage(context, 0xFF, 0xC5, 0x7B);
    if (result < 0) return result;
    return WriteSfrOnPage(context, 0xFF, 0xC4, 0x00);
}

int32_t FamilySetup(DebugContext& context) {
    StartConnectionState(context);
    return FamilyRegisterSetup(context);
}

int32_t ResetTarget(DebugContext& context, int /*pulse*/, int halt, int /*haltOption*/) {
    if (context.debugProtocol != kProtocolC2) {
        // The JTAG start-state sequence is not built yet.
        return ORDWIN_E_NOTIMPL;
    }
    if (halt) context.runState = kRunStateHalted;
    int32_t result = 0;
    if (context.adapterType == kAdapterUsb) {
        result = context.commands->CommandOneParam(kSetClockStrobe, context.c2ClockStrobe);
        if (result < 0) return result;
    }
    result = context.commands->BareCommand(kResetCommand);
    if (result < 0) return result;
    if (halt) return FamilyRegisterSetup(context);
    return result;
}

}  // namespace ordwin
