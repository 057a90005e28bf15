// The argument rules and the not-connected rule, on a freshly loaded library
// (each test runs in its own process) with no adapter attached.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ordwin.h"
#include "recording_host.h"

namespace {

constexpr int32_t kInvalid = ORDWIN_E_INVALIDARG;
constexpr int32_t kNotConnected = ORDWIN_E_NOT_CONNECTED;

TEST(AfterLoad, IdleContext) {
    EXPECT_EQ(Connected(), 0);
    EXPECT_EQ(TargetStep(), kNotConnected);
    EXPECT_EQ(SetTargetGo(), kNotConnected);
    EXPECT_EQ(TargetReset(), kNotConnected);
    const char* name = nullptr;
    EXPECT_EQ(GetDeviceName(&name), kNotConnected);
    EXPECT_EQ(name, nullptr);
    // Halting nothing is not an error.
    EXPECT_EQ(SetTargetHalt(), 0);
    EXPECT_EQ(Disconnect(1), kNotConnected);
    EXPECT_EQ(DisconnectUSB(), kNotConnected);
}

TEST(AfterLoad, IdentityGettersLeaveTheOutputAlone) {
    uint16_t hardwareId = 0xBEEF;
    uint8_t derivativeId = 0xAB;
    uint8_t logic = 0xCD;
    EXPECT_EQ(GetHardwareID(&hardwareId), kNotConnected);
    EXPECT_EQ(GetDerivativeID(&derivativeId), kNotConnected);
    EXPECT_EQ(GetDebugLogicVersion(&logic), kNotConnected);
    EXPECT_EQ(hardwareId, 0xBEEF);
    EXPECT_EQ(derivativeId, 0xAB);
    EXPECT_EQ(logic, 0xCD);
    // Arguments are checked before the connection.
    EXPECT_EQ(GetHardwareID(nullptr), kInvalid);
    EXPECT_EQ(GetDerivativeID(nullptr), kInvalid);
    EXPECT_EQ(ISupportBanking(nullptr), kInvalid);
    int banks = -1;
    EXPECT_EQ(ISupportBanking(&banks), kNotConnected);
    EXPECT_EQ(banks, -1);
}

TEST(FlagArguments, OnlyZeroOrOne) {
    EXPECT_EQ(Connect(1, 2, 1, 0), kInvalid);
    EXPECT_EQ(Connect(1, -1, 1, 0), kInvalid);
    EXPECT_EQ(ConnectUSB("", 1, 0, 2), kInvalid);
    EXPECT_EQ(ConnectUSB("", 2, 0, 1), kInvalid);
    EXPECT_EQ(FLASHErase(1, 3, 1), kInvalid);
    EXPECT_EQ(FLASHEraseUSB("", 0, 7), kInvalid);
    char file[] = "missing.hex";
    EXPECT_EQ(Download(file, 0, 2, 0, -1, 0, 0), kInvalid);
    EXPECT_EQ(Download(file, 2, 0, 0, -1, 0, 0), kInvalid);
    EXPECT_EQ(Download(file, 0, 0, 2, -1, 0, 0), kInvalid);
    EXPECT_EQ(Download(file, 0, 0, 0, 0, 0, 0), kInvalid);
    EXPECT_EQ(Download(file, 0, 1, 0, -1, 0, 0), kNotConnected);
    EXPECT_EQ(VerifyFlashDownload(file, 5, -1), kInvalid);
    EXPECT_EQ(VerifyFlashDownload(file, 1, -1), kNotConnected);
    uint8_t byte = 0;
    EXPECT_EQ(SetCodeMemory(&byte, 0, 1, 2), kInvalid);
    EXPECT_EQ(SetScratchPadMemory(&byte, 0, 1, 2), kInvalid);
    EXPECT_EQ(Connected(), 0);
}

TEST(FlagArguments, NullSerialIsRefused) {
    EXPECT_EQ(ConnectUSB(nullptr, 1, 0, 1), kInvalid);
    EXPECT_EQ(SetUSBDevice(nullptr), kInvalid);
    EXPECT_EQ(GetUSBDeviceSN(0, nullptr), kInvalid);
    EXPECT_EQ(GetUSBDevice(nullptr), kInvalid);
    EXPECT_EQ(USBDebugDevices(nullptr), kInvalid);
}

TEST(BufferArguments, NullOrEmptyBeforeTheConnection) {
    uint8_t buffer[8] = {};
    using MemoryExport = int (*)(uint8_t*, unsigned, unsigned);
    for (MemoryExport fn : {GetRAMMemory, SetRAMMemory, GetXRAMMemory, SetXRAMMemory, GetCodeMemory,
                            GetSFRMemory, SetSFRMemory, GetScratchPadMemory}) {
        EXPECT_EQ(fn(nullptr, 0, 1), kInvalid);
        EXPECT_EQ(fn(buffer, 0x80, 0), kInvalid);
    }
    EXPECT_EQ(GetXRAMMemory(buffer, 0, 1), kNotConnected);
    EXPECT_EQ(GetCodeMemory(buffer, 0, 1), kNotConnected);
    EXPECT_EQ(GetPageCRC(0, nullptr), kInvalid);
    EXPECT_EQ(GetPageCRC(0, buffer), kNotConnected);
    EXPECT_EQ(GetSFRByte(0x80, nullptr), kInvalid);
    EXPECT_EQ(GetSFRByte(0x80, buffer), kNotConnected);
    EXPECT_EQ(SetSFRByte(0x80, 1), kNotConnected);
    EXPECT_EQ(GetTargetStatus(nullptr), kInvalid);
    int status = 7;
    EXPECT_EQ(GetTargetStatus(&status), kNotConnected);
    EXPECT_EQ(status, 7);
    uint32_t pc = 0;
    EXPECT_EQ(ReadPC(nullptr), kInvalid);
    EXPECT_EQ(ReadPC(&pc), kNotConnected);
    EXPECT_EQ(WritePC(0), kNotConnected);
}

TEST(BufferArguments, RamRangeBeforeTheConnection) {
    uint8_t buffer[256] = {};
    EXPECT_EQ(GetRAMMemory(buffer, 250, 6), kNotConnected);
    EXPECT_EQ(GetRAMMemory(buffer, 250, 7), kInvalid);
    EXPECT_EQ(SetRAMMemory(buffer, 0, 256), kNotConnected);
    EXPECT_EQ(SetRAMMemory(buffer, 1, 256), kInvalid);
    // A start near the top of the unsigned range must not wrap into range.
    EXPECT_EQ(GetRAMMemory(buffer, 0xFFFFFFFFu, 2), kInvalid);
    // The SFR range is tested after the connection.
    EXPECT_EQ(GetSFRMemory(buffer, 0x10, 1), kNotConnected);
}

TEST(BreakpointArguments, RangeComesBeforeTheConnection) {
    // No device has code up to the top of the address type.
    EXPECT_EQ(SetClrBP(1, 0xFFFFFFFFu), ORDWIN_E_BP_RANGE);
    EXPECT_EQ(SetClrBP(0, 0xFFFFFFFFu), ORDWIN_E_BP_RANGE);
    EXPECT_EQ(SetClrBP(1, 0x0006), kNotConnected);
}

TEST(ContextExports, ClockStrobeRange) {
    EXPECT_EQ(SetC2ClockStrobe(0), kInvalid);
    EXPECT_EQ(SetC2ClockStrobe(40), kInvalid);
    EXPECT_EQ(SetC2ClockStrobe(255), kInvalid);
    EXPECT_EQ(SetC2ClockStrobe(39), 0);
    EXPECT_EQ(SetC2ClockStrobe(1), 0);
}

TEST(ContextExports, BaudRates) {
    EXPECT_EQ(BaudRateLookup(0), 0);
    EXPECT_EQ(BaudRateLookup(1), 115200);
    EXPECT_EQ(BaudRateLookup(2), 57600);
    EXPECT_EQ(BaudRateLookup(3), 38400);
    EXPECT_EQ(BaudRateLookup(4), 9600);
    EXPECT_EQ(BaudRateLookup(5), 2400);
    EXPECT_EQ(BaudRateLookup(6), 0);
    EXPECT_EQ(BaudRateLookup(0xFFFFFFFFu), 0);
}

TEST(ContextExports, ConstantsAndStores) {
    EXPECT_STREQ(GetDLLVersion(), "4.10.00");
    EXPECT_EQ(GetSAFirmwareVersion(), 23);
    EXPECT_EQ(GetUSBFirmwareVersion(), 31);
    EXPECT_EQ(SetMultiConnectMode(5), 0);
    EXPECT_EQ(SetMultiConnectMode(0), 0);
    EXPECT_EQ(SetZeltraConnectionState(1), 0);
    EXPECT_EQ(SetZeltraConnectionState(0), 0);
    const char* version = nullptr;
    EXPECT_GE(GetUSBDLLVersion(&version), 0);
    ASSERT_NE(version, nullptr);
}

TEST(ContextExports, PinReportsNeedTheConnection) {
    EXPECT_EQ(GetPinLatch(nullptr), kNotConnected);
    uint8_t a = 0, b = 0, c = 0;
    EXPECT_EQ(GetPinLatch(&a), kNotConnected);
    EXPECT_EQ(GetPinMode(&a, &b, &c), kNotConnected);
    EXPECT_EQ(GetPinMode(&a, nullptr, &c), kInvalid);
    EXPECT_EQ(SetPinMode(4, 3, 1), kNotConnected);
    EXPECT_EQ(SetPinMode(5, 0, 0), kInvalid);
    EXPECT_EQ(SetPinMode(0, 4, 0), kInvalid);
    EXPECT_EQ(SetPinMode(0, 0, 2), kInvalid);
    EXPECT_EQ(SetPinLatch(7, 7), kNotConnected);
    EXPECT_EQ(VPPControl(1), kNotConnected);
}

TEST(ContextExports, JtagScansWithoutLinkFailInTheExchange) {
    RecordingHost host;
    EXPECT_LT(SetJTAGState(1, 2), 0);
    EXPECT_TRUE(host.Saw("SetJTAGState Command failed."));
    EXPECT_LT(JtagTckCycles(10), 0);
    EXPECT_TRUE(host.Saw("JTAGScanData Command failed."));
    uint8_t data[4] = {};
    // Data without a buffer is refused before anything is sent.
    EXPECT_EQ(JTAGScanData(16, 1, 0, nullptr, data), kInvalid);
    EXPECT_EQ(JTAGScanData(16, 2, 0, data, nullptr), kInvalid);
    EXPECT_EQ(JTAGScanData(8 * 65, 1, 0, data, data), kInvalid);
}

TEST(UsbAdapters, NoneAttached) {
    int count = -1;
    EXPECT_EQ(USBDebugDevices(&count), 0);
    EXPECT_EQ(count, 0);
    const char* serial = nullptr;
    EXPECT_LT(GetUSBDeviceSN(0, &serial), 0);
    // Nothing to select, which is still not an error of SetUSBDevice.
    EXPECT_EQ(SetUSBDevice("VZ0001"), 0);
}

TEST(UsbAdapters, ConnectWithoutAdapterFails) {
    RecordingHost host;
    EXPECT_EQ(ConnectUSB("", 1, 0, 0), ORDWIN_E_LINK_OPEN);
    EXPECT_EQ(Connected(), 0);
    EXPECT_TRUE(
        host.Saw("USB debug adapter/Pinrod base adapter has not been specified. Please "
                 "disconnect unused adapters \nor select desired adapter before "
                 "re-attempting connection."));
}

TEST(SerialAdapter, IllegalComPort) {
    RecordingHost host;
    EXPECT_EQ(Connect(0, 0, 1, 0), kInvalid);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].text, "Illegal COM port 0 selected.");
    EXPECT_EQ(host.messages[1].text, "Could not set COM port. Check COM port settings.");
    EXPECT_EQ(Connect(513, 1, 1, 0), kInvalid);
    EXPECT_EQ(host.messages.size(), 2u);
    // The protocol is checked after the port.
    EXPECT_EQ(Connect(1, 1, 2, 0), kInvalid);
}

TEST(SerialAdapter, EraseWhileIdleAsksFirst) {
    RecordingHost host;
    host.answer = ORDWIN_ID_NO;
    EXPECT_EQ(FLASHErase(3, 0, 1), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text,
              "Preparing to erase all Code Memory.\nAre you sure you want to proceed?");
    EXPECT_EQ(host.messages[0].style, ORDWIN_MB_YESNO_ICON);
}

}  // namespace
