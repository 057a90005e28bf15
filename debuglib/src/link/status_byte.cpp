#include "link/status_byte.h"

#include "ordwin.h"
#include "zt/adapter_protocol.h"

namespace ordwin {

int32_t StatusToResult(uint8_t status) {
    switch (status) {
        case zt::adapter::kStatusOk:
            return 0;
        case zt::adapter::kStatusNotHalted:
            return ORDWIN_E_STATUS_NOT_HALTED;
        case zt::adapter::kStatusFailed:
            return ORDWIN_E_STATUS_FAILED;
        case zt::adapter::kStatusFlash:
            return ORDWIN_E_STATUS_FLASH;
        case zt::adapter::kStatusNoTarget:
            return ORDWIN_E_STATUS_NOT_RESPONDING;
        default:
            return ORDWIN_E_BAD_RESPONSE;
    }
}

}  // namespace ordwin
