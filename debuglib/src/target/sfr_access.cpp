#include "target/sfr_access.h"

#include <initializer_list>

#include "exports/debug_context.h"
#include "ordwin.h"

namespace ordwin {
namespace {

constexpr uint8_t kDirectRead = 0x28;
constexpr uint8_t kDirectWrite = 0x29;

bool IsIn(uint16_t code, std::initializer_list<uint16_t> codes) {
    for (uint16_t c : codes) {
        if (c == code) return true;
    }
    return false;
}

}  // namespace

int SfrPageRegister(uint16_t family) {
    if (family >= 5 && family <= 7) return 0x84;
    if (family == 11) return 0x97;
    if (IsIn(family, {15, 24, 25, 26, 40, 44})) return 0xBF;
    if (IsIn(family, {16, 19, 23, 27, 38})) return 0xCF;
    if (IsIn(family, {8, 9, 10, 13, 20, 29, 36}) || family < 5 || family > 48) return -1;
    return 0xA7;
}

int32_t ReadDirect(DebugContext& context, uint8_t address, uint8_t* value) {
    const uint8_t packet[] = {kDirectRead, address, 1};
    return context.commands->Exchange(packet, sizeof packet, value, 1);
}

int32_t WriteDirect(DebugContext& context, uint8_t address, uint8_t value) {
    const uint8_t packet[] = {kDirectWrite, address, 1, value};
    return context.commands->Exchange(packet, sizeof packet);
}

int32_t WriteSfrOnPage(DebugContext& context, int page, uint8_t address, uint8_t value) {
    const int pageRegister = SfrPageRegister(context.record->familyCode);
    const bool paged = page != kNoSfrPage && pageRegister >= 0;
    uint8_t oldPage = 0;
    int32_t result = 0;
    if (paged) {
        const auto reg = static_cast<uint8_t>(pageRegister);
        result = ReadDirect(context, reg, &oldPage);
        if (result < 0) return result;
        if (oldPage != page) {
            result = WriteDirect(context, reg, static_cast<uint8_t>(page));
            if (result < 0) return result;
        }
    }
    result = WriteDirect(context, address, value);
    // A flash-status reply still means the register took the value.
    if (result == ORDWIN_E_STATUS_FLASH) result = 0;
    if (result < 0) return result;
    if (paged && oldPage != page) {
        result = WriteDirect(context, static_cast<uint8_t>(pageRegister), oldPage);
        if (result == ORDWIN_E_STATUS_FLASH) result = 0;
    }
    return result;
}

}  // namespace ordwin
