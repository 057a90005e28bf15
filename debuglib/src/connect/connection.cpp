#include "connect/connection.h"

#include <cstring>

#include "connect/firmware_check.h"
#include "devicedb/device_database.h"
#include "errors/messages.h"
#include "exports/debug_context.h"
#include "exports/export_rules.h"
#include "link/usb_adapters.h"
#include "ordwin.h"
#include "target/memory_access.h"
#include "target/page_programming.h"
#include "target/sfr_access.h"
#include "target/target_reset.h"
#include "wickport.h"
#include "zt/adapter_protocol.h"
#include "zt/serial_protocol.h"
#include "zt/zeltra_map.h"

namespace ordwin {
namespace {}  // namespace

int BaudRateForIndex(unsigned index) {
    switch (index) {
        case 1:
            return 115200;
        case 2:
            return 57600;
        case 3:
            return 38400;
        case 4:
            return 9600;
        case 5:
            return 2400;
        default:
            return 0;
    }
}

namespace {

int32_t IdentifyC2(DebugContext& context) {
    uint8_t reply[2] = {};
    int32_t result = context.commands->BareCommandData(zt::adapter::kHardwareId, reply, 2);
    if (result < 0) return result;
    context.hardwareId = reply[0];
    context.hardwareRevision = reply[1];
    if (context.readExtendedId) {
        result = context.commands->BareCommandData(zt::adapter::kDerivativeId, reply, 2);
        if (result < 0) return result;
        context.debugLogicVersion = reply[0];
        context.derivativeId = reply[1];
    } else {
        context.derivativeId = context.presetDerivativeId;
    }
    return result;
}

int32_t IdentifyJtag(DebugContext& context) {
    // The register that holds the derivative and the debug logic version.
    constexpr uint8_t kIdRegister = 0x80;
    constexpr uint8_t kIdRegisterBits = 18;
    uint8_t id[zt::adapter::kJtagIdentityLength] = {};
    int32_t result = context.commands->JtagIdentify(id);
    if (result < 0) return result;
    const unsigned idCode = id[0] | (id[1] << 8);
    context.hardwareId = static_cast<uint16_t>(id[2] | (id[3] << 8));
    context.hardwareRevision = id[4];
    context.adapterFirmwareVersion = id[5];
    if (idCode != zt::adapter::kJtagIdCode) {
        ShowMessage("Invalid ID code returned from device.\nConfirm hardware power connection.");
        return ORDWIN_E_STATUS_FAILED;
    }
    result = context.commands->JtagReadDebugVersion(&context.debugLogicVersion);
    if (result < 0) return result;
    uint32_t value = 0;
    result = context.commands->JtagReadRegister(kIdRegister, kIdRegisterBits, &value);
    if (result < 0) return result;
    const uint32_t v = value >> 6;
    context.derivativeId = static_cast<uint8_t>(v >> 10);
    context.debugLogicVersion = static_cast<uint8_t>(v >> 2);
    return result;
}

// Breakpoint hardware of the Zeltra family reports its slot count.
int32_t ReadBreakpointCount(DebugContext& context) {
    if (context.record->familyCode != zt::zeltra::kFamily) return 0;
    uint8_t value = 0;
    const int32_t result = ReadDirect(context, zt::zeltra::kBreakpointCount, &value);
    if (result < 0) return result;
    context.record->breakpointCount = static_cast<uint32_t>(zt::zeltra::BreakpointSlots(value));
    return 0;
}

}  // namespace

bool IdentityAccepted(const DebugContext& context) {
    if (context.hardwareId == zt::zeltra::kFamily) {
        return context.zeltraConnectionState != 0 ||
               context.derivativeId == zt::zeltra::kDerivative;
    }
    return DeviceDatabase::AcceptsDerivative(context.hardwareId, context.derivativeId);
}

int32_t StoreComPort(DebugContext& context, int comPort) {
    if (comPort < 1 || comPort > 512) {
        context.comPort = -1;
        ShowMessage(FormatMessage("Illegal COM port %i selected.", comPort));
        ShowMessage("Could not set COM port. Check COM port settings.");
        return ORDWIN_E_INVALIDARG;
    }
    context.comPort = comPort;
    context.link->SetComPort(comPort);
    return 0;
}

int32_t OpenAdapterLink(DebugContext& context) {
    AdapterLink& link = *context.link;
    // A link left open by an interrupted sequence is closed before reopening.
    if (link.IsLinkOpen()) link.CloseLink();
    if (context.adapterType < 1 || context.adapterType > 3) {
        ShowMessage("Valid Adapter selection has not been assigned yet.");
        return ORDWIN_E_LINK_OPEN;
    }
    if (context.adapterType != kAdapterUsb && (context.comPort < 1 || context.comPort > 512)) {
        ShowMessage("Valid COM port number has not been assigned yet.");
        return ORDWIN_E_LINK_OPEN;
    }
    if (!link.OpenLink()) return ORDWIN_E_LINK_OPEN;
    context.connected = 1;
    return 0;
}

int32_t SetConnectionState(DebugContext& context, LinkState state) {
    AdapterLink& link = *context.link;
    if (state == LinkState::kClose) {
        if (!context.connected) return 0;
        if (link.IsUsb()) {
            link.ResetAdapter(1);
        } else {
            link.ResetAdapter(1);
            link.ResetAdapter(0);
            link.ResetAdapter(1);
        }
        context.connected = 0;
        link.CloseLink();
        context.runState = kRunStateUnknown;
        DiscardSfrShadow(context);
        std::memset(context.haltArea.get(), 0, kHaltAreaSize);
        return 0;
    }
    if (context.connected) return 0;
    int32_t result = OpenAdapterLink(context);
    if (result < 0) return result;
    result = ResetTarget(context, 1, 1, 1);
    if (result < 0) {
        context.connected = 0;
        link.CloseLink();
        return result;
    }
    context.connected = 1;
    return 0;
}

void DropLostTarget(DebugContext& context) {
    ShowMessage("Target failed to respond.\nSystem is being disconnected.");
    context.runState = kRunStateUnknown;
    context.errorCounter = 0;
    SetConnectionState(context, LinkState::kClose);
}

int OfferRecovery(DebugContext& context) {
    ++context.errorCounter;
    if (context.errorCounter != 1 || context.dialogsDisabled) return 0;
    const int answer = ShowMessage(
        "To recover from the previous errors it is recommended that the hardware be "
        "reset.\nDo you want to reset now?",
        ORDWIN_MB_OKCANCEL_ICON);
    if (answer != ORDWIN_ID_OK) return 0;
    SetConnectionState(context, LinkState::kClose);
    return ConnectTarget(context) >= 0 && context.connected ? 1 : 0;
}

int32_t AdapterHandshake(DebugContext& context) {
    if (context.link->IsUsb()) {
        context.handshakeDone = true;
        return 0;
    }
    AdapterLink& link = *context.link;
    SetConnectionState(context, LinkState::kClose);
    link.SetAutomaticBaud(true);
    link.SetLineControl(false);
    if (OpenAdapterLink(context) < 0) return ORDWIN_E_LINK_OPEN;
    // The pulse's result is not looked at: a port without modem lines (a
    // pseudo-terminal) still reaches an adapter that resets on the handshake.
    link.ResetAdapter(1);
    link.ResetAdapter(0);
    int32_t result = link.PurgeInput();
    if (result < 0) return result;
    const uint8_t request = zt::serial::kHandshakeRequest;
    result = link.SendPacket(1, &request);
    if (result < 0) return result;
    link.Wait(zt::serial::kHandshakeWaitMs);
    uint8_t reply = 0;
    result = link.ReceiveBytes(&reply, 1, AdapterLink::Receive::kNoWait);
    if (result < 0) return result;
    if (reply != zt::serial::kHandshakeReply) return ORDWIN_E_BAD_RESPONSE;
    context.handshakeDone = true;
    return 0;
}

int32_t IdentifyTarget(DebugContext& context) {
    AdapterLink& link = *context.link;
    if (link.IsUsb()) link.SetUsbTimeout(2000);
    const int32_t result =
        context.debugProtocol == kProtocolC2 ? IdentifyC2(context) : IdentifyJtag(context);
    if (link.IsUsb()) link.SetUsbTimeout(5000);
    return result;
}

int32_t ConnectTarget(DebugContext& context) {
    if (context.multiConnectMode) {
        const int32_t reset = ResetTarget(context, 0, 1, 0);
        if (reset < 0) {
            context.connected = 0;
            context.link->CloseLink();
            ShowMessageAlways("Multiconnect reset failed!", ORDWIN_MB_OK);
            return reset;
        }
        context.connected = 1;
    } else {
        if (context.connected) SetConnectionState(context, LinkState::kClose);
        int32_t result = DeviceDatabase::FillDefaults(*context.record, context.traits);
        if (result < 0) return result;
        context.link->SetAutomaticBaud(true);
        result = OpenAdapterLink(context);
        if (result < 0) return result;
        if (AdapterHandshake(context) >= 0) {
            result = CheckAdapterFirmware(context, 1);
            if (result < 0) {
                SetConnectionState(context, LinkState::kClose);
                return result;
            }
        }
    }
    if (!context.connected) return ORDWIN_E_NOT_CONNECTED;

    context.errorCounter = 0;
    int32_t result = IdentifyTarget(context);
    if (result < 0) {
        DropLostTarget(context);
        return result;
    }
    if (!DeviceDatabase::IsKnownDevice(context.hardwareId, context.debugLogicVersion,
                                       context.derivativeId) ||
        !IdentityAccepted(context)) {
        SetConnectionState(context, LinkState::kClose);
        return ORDWIN_E_UNKNOWN_DEVICE;
    }
    result = DeviceDatabase::BuildRecord(*context.record, context.traits, context.hardwareId,
                                         context.hardwareRevision, context.derivativeId,
                                         context.debugLogicVersion);
    if (result >= 0) result = ReadBreakpointCount(context);
    if (result < 0) {
        DropLostTarget(context);
        return result;
    }
    result = FamilySetup(context);
    if (result >= 0 && context.readExtendedId) result = ReadLockBytes(context);
    // A connect that reports a failure must not leave the target connected.
    if (result < 0) SetConnectionState(context, LinkState::kClose);
    return result;
}

int32_t DisconnectImpl(DebugContext& context) {
    if (!context.connected) return ORDWIN_E_NOT_CONNECTED;
    SetConnectionState(context, LinkState::kClose);
    return 0;
}

int32_t ConnectUSBImpl(DebugContext& context, const char* serialNumber, int protocol,
                       int connectOption, int disableDialogs) {
    context.dialogsDisabled = disableDialogs;
    if (serialNumber == nullptr) return ORDWIN_E_INVALIDARG;
    if (!context.multiConnectMode) {
        context.adapterType = kAdapterUsb;
        context.link->SetLinkType(kAdapterUsb);
        if (context.connected && DisconnectImpl(context) != 0) return ORDWIN_E_USB_DLL;
        if (!IsFlag(protocol)) return ORDWIN_E_INVALIDARG;
        context.debugProtocol = static_cast<uint8_t>(protocol);
        context.connectOptionByte = connectOption != 0 ? 0 : 8;
        if (serialNumber[0] != '\0') {
            const int32_t result = SetUSBDeviceImpl(context, serialNumber);
            if (result < 0) return result;
            // Going on would open whichever adapter was selected before.
            if (!context.deviceChosen) return WP_E_DEVICE_NOT_FOUND;
        }
    }
    const int32_t result = ConnectTarget(context);
    if (result < 0) return result;
    if (!context.connected) return ORDWIN_E_NOT_CONNECTED;
    return result;
}

int32_t ConnectImpl(DebugContext& context, int comPort, int disableDialogs, int protocol,
                    int baudIndex) {
    context.dialogsDisabled = disableDialogs;
    context.adapterType = kAdapterSerial;
    context.link->SetLinkType(kAdapterSerial);
    if (context.connected && DisconnectImpl(context) != 0) return ORDWIN_E_COM_CLOSE;
    if (baudIndex < 0 || baudIndex > 5) baudIndex = 0;
    const int rate = BaudRateForIndex(static_cast<unsigned>(baudIndex));
    if (rate != 0) {
        context.link->SetAutomaticBaud(false);
        context.link->SetBaudRate(rate);
    } else {
        context.link->SetAutomaticBaud(true);
    }
    int32_t result = StoreComPort(context, comPort);
    if (result < 0) return result;
    if (!IsFlag(protocol)) return ORDWIN_E_INVALIDARG;
    context.debugProtocol = static_cast<uint8_t>(protocol);
    result = ConnectTarget(context);
    if (result < 0 || !context.connected) {
        // Close the way a connection closes, so the adapter lines are reset.
        context.connected = 1;
        SetConnectionState(context, LinkState::kClose);
    }
    return result;
}

}  // namespace ordwin
