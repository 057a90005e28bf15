#include "link/adapter_link.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "errors/messages.h"
#include "exports/debug_context.h"
#include "link/packet_sizes.h"
#include "link/status_byte.h"
#include "link/wickport_api.h"
#include "ordwin.h"
#include "wickport.h"

namespace ordwin {
namespace {

constexpr uint16_t kSmallAdapterA = 0x8253;
constexpr uint16_t kSmallAdapterB = 0x8045;

constexpr int kControlReset = 0x40;
constexpr int kControlResetState = 0x42;

}  // namespace

AdapterLink::AdapterLink(DebugContext& context) : context_(context) {}

void AdapterLink::NoteProductId(int productId) {
    context_.usbProductId = static_cast<uint16_t>(productId & 0xFFFF);
    context_.smallAdapter =
        context_.usbProductId == kSmallAdapterA || context_.usbProductId == kSmallAdapterB ? 1 : 0;
}

int AdapterLink::OpenLink() {
    if (IsUsb()) return OpenUsb();
    // The serial transport is not part of this build: a COM port never opens.
    open_ = 0;
    context_.smallAdapter = 0;
    return 0;
}

int AdapterLink::OpenUsb() {
    open_ = 0;
    const WickportApi& wp = Wickport();
    int result = wp.open();
    int productId = 0;
    if (result >= 0) {
        const char* serial = nullptr;
        if (wp.getSelectedSerial(&serial) >= 0 && serial != nullptr) {
            std::snprintf(context_.adapterSerial, sizeof context_.adapterSerial, "%s", serial);
        }
        result = wp.getProductId(&productId);
    }
    if (result < 0) {
        if (result == WP_E_NO_DEVICE_SELECTED) {
            ShowMessage(
                "USB debug adapter/Pinrod base adapter has not been specified. Please disconnect "
                "unused adapters \nor select desired adapter before re-attempting connection.");
        } else if (result == WP_E_INVALID_HANDLE) {
            std::string text =
                "Cannot connect to the selected USB debug adapter/Pinrod base adapter.\n\nPlease "
                "check that the device is plugged in and not already in use.";
            // A reason the HID library knows (a virtual chip's state directory) is worth a line.
            const char* why = nullptr;
            if (wp.getOpenError != nullptr && wp.getOpenError(&why) >= 0 && why != nullptr &&
                *why != '\0')
                text += std::string("\n\n") + why;
            ShowMessage(text);
        }
        return 0;
    }
    NoteProductId(productId);
    open_ = 1;
    return 1;
}

int AdapterLink::CloseLink() {
    if (IsUsb()) {
        if (open_ && Wickport().close() >= 0) open_ = 0;
    } else {
        open_ = 0;
    }
    return open_ ? 0 : 1;
}

int32_t AdapterLink::PurgeInput() {
    return 0;
}

int32_t AdapterLink::SendPacket(int length, const uint8_t* packet) {
    if (packet == nullptr || length <= 0 || length > kReportSize) return ORDWIN_E_INVALIDARG;
    if (!IsUsb()) return ORDWIN_E_PORT_NOT_OPEN;
    return Wickport().write(packet, length);
}

int32_t AdapterLink::ReceiveBytes(uint8_t* buffer, int length) {
    if (buffer == nullptr || length <= 0 || length > kReportSize) return ORDWIN_E_INVALIDARG;
    if (!IsUsb()) return ORDWIN_E_PORT_NOT_OPEN;
    int received = 0;
    const int result = Wickport().read(buffer, length, &received);
    if (result == WP_E_READ_TIMEOUT) return ORDWIN_E_NO_RESPONSE;
    if (result < 0 || received != kReportSize) return ORDWIN_E_RECEIVE_BUFFER;
    return result;
}

int32_t AdapterLink::ReadStatusByte() {
    uint8_t status = 0;
    if (ReceiveBytes(&status, 1) < 0) return ORDWIN_E_BAD_RESPONSE;
    return StatusToResult(status);
}

int32_t AdapterLink::DecodeStatus(uint8_t status) const {
    return IsUsb() ? StatusToResult(status) : 0;
}

int32_t AdapterLink::SetUsbTimeout(int milliseconds) {
    context_.usbTimeout = milliseconds;
    return Wickport().setTimeout(milliseconds);
}

int AdapterLink::ResetAdapter(int /*level*/) {
    if (!IsUsb()) return 0;
    return ResetUsbAdapter();
}

int AdapterLink::ResetUsbAdapter() {
    const WickportApi& wp = Wickport();
    if (!context_.smallAdapter) {
        const int result = context_.adapterMode == 1 ? wp.resetBootMode() : wp.resetAdapter();
        return result >= 0 ? 1 : 0;
    }
    uint8_t state = 0xFF;
    if (wp.getControlValue(kControlResetState, &state) >= 0) {
        if (state == 0) return 1;
        if (state == 1 && wp.setControlValue(kControlReset, 2) >= 0 &&
            wp.getControlValue(kControlResetState, &state) >= 0 && state == 0) {
            return 1;
        }
    }
    // The gentle reset did not take: force it.
    state = 0xFF;
    if (wp.setControlValue(kControlReset, 1) < 0) return 0;
    if (wp.getControlValue(kControlResetState, &state) < 0) return 0;
    return state == 0 ? 1 : 0;
}

int AdapterLink::ReadChunk() const {
    return IsUsb() ? kUsbReadChunk : kSerialReadChunk;
}

int AdapterLink::WriteChunk() const {
    return IsUsb() ? kUsbWriteChunk : kSerialWriteChunk;
}

}  // namespace ordwin
