#include "link/usb_adapters.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "exports/debug_context.h"
#include "link/wickport_api.h"
#include "ordwin.h"
#include "zt/adapter_protocol.h"

namespace ordwin {

int32_t CountUsbAdapters(DebugContext& context, int* count) {
    const WickportApi& wp = Wickport();
    context.usbDeviceCount = 0;
    const int result = wp.getDeviceCount(&context.usbDeviceCount);
    if (result < 0) return result;
    *count = context.usbDeviceCount;
    int productId = 0;
    if (wp.getProductId(&productId) >= 0) context.link->NoteProductId(productId);
    return 0;
}

int32_t SetUSBDeviceImpl(DebugContext& context, const char* serialNumber) {
    const WickportApi& wp = Wickport();
    std::memset(context.adapterSerial, 0, sizeof context.adapterSerial);
    int count = 0;
    int result = wp.getDeviceCount(&count);
    if (result < 0) return result;
    for (int index = 0; index < count; ++index) {
        const char* serial = nullptr;
        if (wp.getSerialByIndex(index, &serial) < 0 || serial == nullptr) continue;
        if (strcasecmp(serial, serialNumber) == 0) {
            int productId = 0;
            if (wp.getProductIdByIndex(index, &productId) >= 0) {
                context.link->NoteProductId(productId);
            }
            break;
        }
    }
    if (wp.selectDevice(serialNumber) < 0) {
        context.deviceChosen = 0;
        return 0;
    }
    const char* selected = nullptr;
    if (wp.getSelectedSerial(&selected) >= 0 && selected != nullptr) {
        std::snprintf(context.adapterSerial, sizeof context.adapterSerial, "%s", selected);
    }
    context.deviceChosen = 1;
    return 0;
}

int32_t GetPinModeImpl(uint8_t* a, uint8_t* b, uint8_t* c) {
    uint8_t report[5] = {zt::adapter::kReportPinMode, 0, 0, 0, 0};
    const int result = Wickport().getFeatureReport(report, sizeof report);
    if (result < 0) return ORDWIN_E_PIN_MODE;
    *a = report[1];
    *b = report[2];
    *c = report[3];
    return result;
}

int32_t SetPinModeImpl(uint8_t a, uint8_t b, uint8_t c) {
    uint8_t report[5] = {zt::adapter::kReportPinMode, a, b, c, 0};
    const int result = Wickport().setFeatureReport(report, sizeof report);
    return result < 0 ? ORDWIN_E_PIN_MODE : result;
}

int32_t GetPinLatchImpl(uint8_t* latch) {
    uint8_t report[2] = {zt::adapter::kReportPinLatch, 0};
    const int result = Wickport().getFeatureReport(report, sizeof report);
    if (result < 0) return ORDWIN_E_GET_PIN_LATCH;
    *latch = report[1] & zt::adapter::kPinLatchMask;
    return result;
}

int32_t SetPinLatchImpl(uint8_t mask, uint8_t value) {
    uint8_t report[3] = {zt::adapter::kReportSetPinLatch,
                         static_cast<uint8_t>(mask & zt::adapter::kPinLatchMask),
                         static_cast<uint8_t>(value & zt::adapter::kPinLatchMask)};
    const int result = Wickport().setFeatureReport(report, sizeof report);
    return result < 0 ? ORDWIN_E_SET_PIN_LATCH : result;
}

}  // namespace ordwin
