#include "target/write_once.h"

#include "errors/messages.h"
#include "exports/debug_context.h"
#include "ordwin.h"
#include "target/sfr_access.h"
#include "target/target_state.h"

namespace ordwin {
namespace {

struct Step {
    uint8_t reg;
    uint8_t value;
    const char* failure;  // null: fails silently
};

constexpr Step kEnter[] = {
    {0x02, 0x04, nullptr},
    {0xDF, 0x40, "Error occur writing SFR 0xDF = 0x40!"},
    {0xDF, 0x58, "Error occur writing SFR 0xDF = 0x58!"},
};

constexpr Step kLeave[] = {
    {0xDF, 0x40, "Error occured writing SFR 0xDF = 0x40!"},
    {0xDF, 0x00, "Error occured writing SFR 0xDF = 0x00!"},
    {0x02, 0x02, "Error occured writing SFR 0x02 = 0x02!"},
    {0x02, 0x04, "Error occured writing SFR 0x02 = 0x04!"},
    {0x02, 0x01, nullptr},
};

template <size_t N>
int32_t Run(DebugContext& context, const Step (&steps)[N]) {
    if (!IsWriteOnce(context)) return 0;
    for (const Step& step : steps) {
        const int32_t result = WriteC2Register(context, step.reg, step.value);
        if (result < 0) {
            if (step.failure != nullptr) ShowMessage(step.failure);
            return result;
        }
    }
    return 0;
}

}  // namespace

bool IsWriteOnce(const DebugContext& context) {
    return context.traits.writeOnce;
}

int32_t EnterWriteMode(DebugContext& context) {
    return Run(context, kEnter);
}

int32_t LeaveWriteMode(DebugContext& context) {
    return Run(context, kLeave);
}

int32_t ReadWriteStatus(DebugContext& context) {
    if (!IsWriteOnce(context)) return 0;
    uint8_t status = 0;
    int32_t result;
    if (context.traits.pagedWriteStatus) {
        uint8_t saved = 0;
        result = ReadC2Register(context, 0xBF, &saved);
        if (result < 0) return result;
        if (saved != 1) {
            result = WriteC2Register(context, 0xBF, 1);
            if (result < 0) return result;
        }
        result = ReadC2Register(context, 0xB3, &status);
        const int32_t restored = saved != 1 ? WriteC2Register(context, 0xBF, saved) : 0;
        if (result < 0) return result;
        if (restored < 0) return restored;
    } else {
        result = ReadC2Register(context, 0xB7, &status);
        if (result < 0) return result;
    }
    return (status & 1) ? ORDWIN_E_STATUS_FLASH : 0;
}

}  // namespace ordwin
