#include "link/adapter_link.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "errors/error_codes.h"
#include "errors/messages.h"
#include "exports/debug_context.h"
#include "link/packet_sizes.h"
#include "link/serial_port.h"
#include "link/status_byte.h"
#include "link/wickport_api.h"
#include "ordwin.h"
#include "wickport.h"
#include "zt/adapter_protocol.h"
#include "zt/serial_protocol.h"

namespace ordwin {
namespace {

using zt::adapter::kControlReset;

uint64_t SteadyMilliseconds() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SleepMilliseconds(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// The serial port's own per-call time-outs.
constexpr int kPortTimeoutMs = 1000;

}  // namespace

AdapterLink::AdapterLink(DebugContext& context)
    : context_(context),
      receiveBudgetMs_(zt::serial::kReceiveBudgetMs),
      clock_(SteadyMilliseconds),
      pause_([this](int milliseconds) { DefaultPause(milliseconds); }),
      port_(std::make_unique<SerialPort>()) {}

AdapterLink::~AdapterLink() = default;

void AdapterLink::SetClock(Clock clock) {
    clock_ = clock ? std::move(clock) : Clock(SteadyMilliseconds);
}

void AdapterLink::SetPause(Pause pause) {
    pause_ =
        pause ? std::move(pause) : Pause([this](int milliseconds) { DefaultPause(milliseconds); });
}

void AdapterLink::DefaultPause(int milliseconds) const {
    const WickportApi& wp = Wickport();
    if (IsUsb() && wp.pause != nullptr && wp.pause(milliseconds) >= 0) return;
    SleepMilliseconds(milliseconds);
}

void AdapterLink::SetComPort(int number) {
    devicePath_ = ComPortPath(number);
    portName_ = "COM" + std::to_string(number);
}

bool AdapterLink::IsVirtualSerial() const {
    return !IsUsb() && open_ && port_->IsAnnouncedVirtual();
}

void AdapterLink::NoteProductId(int productId) {
    context_.usbProductId = static_cast<uint16_t>(productId & 0xFFFF);
    context_.smallAdapter = zt::adapter::IsSmallAdapter(context_.usbProductId) ? 1 : 0;
}

int AdapterLink::OpenLink() {
    if (IsUsb()) return OpenUsb();
    context_.smallAdapter = 0;
    return OpenSerial();
}

int AdapterLink::OpenSerial() {
    open_ = 1;
    if (portName_.rfind("COM", 0) != 0) {
        ShowMessage("COM port number has not been assigned yet.");
        open_ = 0;
        return 0;
    }
    const SerialPort::OpenError error =
        devicePath_.empty() ? SerialPort::OpenError::kNotFound : port_->Open(devicePath_);
    if (error != SerialPort::OpenError::kNone) {
        const char* format = error == SerialPort::OpenError::kNotFound
                                 ? "Error opening %s.\r\nInvalid Port selected."
                             : error == SerialPort::OpenError::kInUse
                                 ? "Error opening %s.\r\nPort already in use or not available."
                                 : "Error opening %s.";
        char text[128];
        std::snprintf(text, sizeof text, format, portName_.c_str());
        ShowMessage(text);
        open_ = 0;
        return 0;
    }
    if (!port_->PurgeBoth()) open_ = 0;
    int rate = baudRate_;
    if (automaticBaud_ &&
        (rate < zt::serial::kLowestAutoBaud || rate > zt::serial::kHighestAutoBaud)) {
        const int current = port_->CurrentBaud();
        if (current >= zt::serial::kLowestAutoBaud && current <= zt::serial::kHighestAutoBaud) {
            rate = current;
        } else {
            automaticBaud_ = false;
            baudRate_ = zt::serial::kDefaultBaud;
            rate = baudRate_;
        }
    }
    if (!port_->Apply(rate, lineControl_)) open_ = 0;
    openBaud_ = rate;
    // DTR belongs to ResetAdapter; a port without modem lines cannot drop it.
    port_->SetDtr(false);
    if (!open_) port_->Close();
    return open_;
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
    } else if (open_ || port_->IsOpen()) {
        if (!port_->PurgeBoth()) ShowMessage("Error purging COM port buffers.");
        if (!port_->RestoreSaved()) ShowMessage("Error setting original COM port timeouts.");
        port_->Close();
        open_ = 0;
    }
    return open_ ? 0 : 1;
}

int32_t AdapterLink::PurgeInput() {
    if (IsUsb()) return 0;
    if (!port_->IsOpen()) return ORDWIN_E_PORT_NOT_OPEN;
    if (port_->PurgeInput()) return 0;
    // A port that went away under us (a pulled cable) is not coming back.
    if (!port_->WaitBriefly(0)) return PortLost(ORDWIN_E_SHORT_RESPONSE);
    return ORDWIN_E_PURGE;
}

int32_t AdapterLink::PortLost(int32_t code) {
    port_->Close();
    open_ = 0;
    return code;
}

int32_t AdapterLink::SendPacket(int length, const uint8_t* packet) {
    if (packet == nullptr || length <= 0 || length > zt::adapter::kReportSize)
        return ORDWIN_E_INVALIDARG;
    if (IsUsb()) return UsbOutcome(Wickport().write(packet, length));
    if (!port_->IsOpen()) return ORDWIN_E_PORT_NOT_OPEN;
    if (port_->InputWaiting() < 0) return PortLost(static_cast<int32_t>(0x8100001F));
    // No write is ever left pending (each one completes before returning), so
    // there is nothing to abort; flushing output here would drop bytes the
    // adapter has not read yet.
    const int written = port_->Write(packet, length, kPortTimeoutMs);
    if (written < 0) return PortLost(ORDWIN_E_WRITE_INCOMPLETE);
    return written == length ? 0 : ORDWIN_E_WRITE_INCOMPLETE;
}

int32_t AdapterLink::ReceiveBytes(uint8_t* buffer, int length, Receive kind) {
    if (buffer == nullptr || length <= 0 || length > zt::adapter::kReportSize)
        return ORDWIN_E_INVALIDARG;
    if (!IsUsb()) return ReceiveSerial(buffer, length, kind);
    int received = 0;
    const int result = Wickport().read(buffer, length, &received);
    if (result == WP_E_READ_TIMEOUT) return ORDWIN_E_NO_RESPONSE;
    if (result < 0) return UsbOutcome(result, ORDWIN_E_RECEIVE_BUFFER);
    if (received != zt::adapter::kReportSize) {
        NoteTransferProblem(ORDWIN_E_RECEIVE_BUFFER, "");
        return ORDWIN_E_RECEIVE_BUFFER;
    }
    return result;
}

int32_t AdapterLink::UsbOutcome(int32_t result, int32_t code) {
    if (result >= 0) return result;
    if (code == 0) code = result;
    // The HID layer's reason (hidapi's text, a misframed report) goes with the
    // code's message, so a failed transfer explains itself.
    const char* why = nullptr;
    const WickportApi& wp = Wickport();
    if (wp.getLastError != nullptr && wp.getLastError(&why) >= 0 && why != nullptr)
        NoteTransferProblem(code, why);
    return code;
}

int32_t AdapterLink::ReceiveSerial(uint8_t* buffer, int length, Receive kind) {
    if (!port_->IsOpen()) return ORDWIN_E_PORT_NOT_OPEN;
    const int target = kind == Receive::kData ? length + 1 : length;
    const uint64_t start = clock_();
    const auto elapsed = [&] {
        const uint64_t now = clock_();
        return now >= start ? now - start : start - now;
    };
    int queued = port_->InputWaiting();
    if (kind != Receive::kNoWait) {
        while (queued >= 0 && queued < target &&
               elapsed() <= static_cast<uint64_t>(receiveBudgetMs_)) {
            // Part of a reply is there: poll would not wait, so sleep a little.
            if (queued > 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            } else if (!port_->WaitBriefly(1)) {
                return PortLost(ORDWIN_E_SHORT_RESPONSE);
            }
            queued = port_->InputWaiting();
        }
    }
    if (queued < 0) return PortLost(ORDWIN_E_SHORT_RESPONSE);
    // Too many bytes are as wrong as too few: the reply is not the one asked for.
    if (queued != target) return ORDWIN_E_SHORT_RESPONSE;
    for (int i = 0; i < length; ++i) {
        // Bounded: a byte that will not come fails the receive within its budget.
        for (;;) {
            const int got = port_->ReadByte(&buffer[i], kPortTimeoutMs);
            if (got > 0) break;
            if (got < 0) return PortLost(ORDWIN_E_SHORT_RESPONSE);
            if (elapsed() > static_cast<uint64_t>(receiveBudgetMs_)) return ORDWIN_E_SHORT_RESPONSE;
        }
    }
    return 0;
}

int32_t AdapterLink::ReadStatusByte() {
    uint8_t status = 0;
    const int32_t received = ReceiveReply(&status, 1);
    if (received < 0) {
        // The transport's reason, if it gave one, now explains this code.
        MoveTransferProblem(received, ORDWIN_E_BAD_RESPONSE);
        return ORDWIN_E_BAD_RESPONSE;
    }
    return StatusToResult(status);
}

int32_t AdapterLink::DecodeStatus(uint8_t status) const {
    return IsUsb() ? StatusToResult(status) : 0;
}

int32_t AdapterLink::SetUsbTimeout(int milliseconds) {
    context_.usbTimeout = milliseconds;
    return Wickport().setTimeout(milliseconds);
}

int AdapterLink::ResetAdapter(int level) {
    if (IsUsb()) return ResetUsbAdapter();
    if (level != 0) return port_->SetDtr(false) ? 1 : 0;
    if (!port_->SetDtr(true)) return 0;
    pause_(zt::serial::kResetPulseMs);
    return 1;
}

int AdapterLink::ResetUsbAdapter() {
    const WickportApi& wp = Wickport();
    if (!context_.smallAdapter) {
        const int result = context_.adapterMode == 1 ? wp.resetBootMode() : wp.resetAdapter();
        return result >= 0 ? 1 : 0;
    }
    uint8_t state = 0xFF;
    if (wp.getControlValue(zt::adapter::kControlState, &state) >= 0) {
        if (state == 0) return 1;
        if (state == 1 && wp.setControlValue(kControlReset, 2) >= 0 &&
            wp.getControlValue(zt::adapter::kControlState, &state) >= 0 && state == 0) {
            return 1;
        }
    }
    // The gentle reset did not take: force it.
    state = 0xFF;
    if (wp.setControlValue(kControlReset, 1) < 0) return 0;
    if (wp.getControlValue(zt::adapter::kControlState, &state) < 0) return 0;
    return state == 0 ? 1 : 0;
}

int AdapterLink::ReadChunk() const {
    return IsUsb() ? kUsbReadChunk : kSerialReadChunk;
}

int AdapterLink::WriteChunk() const {
    return IsUsb() ? kUsbWriteChunk : kSerialWriteChunk;
}

}  // namespace ordwin
