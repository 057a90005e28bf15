#include "link/status_byte.h"

#include "ordwin.h"

namespace ordwin {

int32_t StatusToResult(uint8_t status) {
    switch (status) {
        case kStatusSuccess:
            return 0;
        case 0x01:
            return ORDWIN_E_STATUS_NOT_HALTED;
        case 0x02:
            return ORDWIN_E_STATUS_FAILED;
        case 0x03:
            return ORDWIN_E_STATUS_FLASH;
        case 0x57:
            return ORDWIN_E_STATUS_NOT_RESPONDING;
        default:
            return ORDWIN_E_BAD_RESPONSE;
    }
}

}  // namespace ordwin
