#include "connect/firmware_check.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "connect/connection.h"
#include "errors/messages.h"
#include "exports/debug_context.h"
#include "link/wickport_api.h"
#include "ordwin.h"
#include "target/target_reset.h"
#include "wickport.h"
#include "zt/adapter_protocol.h"
#include "zt/serial_protocol.h"

namespace ordwin {
namespace {

using zt::adapter::kControlMode;
using zt::adapter::kControlReset;
using zt::adapter::kControlState;
using zt::adapter::kControlVersion;
using zt::adapter::kControlVersionRequest;

constexpr const char* kCommunicationFailure =
    "Communication could not be established with the specified adapter.\nPlease confirm the "
    "current adapter selection and cable connection.";
constexpr const char* kNoRealFirmware =
    "This library carries no firmware for real debug adapters; update the adapter with its "
    "maker's tool.";

FirmwareExpectation ToExpectation(const zt::adapter::FirmwareRow& row) {
    return {row.mode, row.checkPage, row.version, row.pages};
}

int32_t ReadMode(DebugContext& context, uint8_t* mode) {
    if (context.link->IsUsb() && context.smallAdapter) {
        return Wickport().getControlValue(kControlMode, mode);
    }
    return context.commands->FirmwareCommand(zt::adapter::kFirmwareMode, 0, 0, mode);
}

// Opens the selected USB adapter again without telling the user.
int32_t ReopenUsbQuietly(DebugContext& context) {
    const WickportApi& wp = Wickport();
    int32_t result = wp.open();
    if (result < 0) return result;
    const char* serial = nullptr;
    if (wp.getSelectedSerial(&serial) >= 0 && serial != nullptr) {
        std::snprintf(context.adapterSerial, sizeof context.adapterSerial, "%s", serial);
    }
    int productId = 0;
    result = wp.getProductId(&productId);
    if (result < 0) return result;
    context.link->NoteProductId(productId);
    return 0;
}

int32_t OfferUpdate(DebugContext& context, bool versionRead, int mode) {
    // Asked before the question: a real adapter must not even be reset for an
    // update this build cannot give it.
    if (const int32_t refused = RefuseUncarriedFirmware(context); refused < 0) return refused;
    AdapterLink& link = *context.link;
    const bool asked = !context.dialogsDisabled;
    if (asked) {
        const char* question =
            versionRead
                ? "The debug adapter must be reprogrammed in order to function properly with "
                  "this version of the software.\nDo you want to update the serial adapter now?"
                : "The debug adapter must be reprogrammed in order to function properly with "
                  "this version of the software.\nDo you want to update the Serial Adapter "
                  "now?\n\nPlease note that for USB Adapters this operation will require a bus "
                  "reset which takes several seconds.";
        if (ShowMessage(question, ORDWIN_MB_OKCANCEL_ICON) != ORDWIN_ID_OK) {
            return ORDWIN_E_FIRMWARE_UPDATE;
        }
    }
    if (link.IsUsb() && !link.ResetAdapter(1)) {
        if (versionRead || !asked) return ORDWIN_E_DEVICE_RESET;
        context.deviceChosen = 0;
        const int32_t reopened = ReopenUsbQuietly(context);
        if (reopened < 0) return reopened;
        const int32_t result = UpdateAdapterFirmware(context, mode);
        if (result < 0) {
            ShowMessage(
                "Communication could not be established with the specified USB debug "
                "adapter.\nPlease confirm the current adapter selection and cable connection.");
            context.connected = 0;
            return ORDWIN_E_DEVICE_RESET;
        }
        return result;
    }
    return UpdateAdapterFirmware(context, mode);
}

}  // namespace

bool CarriesFirmwareFor(const DebugContext& context) {
    // A serial port carries no backend: only a virtual adapter's announced
    // pseudo-terminal is known to take our images.
    if (!context.link->IsUsb()) return context.link->IsVirtualSerial();
    const WickportApi& wp = Wickport();
    int backend = WP_BACKEND_HID;
    if (wp.getBackend == nullptr || wp.getBackend(&backend) < 0) return false;
    return backend == WP_BACKEND_VIRTUAL;
}

int32_t RefuseUncarriedFirmware(const DebugContext& context) {
    if (CarriesFirmwareFor(context)) return 0;
    ShowMessage(kNoRealFirmware);
    return ORDWIN_E_FIRMWARE_UPDATE;
}

// The version reply comes only after the adapter had time to look it up.
int32_t ReadAdapterVersion(DebugContext& context, uint8_t* version) {
    if (context.link->IsUsb() && context.smallAdapter) {
        const WickportApi& wp = Wickport();
        if (wp.setControlValue(kControlVersionRequest, 0) < 0) return ORDWIN_E_BAD_RESPONSE;
        uint8_t state = 0;
        if (wp.getControlValue(kControlState, &state) < 0) return ORDWIN_E_BAD_RESPONSE;
        if (state == 1) {
            return wp.getControlValue(kControlVersion, version) < 0 ? ORDWIN_E_BAD_RESPONSE : 0;
        }
        wp.setControlValue(kControlReset, 1);
        *version = 0;
        return 0;
    }
    return context.commands->FirmwareVersionAfterPause(version);
}

bool ExpectedFirmware(const DebugContext& context, int resetTarget, FirmwareExpectation* out) {
    switch (context.adapterType) {
        case 1:
            *out = {resetTarget, -1, 0, 0};
            return true;
        case kAdapterSerial:
            *out = ToExpectation(zt::adapter::kSerialFirmware);
            return true;
        case kAdapterUsb:
            // Expected in the normal mode; the check moves on to the update
            // mode's row when the adapter reports that mode.
            *out = ToExpectation(
                zt::adapter::UsbFirmwareFor(context.usbProductId, zt::adapter::kUsbFirmware.mode));
            return true;
        default:
            return false;
    }
}

int32_t CheckAdapterFirmware(DebugContext& context, int resetTarget) {
    AdapterLink& link = *context.link;
    FirmwareExpectation expected{};
    if (!ExpectedFirmware(context, resetTarget, &expected)) {
        ShowMessage("Valid Adapter selection has not been assigned yet.");
        return ORDWIN_E_NO_ADAPTER_TYPE;
    }
    const bool usb = link.IsUsb();
    if (usb) link.SetUsbTimeout(2000);

    bool pageRefused = false;
    int32_t result = ReadMode(context, &context.adapterMode);
    if (result < 0 || context.adapterMode != expected.mode) {
        // An adapter can be left in an odd state by an earlier session.
        SetConnectionState(context, LinkState::kClose);
        result = OpenAdapterLink(context);
        if (result >= 0) result = ReadMode(context, &context.adapterMode);
    }
    if (result >= 0 && context.adapterMode != expected.mode) {
        if (usb && context.adapterMode == zt::adapter::kUsbUpdateModeFirmware.mode) {
            expected.checkPage = zt::adapter::kUsbUpdateModeFirmware.checkPage;
            expected.version = zt::adapter::kUsbUpdateModeFirmware.version;
        } else if (usb) {
            DropLostTarget(context);
            result = ORDWIN_E_BAD_RESPONSE;
        } else {
            result = SwitchSerialToUpdateMode(context);
        }
    }
    if (result >= 0 && !(usb && context.smallAdapter) && expected.checkPage >= 0) {
        uint8_t reply = 0xFF;
        result = context.commands->FirmwareCommand(
            zt::adapter::kFirmwareSelectPage, static_cast<uint8_t>(expected.checkPage), 0, &reply);
        if (result >= 0 && reply != 0) {
            pageRefused = true;
            result = ORDWIN_E_INCORRECT_RESPONSE;
        }
    }
    if (result >= 0) {
        int32_t read = ReadAdapterVersion(context, &context.adapterFirmwareVersion);
        // One lost reply must not cost the adapter its firmware: ask once more.
        if (read < 0) read = ReadAdapterVersion(context, &context.adapterFirmwareVersion);
        if (read < 0) {
            result = OfferUpdate(context, false, context.adapterMode);
        } else if (context.adapterFirmwareVersion != expected.version) {
            result = OfferUpdate(context, true, context.adapterMode);
        } else if (resetTarget) {
            result = ResetTarget(context, 0, 1, 0);
            context.connected = result >= 0 ? 1 : 0;
        }
    }
    if (pageRefused || result < 0) {
        ShowMessage(kCommunicationFailure);
        context.connected = 0;
        link.CloseLink();
    }
    if (context.connected && usb) {
        link.SetUsbTimeout(5000);
        if (!context.smallAdapter && context.adapterFirmwareVersion >= 4) {
            result = context.commands->CommandOneParam(
                zt::adapter::kConnectOption, static_cast<uint8_t>(context.connectOptionByte));
        }
    }
    return result;
}

}  // namespace ordwin
