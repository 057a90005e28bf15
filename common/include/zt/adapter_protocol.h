// The wire protocol between the host and a debug adapter: command codes,
// reply shapes, status bytes, the adapter's own firmware commands, HID control
// values and feature reports, product ids and the firmware each kind runs.
#pragma once

#include <cstdint>

#include "zt/serial_protocol.h"

namespace zt::adapter {

// One HID report; no packet is longer.
inline constexpr int kReportSize = 64;

// Target commands (C2 unless named JTAG).
inline constexpr uint8_t kTargetReset = 0x20;
inline constexpr uint8_t kHardwareId = 0x22;    // -> family, revision
inline constexpr uint8_t kDerivativeId = 0x23;  // -> debug version, derivative
inline constexpr uint8_t kRun = 0x24;
inline constexpr uint8_t kHalt = 0x25;
inline constexpr uint8_t kStep = 0x26;
inline constexpr uint8_t kRunStatus = 0x27;  // -> 1 halted, 0 running
inline constexpr uint8_t kDirectRead = 0x28;
inline constexpr uint8_t kDirectWrite = 0x29;
inline constexpr uint8_t kRamRead = 0x2A;
inline constexpr uint8_t kRamWrite = 0x2B;
inline constexpr uint8_t kXdataRegisterRead = 0x2C;  // through the XADRH:XADRL data register
inline constexpr uint8_t kXdataRegisterWrite = 0x2D;
inline constexpr uint8_t kWindowRead = 0x2E;
inline constexpr uint8_t kCodeWrite = 0x2F;  // also the window write
inline constexpr uint8_t kPageErase = 0x30;
inline constexpr uint8_t kPageCrc = 0x31;  // -> CRC-16 high, low
inline constexpr uint8_t kCodeWriteWithStatus = 0x33;
inline constexpr uint8_t kCodeRead = 0x34;
inline constexpr uint8_t kC2RegisterRead = 0x36;
inline constexpr uint8_t kC2RegisterWrite = 0x37;
inline constexpr uint8_t kDeviceErase = 0x3C;  // also the user-code erase
inline constexpr uint8_t kXdataRead = 0x3E;
inline constexpr uint8_t kXdataWrite = 0x3F;
inline constexpr uint8_t kPageCrc32 = 0x41;

// Commands to the adapter itself (one parameter, status reply).
inline constexpr uint8_t kClockStrobe = 0x40;
inline constexpr uint8_t kProgrammingVoltage = 0xFD;
inline constexpr uint8_t kConnectOption = 0xFE;

// JTAG target commands.
inline constexpr uint8_t kJtagDirectRead = 0x02;
inline constexpr uint8_t kJtagDirectWrite = 0x03;
inline constexpr uint8_t kJtagReset = 0x04;
inline constexpr uint8_t kJtagRamRead = 0x06;
inline constexpr uint8_t kJtagRamWrite = 0x07;
inline constexpr uint8_t kJtagExitHalt = 0x09;
inline constexpr uint8_t kJtagIdentify = 0x0A;  // -> kJtagIdentityLength bytes
inline constexpr uint8_t kJtagBoardState = 0x0B;
inline constexpr uint8_t kJtagReadRegister = 0x0C;  // [register, bits] -> 24 bits, low first
inline constexpr uint8_t kJtagWriteRegister = 0x0D;
inline constexpr uint8_t kJtagDebugVersion = 0x10;  // -> debug logic version
inline constexpr uint8_t kJtagHaltFlag = 0x13;      // -> bit 0 set once halted
inline constexpr uint8_t kJtagDevice = 0x1A;
inline constexpr uint8_t kJtagState = 0x1D;
inline constexpr uint8_t kJtagScan = 0x1E;
inline constexpr uint8_t kJtagClocks = 0x1F;

// The kJtagIdentify reply: id code and family (low byte first), revision,
// adapter firmware version; kJtagIdCode for a target it can debug.
inline constexpr int kJtagIdentityLength = 6;
inline constexpr uint16_t kJtagIdCode = 0x0121;
// kJtagBoardState values.
inline constexpr uint8_t kJtagBoardRunning = 0;
inline constexpr uint8_t kJtagBoardHalted = 1;
inline constexpr uint8_t kJtagBoardReset = 2;

// The C2 commands answered with data bytes; every other one with a status byte.
constexpr bool HasDataReply(uint8_t code) {
    switch (code) {
        case kHardwareId:
        case kDerivativeId:
        case kRunStatus:
        case kDirectRead:
        case kRamRead:
        case kXdataRegisterRead:
        case kPageCrc:
        case kCodeRead:
        case kC2RegisterRead:
        case kXdataRead:
            return true;
        default:
            return false;
    }
}

// Status bytes.
inline constexpr uint8_t kStatusOk = 0x0D;
inline constexpr uint8_t kStatusNotHalted = 0x01;
inline constexpr uint8_t kStatusFailed = 0x02;
inline constexpr uint8_t kStatusFlash = 0x03;
inline constexpr uint8_t kStatusNoTarget = 0x57;

// Firmware commands [op, p1, p2], high byte first; one reply byte (two for
// the page CRC). The page commands answer 0 when accepted, 1 when refused.
inline constexpr uint8_t kFirmwareMode = 0;
inline constexpr uint8_t kFirmwareSelectPage = 1;
inline constexpr uint8_t kFirmwarePrepare = 2;
inline constexpr uint8_t kFirmwareWrite = 3;  // then the page's raw bytes
inline constexpr uint8_t kFirmwarePageCrc = 4;
inline constexpr uint8_t kFirmwareReadFlash = 5;
inline constexpr uint8_t kFirmwareVersion = 6;
inline constexpr uint8_t kFirmwareLastOp = kFirmwareVersion;
inline constexpr uint8_t kFirmwareAccepted = 0;
inline constexpr uint8_t kFirmwareRefused = 1;

// The adapter's firmware flash and update image records: page number, the
// page scrambled with kFirmwareXorMask, the page CRC of the plain bytes.
inline constexpr int kFirmwarePageSize = 512;
inline constexpr int kFirmwareRecordSize = kFirmwarePageSize + 3;
inline constexpr int kFirmwarePages = 128;
inline constexpr uint8_t kFirmwareXorMask = 0xA5;
// Pages whose last byte holds the adapter's power value, kept over updates.
inline constexpr int kPowerValuePages[] = {10, 11};

// Small adapters' HID control values.
inline constexpr int kControlReset = 0x40;
inline constexpr int kControlVersionRequest = 0x41;
inline constexpr int kControlState = 0x42;
inline constexpr int kControlMode = 0x43;
inline constexpr int kControlVersion = 0x44;

// HID feature reports.
inline constexpr uint8_t kReportPinMode = 0x49;
inline constexpr uint8_t kReportPinLatch = 0x4A;
inline constexpr uint8_t kReportSetPinLatch = 0x4B;
inline constexpr uint8_t kPinLatchMask = 0x07;

// USB product ids.
inline constexpr uint16_t kProductUsb = 0x8A51;
inline constexpr uint16_t kProductSmall8045 = 0x8045;
inline constexpr uint16_t kProductSmall8253 = 0x8253;

constexpr bool IsSmallAdapter(uint16_t productId) {
    return productId == kProductSmall8045 || productId == kProductSmall8253;
}

// What an adapter of each kind runs when its firmware is the expected one.
struct FirmwareRow {
    int mode;       // firmware mode byte
    int checkPage;  // page probed with kFirmwareSelectPage; -1 for none
    int version;
    int pages;  // pages of the update image
};

inline constexpr FirmwareRow kSerialFirmware{zt::serial::kFirmwareMode, zt::serial::kCheckPage,
                                             zt::serial::kFirmwareVersion, zt::serial::kImagePages};
inline constexpr FirmwareRow kUsbFirmware{2, 12, 31, 19};
inline constexpr FirmwareRow kUsbUpdateModeFirmware{1, 11, 2, 19};
inline constexpr FirmwareRow kSmall8045Firmware{1, -1, 4, 17};
inline constexpr FirmwareRow kSmall8253Firmware{1, -1, 11, 20};

// The firmware a USB adapter with this product id is expected to run in `mode`.
constexpr const FirmwareRow& UsbFirmwareFor(uint16_t productId, int mode) {
    if (productId == kProductSmall8045) return kSmall8045Firmware;
    if (productId == kProductSmall8253) return kSmall8253Firmware;
    return mode == kUsbUpdateModeFirmware.mode ? kUsbUpdateModeFirmware : kUsbFirmware;
}

}  // namespace zt::adapter
