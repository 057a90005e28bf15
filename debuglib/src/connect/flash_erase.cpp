#include "connect/flash_erase.h"

#include <cstring>

#include "connect/connection.h"
#include "connect/firmware_check.h"
#include "devicedb/device_database.h"
#include "errors/messages.h"
#include "exports/debug_context.h"
#include "exports/export_rules.h"
#include "link/usb_adapters.h"
#include "ordwin.h"
#include "target/target_reset.h"
#include "wickport.h"
#include "zt/adapter_protocol.h"
#include "zt/zeltra_map.h"

namespace ordwin {
namespace {

constexpr uint8_t kRunStateErased = 5;

int32_t ProbeAdapter(DebugContext& context) {
    AdapterLink& link = *context.link;
    FirmwareExpectation expected{};
    if (!ExpectedFirmware(context, 1, &expected)) return 0;
    const bool small = link.IsUsb() && context.smallAdapter;
    if (link.IsUsb() && !small) {
        if (context.commands->FirmwareCommand(zt::adapter::kFirmwareMode, 0, 0,
                                              &context.adapterMode) >= 0) {
            expected.checkPage =
                zt::adapter::UsbFirmwareFor(context.usbProductId, context.adapterMode).checkPage;
        }
    }
    if (!small && expected.checkPage >= 0) {
        uint8_t reply = 0xFF;
        const int32_t result = context.commands->FirmwareCommand(
            zt::adapter::kFirmwareSelectPage, static_cast<uint8_t>(expected.checkPage), 0, &reply);
        if (result < 0 || reply != 0) return ORDWIN_E_FAIL;
    }
    if (small) return 0;
    // The version answers after a pause; only a readable one means the
    // adapter is ready for the target reset.
    return context.commands->FirmwareVersionAfterPause(&context.adapterFirmwareVersion) < 0 ? 1 : 0;
}

// Unlike a debug halt, a refused board state or a target that never reports
// the halt does not stop the erase.
int32_t HaltJtagForErase(DebugContext& context) {
    if (context.commands->JtagBoardState(zt::adapter::kJtagBoardHalted) < 0) {
        context.runState = kRunStateUnknown;
    }
    return context.commands->JtagAwaitHalt() < 0 ? ORDWIN_E_HALT : 0;
}

int32_t IdentifyForErase(DebugContext& context) {
    if (context.debugProtocol == kProtocolC2) return IdentifyTarget(context);
    uint8_t id[zt::adapter::kJtagIdentityLength] = {};
    const int32_t result = context.commands->JtagIdentify(id);
    if (result < 0) return result;
    context.hardwareId = static_cast<uint16_t>(id[2] | (id[3] << 8));
    context.hardwareRevision = id[4];
    return 0;
}

// One erase run over the whole code memory; 0 also when the user declined.
int32_t EraseCodeMemory(DebugContext& context) {
    const DeviceRecord& record = *context.record;
    if (record.familyCode != zt::zeltra::kFamily) {
        // Other families need the page-programming engine's flash set-up.
        return ORDWIN_E_NOTIMPL;
    }
    // The Zeltra keeps no lock bytes: they count as erased, so there is no
    // protection to ask about and no flash interface to prepare.
    const int32_t result =
        context.commands->PolledCommand(&zt::adapter::kDeviceErase, 1, context.traits.codeEraseMs);
    if (result >= 0) ShowMessage("Code Memory has been erased.");
    return result;
}

int32_t RunErase(DebugContext& context) {
    int32_t result = ConnectForErase(context);
    if (result < 0) return result;
    if (context.traits.writeOnce) {
        SetConnectionState(context, LinkState::kClose);
        ShowMessage("User Space Erase not allowed on OTP devices.", ORDWIN_MB_OK);
        return ORDWIN_E_NOT_SUPPORTED;
    }
    result = EraseCodeMemory(context);
    if (result >= 0 && context.traits.secondEraseEnd != 0) {
        // These parts keep a second area below the reserved top.
        context.record->codeSize = context.traits.secondEraseEnd;
        result = EraseCodeMemory(context);
    }
    if (result < 0) DropLostTarget(context);
    SetConnectionState(context, LinkState::kClose);
    context.runState = kRunStateErased;
    return result;
}

bool ConfirmErase(const DebugContext& context) {
    if (context.dialogsDisabled) return true;
    return ShowMessage("Preparing to erase all Code Memory.\nAre you sure you want to proceed?",
                       ORDWIN_MB_YESNO_ICON) == ORDWIN_ID_YES;
}

}  // namespace

int32_t ConnectForErase(DebugContext& context) {
    int32_t result = DeviceDatabase::FillDefaults(*context.record, context.traits);
    if (result < 0) return result;
    if (context.adapterType < 1 || context.adapterType > 3) {
        ShowMessage("Valid Adapter selection has not been assigned yet.");
        return ORDWIN_E_NO_VALID_ADAPTER;
    }
    if (context.link->IsUsb()) SetConnectionState(context, LinkState::kClose);
    if (OpenAdapterLink(context) < 0) return ORDWIN_E_LINK_OPEN;
    if (AdapterHandshake(context) >= 0) {
        result = ProbeAdapter(context);
        if (result < 0) {
            SetConnectionState(context, LinkState::kClose);
            return result;
        }
        if (result == 0 && ResetTarget(context, 0, 0, 1) < 0) {
            ShowMessage("Target could not be reset.");
            SetConnectionState(context, LinkState::kClose);
            return ORDWIN_E_TARGET_RESET;
        }
    }
    context.runState = kRunStateHalted;
    if (context.debugProtocol == kProtocolJtag) {
        result = HaltJtagForErase(context);
        if (result < 0) {
            SetConnectionState(context, LinkState::kClose);
            return result;
        }
    }
    result = IdentifyForErase(context);
    if (result >= 0) {
        result = DeviceDatabase::BuildRecord(*context.record, context.traits, context.hardwareId,
                                             context.hardwareRevision, context.derivativeId,
                                             context.debugLogicVersion);
    }
    if (result < 0) {
        SetConnectionState(context, LinkState::kClose);
        return result;
    }
    return 0;
}

int32_t FlashEraseSerial(DebugContext& context, int comPort, int disableDialogs, int protocol) {
    context.dialogsDisabled = disableDialogs;
    context.adapterType = kAdapterSerial;
    context.link->SetLinkType(kAdapterSerial);
    if (!IsFlag(protocol)) return ORDWIN_E_INVALIDARG;
    if (context.connected) return ORDWIN_E_CONNECTED;
    const int32_t result = StoreComPort(context, comPort);
    if (result < 0) return result;
    context.debugProtocol = static_cast<uint8_t>(protocol);
    if (!ConfirmErase(context)) return 0;
    return RunErase(context);
}

int32_t FlashEraseUsb(DebugContext& context, const char* serialNumber, int disableDialogs,
                      int protocol) {
    context.dialogsDisabled = disableDialogs;
    context.adapterType = kAdapterUsb;
    context.link->SetLinkType(kAdapterUsb);
    if (!IsFlag(protocol) || serialNumber == nullptr) return ORDWIN_E_INVALIDARG;
    int count = 0;
    int32_t result = CountUsbAdapters(context, &count);
    if (result < 0) return result;
    if (count == 0) return ORDWIN_E_INVALIDARG;
    if (count > 1) {
        result = SetUSBDeviceImpl(context, serialNumber);
        if (result < 0) return result;
        // Erasing whichever adapter happened to be selected would be worse
        // than refusing.
        if (!context.deviceChosen) return WP_E_DEVICE_NOT_FOUND;
    }
    if (context.connected) return ORDWIN_E_CONNECTED;
    context.debugProtocol = static_cast<uint8_t>(protocol);
    if (!ConfirmErase(context)) return 0;
    return RunErase(context);
}

}  // namespace ordwin
