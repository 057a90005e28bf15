// The Zeltra's identity, memory map and NVM layout as host and chip agree on them.
#pragma once

#include <cstdint>

namespace zt::zeltra {

inline constexpr uint16_t kFamily = 36;  // hardware id 0x24
inline constexpr uint8_t kDerivative = 0xD0;
inline constexpr uint8_t kDerivativePristine = 0xFF;  // derivative id not yet set

// Debug interface registers in the direct space (the halted core's view).
inline constexpr uint8_t kDebugPcLow = 0x20;       // PC high byte at the next address
inline constexpr uint8_t kDebugHaltedR0 = 0x24;    // R0..R2 while halted, in order
inline constexpr uint8_t kBreakpointMask = 0xF1;   // one enable bit per slot
inline constexpr uint8_t kBreakpointCount = 0xF2;  // read-only: the slots there are
inline constexpr uint8_t kBreakpointSelect = 0xF3;
inline constexpr uint8_t kBreakpointAddressLow = 0xF4;  // of the selected slot
inline constexpr uint8_t kBreakpointAddressHigh = 0xF5;

// Breakpoint slots a count byte stands for: 0x80 gives 7 ... 0xFE gives 1, any other value 8.
constexpr int BreakpointSlots(uint8_t countByte) {
    for (int missing = 1; missing <= 7; ++missing) {
        if (countByte == uint8_t(0xFF00 >> missing)) return 8 - missing;
    }
    return 8;
}

// NVM (one-time programmable), 8 KiB.
inline constexpr uint32_t kNvmSize = 0x2000;
inline constexpr uint32_t kNvmTrimBegin = 0x0000;
inline constexpr uint32_t kNvmTrimEnd = 0x0100;  // exclusive
inline constexpr uint32_t kNvmPtData = 0x0100;   // 72 bytes of PT data
inline constexpr uint32_t kNvmTrimCrc = 0x0148;  // reference CRC-32 of the trim region, big-endian
// The user region: the first address a boot image may start at, the default
// start, and its end; kNvmUserEnd is exclusive, kNvmUserLast the last byte.
inline constexpr uint32_t kNvmUserMinBegin = 0x014C;
inline constexpr uint32_t kNvmUserDefaultBegin = 0x0200;
inline constexpr uint32_t kNvmUserEnd = 0x1FF0;
inline constexpr uint32_t kNvmUserLast = kNvmUserEnd - 1;

// The boot record right after the user region.
inline constexpr uint32_t kBootRecord = kNvmUserEnd;
inline constexpr uint32_t kBootRecordSize = 8;
inline constexpr uint32_t kBootState = kBootRecord + 0;
inline constexpr uint32_t kBootFlags = kBootRecord + 1;
inline constexpr uint32_t kBootLength = kBootRecord + 2;   // big-endian
inline constexpr uint32_t kBootUserCrc = kBootRecord + 4;  // big-endian CRC-32 of the user region

inline constexpr uint8_t kBootStateUser = 0x03;
inline constexpr uint8_t kBootStateRun = 0x07;

// Boot flag bits (NVM kBootFlags, mirrored in an SFR).
inline constexpr uint8_t kBootFlagXoEarlyEnable = 0x01;
inline constexpr uint8_t kBootFlagExeUserBoot = 0x02;
inline constexpr uint8_t kBootFlagNvmDisable = 0x04;
inline constexpr uint8_t kBootFlagMtpDisable = 0x08;
inline constexpr uint8_t kBootFlagRamClear = 0x10;
inline constexpr uint8_t kBootFlagC2Disable = 0x40;

// What the boot actions leave in XDATA (16-bit values high byte first) and SFRs.
inline constexpr uint16_t kXdataTrimMirror = 0x1100;        // NVM 0x0000..0x00EF
inline constexpr uint16_t kXdataSysTrimId = 0x11D6;         // bSys_TrimId, in the mirror
inline constexpr uint16_t kXdataBootDpramTrimBeg = 0x11F3;  // wBoot_DpramTrimBeg
inline constexpr uint16_t kXdataBootNvmUserBeg = 0x11F5;    // wBoot_NvmUserBeg
inline constexpr uint16_t kXdataBootNvmCopyAddr = 0x11FD;   // wBoot_NvmCopyAddr
inline constexpr uint16_t kXdataBootStat = 0x11FF;          // bBoot_BootStat
inline constexpr uint16_t kXdataRevId = 0x4025;             // bREV_ID, read-only
inline constexpr uint8_t kSfrProt0Ctrl = 0xDA;              // PROT0_CTRL
inline constexpr uint8_t kSfrBootFlags = 0xDD;              // BOOT_FLAGS

// Writing kPtCopy to the C2 register kC2PtControl copies the PT block into
// internal RAM: the PT data, then the user and trim reference CRCs.
inline constexpr uint8_t kC2PtControl = 0xB4;
inline constexpr uint8_t kPtCopy = 0x0D;
inline constexpr uint8_t kIramPtBlock = 0x70;
inline constexpr int kPtBlockSize = 80;
inline constexpr int kPtUserCrc = 72;  // offsets in the block, big-endian CRC-32s
inline constexpr int kPtTrimCrc = 76;
static_assert(kPtUserCrc == int(kNvmTrimCrc - kNvmPtData) && kPtTrimCrc + 4 == kPtBlockSize);

// Page CRC selectors for the regions: the call naming a region gives the upper
// 16 bits of its CRC-32, a kPageCrcLowHalf call after it the lower 16.
inline constexpr uint8_t kPageCrcLowHalf = 0xF8;
inline constexpr uint8_t kPageCrcTrim = 0xF9;
inline constexpr uint8_t kPageCrcUser = 0xFA;
inline constexpr uint8_t kPageCrcRom = 0xFB;

// Code memory: RAM below, ROM above.
inline constexpr uint32_t kCodeRamEnd = 0x8000;
inline constexpr uint32_t kRomSize = 0x8000;

// ROM routines.
inline constexpr uint16_t kRomNvmRead = 0x8060;
inline constexpr uint16_t kRomNvmBurn = 0x8063;
inline constexpr uint16_t kRomMtpWrite = 0x8069;
inline constexpr uint16_t kRomMtpBase = 0x806C;
// What MtpWrite wants in R7 before it programs the cells.
inline constexpr uint8_t kMtpWriteKey = 0x32;

// MTP (multi-time programmable), seen through an XDATA window.
inline constexpr int kMtpSize = 16;
inline constexpr uint16_t kXdataMtpWindow = 0x4040;

// Result codes of the ROM's NVM burn routine.
inline constexpr uint8_t kBurnOk = 0x00;
inline constexpr uint8_t kBurnXdataOverflow = 0x01;
inline constexpr uint8_t kBurnConflict = 0x02;
inline constexpr uint8_t kBurnThreshold = 0x03;
inline constexpr uint8_t kBurnRange = 0x04;

}  // namespace zt::zeltra
