// The exported functions: argument rules first, then the connected flag,
// then the work.
#include <cstdint>
#include <cstring>

#include "connect/connection.h"
#include "connect/flash_erase.h"
#include "errors/error_codes.h"
#include "errors/messages.h"
#include "exports/debug_context.h"
#include "exports/export_rules.h"
#include "link/usb_adapters.h"
#include "link/wickport_api.h"
#include "ordwin.h"
#include "target/target_reset.h"
#include "zt/adapter_protocol.h"

using namespace ordwin;

namespace {

// Target operations whose engines are not part of this build.
constexpr int32_t kNotBuilt = ORDWIN_E_NOTIMPL;

// The JTAG exports send on whatever link is there; without one the
// exchange itself fails.
TargetCommands* Commands() {
    DebugContext* ctx = ReadyContext();
    return ctx != nullptr ? ctx->commands.get() : nullptr;
}

// What the connection read: an output argument, then the connected flag.
template <typename T, typename Read>
int Answer(T* out, Read read) {
    if (out == nullptr) return ORDWIN_E_INVALIDARG;
    const DebugContext* ctx = Context();
    if (!IsConnected(ctx)) return ORDWIN_E_NOT_CONNECTED;
    *out = read(*ctx);
    return 0;
}

}  // namespace

extern "C" {

// --- connection ---------------------------------------------------------

ORDWIN_API int Connect(int comPort, int disableDialogs, int protocol, int baudIndex) {
    if (!IsFlag(disableDialogs)) return ORDWIN_E_INVALIDARG;
    DebugContext* ctx = ReadyContext();
    if (ctx == nullptr) return kNoContext;
    return ConnectImpl(*ctx, comPort, disableDialogs, protocol, baudIndex);
}

ORDWIN_API int ConnectUSB(const char* serialNumber, int protocol, int connectOption,
                          int disableDialogs) {
    if (!IsFlag(disableDialogs)) return ORDWIN_E_INVALIDARG;
    DebugContext* ctx = ReadyContext();
    if (ctx == nullptr) return kNoContext;
    return ConnectUSBImpl(*ctx, serialNumber, protocol, connectOption, disableDialogs);
}

ORDWIN_API int Disconnect(int /*comPort*/) {
    DebugContext* ctx = ReadyContext();
    if (ctx == nullptr) return ORDWIN_E_NOT_CONNECTED;
    return DisconnectImpl(*ctx);
}

ORDWIN_API int DisconnectUSB(void) {
    return Disconnect(0);
}

ORDWIN_API int SetJTAGDeviceAndConnect(int comPort, int disableDialogs, uint8_t chainA,
                                       uint8_t chainB, uint16_t chainC, uint16_t chainD) {
    DebugContext* ctx = ReadyContext();
    if (ctx == nullptr) return kNoContext;
    ctx->jtagChainA = chainA;
    ctx->jtagChainB = chainB;
    ctx->jtagChainC = chainC;
    ctx->jtagChainD = chainD;
    return Connect(comPort, disableDialogs, kProtocolJtag, 0);
}

ORDWIN_API int SetJTAGDeviceAndConnectUSB(const char* serialNumber, int connectOption,
                                          int disableDialogs, uint8_t chainA, uint8_t chainB,
                                          uint16_t chainC, uint16_t chainD) {
    DebugContext* ctx = ReadyContext();
    if (ctx == nullptr) return kNoContext;
    ctx->jtagChainA = chainA;
    ctx->jtagChainB = chainB;
    ctx->jtagChainC = chainC;
    ctx->jtagChainD = chainD;
    return ConnectUSB(serialNumber, kProtocolJtag, connectOption, disableDialogs);
}

ORDWIN_API int FLASHErase(int comPort, int disableDialogs, int protocol) {
    if (!IsFlag(disableDialogs)) return ORDWIN_E_INVALIDARG;
    DebugContext* ctx = ReadyContext();
    if (ctx == nullptr) return kNoContext;
    return FlashEraseSerial(*ctx, comPort, disableDialogs, protocol);
}

ORDWIN_API int FLASHEraseUSB(const char* serialNumber, int disableDialogs, int protocol) {
    if (!IsFlag(disableDialogs)) return ORDWIN_E_INVALIDARG;
    DebugContext* ctx = ReadyContext();
    if (ctx == nullptr) return kNoContext;
    return FlashEraseUsb(*ctx, serialNumber, disableDialogs, protocol);
}

ORDWIN_API int Connected(void) {
    const DebugContext* ctx = Context();
    return ctx != nullptr ? ctx->connected : 0;
}

// --- identification -----------------------------------------------------

ORDWIN_API int ORDWIN_STDCALL GetDerivativeID(uint8_t* derivativeId) {
    return Answer(derivativeId, [](const DebugContext& ctx) { return ctx.derivativeId; });
}

ORDWIN_API int ORDWIN_STDCALL GetHardwareID(uint16_t* hardwareId) {
    return Answer(hardwareId, [](const DebugContext& ctx) { return ctx.hardwareId; });
}

ORDWIN_API int GetDebugLogicVersion(uint8_t* version) {
    return Answer(version, [](const DebugContext& ctx) { return ctx.debugLogicVersion; });
}

ORDWIN_API int GetDeviceName(const char** name) {
    return Answer(name, [](const DebugContext& ctx) { return ctx.record->name; });
}

ORDWIN_API int ISupportBanking(int* banks) {
    return Answer(banks, [](const DebugContext& ctx) { return ctx.traits.hexBanks; });
}

// --- configuration ------------------------------------------------------

ORDWIN_API int SetAdapter(int adapterType) {
    DebugContext* ctx = ReadyContext();
    if (ctx == nullptr) return kNoContext;
    if (adapterType >= 1 && adapterType <= 3) {
        ctx->adapterType = adapterType;
        ctx->link->SetLinkType(adapterType);
        return 0;
    }
    ShowMessage(FormatMessage("Illegal Adapter %i selected.", adapterType));
    ctx->adapterType = -1;
    ctx->link->SetLinkType(-1);
    return ORDWIN_E_INVALIDARG;
}

ORDWIN_API int SetMultiConnectMode(int mode) {
    if (DebugContext* ctx = Context()) ctx->multiConnectMode = mode;
    return 0;
}

ORDWIN_API int SetC2ClockStrobe(uint8_t strobe) {
    if (strobe == 0 || strobe >= 40) return ORDWIN_E_INVALIDARG;
    DebugContext* ctx = ReadyContext();
    if (ctx == nullptr) return kNoContext;
    ctx->c2ClockStrobe = strobe;
    // Without an open link the value waits for the next target reset.
    if (!ctx->link->IsLinkOpen()) return 0;
    return ctx->commands->CommandOneParam(zt::adapter::kClockStrobe, strobe);
}

ORDWIN_API void SetAppName(const char* name) {
    SetApplicationName(name);
}

ORDWIN_API int SetZeltraConnectionState(int state) {
    if (DebugContext* ctx = Context()) ctx->zeltraConnectionState = state;
    return 0;
}

ORDWIN_API int BaudRateLookup(unsigned int index) {
    return BaudRateForIndex(index);
}

ORDWIN_API int GetSAFirmwareVersion(void) {
    return 23;
}

ORDWIN_API int GetUSBFirmwareVersion(void) {
    return 31;
}

ORDWIN_API const char* GetDLLVersion(void) {
    return "4.10.00";
}

ORDWIN_API const char* GetErrorMsg(int code) {
    return ErrorMessage(code);
}

ORDWIN_API void OrdwinSetHostUi(const OrdwinHostUi* ui) {
    SetHostUi(ui);
}

// --- USB adapters -------------------------------------------------------

ORDWIN_API int USBDebugDevices(int* count) {
    if (count == nullptr) return ORDWIN_E_INVALIDARG;
    DebugContext* ctx = ReadyContext();
    if (ctx == nullptr) return kNoContext;
    return CountUsbAdapters(*ctx, count);
}

ORDWIN_API int GetUSBDeviceSN(int index, const char** serialNumber) {
    if (serialNumber == nullptr) return ORDWIN_E_INVALIDARG;
    return Wickport().getSerialByIndex(index, serialNumber);
}

ORDWIN_API int GetUSBDevice(const char** serialNumber) {
    if (serialNumber == nullptr) return ORDWIN_E_INVALIDARG;
    return Wickport().getSelectedSerial(serialNumber);
}

ORDWIN_API int SetUSBDevice(const char* serialNumber) {
    if (serialNumber == nullptr) return ORDWIN_E_INVALIDARG;
    DebugContext* ctx = ReadyContext();
    if (ctx == nullptr) return kNoContext;
    return SetUSBDeviceImpl(*ctx, serialNumber);
}

ORDWIN_API int GetUSBDLLVersion(const char** version) {
    if (version == nullptr) return ORDWIN_E_INVALIDARG;
    return Wickport().getVersion(version);
}

ORDWIN_API int VPPControl(int on) {
    DebugContext* ctx = Context();
    if (!IsConnected(ctx)) return ORDWIN_E_NOT_CONNECTED;
    return ctx->commands->CommandOneParam(zt::adapter::kProgrammingVoltage,
                                          static_cast<uint8_t>(on));
}

ORDWIN_API int GetPinMode(uint8_t* a, uint8_t* b, uint8_t* c) {
    if (a == nullptr || b == nullptr || c == nullptr) return ORDWIN_E_INVALIDARG;
    if (!IsConnected(Context())) return ORDWIN_E_NOT_CONNECTED;
    return GetPinModeImpl(a, b, c);
}

ORDWIN_API int SetPinMode(uint8_t a, uint8_t b, uint8_t c) {
    if (a > 4 || b > 3 || c > 1) return ORDWIN_E_INVALIDARG;
    if (!IsConnected(Context())) return ORDWIN_E_NOT_CONNECTED;
    return SetPinModeImpl(a, b, c);
}

ORDWIN_API int GetPinLatch(uint8_t* latch) {
    if (!IsConnected(Context())) return ORDWIN_E_NOT_CONNECTED;
    if (latch == nullptr) return 0;
    return GetPinLatchImpl(latch);
}

ORDWIN_API int SetPinLatch(uint8_t mask, uint8_t value) {
    if (!IsConnected(Context())) return ORDWIN_E_NOT_CONNECTED;
    return SetPinLatchImpl(mask, value);
}

// --- JTAG scans ---------------------------------------------------------

ORDWIN_API int SetJTAGState(int a, int b) {
    TargetCommands* commands = Commands();
    if (commands == nullptr) return kNoContext;
    const int32_t result =
        commands->SendJtagState(static_cast<uint8_t>(a), static_cast<uint8_t>(b));
    if (result < 0) {
        ShowMessage("SetJTAGState Command failed.");
        return result;
    }
    return commands->Link().ReadStatusByte();
}

ORDWIN_API int JTAGScanData(unsigned int bits, int flags, int value, const uint8_t* in,
                            uint8_t* out) {
    TargetCommands* commands = Commands();
    if (commands == nullptr) return kNoContext;
    const uint16_t bitCount = static_cast<uint16_t>(bits);
    const int n = (bitCount + 7) / 8;
    const bool sends = (flags & 1) != 0;
    const bool receives = (flags & 2) != 0;
    // A scan longer than one report cannot be carried, and data needs a buffer.
    if ((sends && (in == nullptr || n > 64)) || (receives && (out == nullptr || n > 64))) {
        return ORDWIN_E_INVALIDARG;
    }
    AdapterLink& link = commands->Link();
    int32_t result = commands->SendJtagScan(bitCount, static_cast<uint8_t>(flags),
                                            static_cast<uint8_t>(value), sends ? n : 0);
    if (result < 0) {
        ShowMessage("JTAGScanData Command failed.");
        return result;
    }
    if (sends && n > 0) {
        result = link.SendPacket(n, in);
        if (result < 0) {
            ShowMessage("Data for JTAGScanData command failed to transmit");
            return result;
        }
    }
    if (receives && n > 0) {
        result = link.ReceiveData(out, n);
        if (result < 0) {
            ShowMessage("Data for JTAGScanData was not received");
            return result;
        }
    }
    return link.ReadStatusByte();
}

ORDWIN_API int JtagTckCycles(int count) {
    TargetCommands* commands = Commands();
    if (commands == nullptr) return kNoContext;
    const int32_t result = commands->SendJtagClocks(static_cast<uint16_t>(count));
    if (result < 0) {
        ShowMessage("JTAGScanData Command failed.");
        return result;
    }
    return commands->Link().ReadStatusByte();
}

ORDWIN_API int IRScan(int /*value*/) {
    return Commands() != nullptr ? kNotBuilt : kNoContext;
}

ORDWIN_API int DRScan(int bits, const void* in, void* out) {
    if (bits <= 0 || (in == nullptr && out == nullptr)) return ORDWIN_E_INVALIDARG;
    return Commands() != nullptr ? kNotBuilt : kNoContext;
}

}  // extern "C"
