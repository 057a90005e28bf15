// What a serial debug adapter adds to the packet protocol: the autobaud
// handshake, the byte after every target-command data reply, the firmware it
// runs and the fixed records that switch an older one into its update mode.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

#include "zt/platform/places.h"

namespace zt::serial {

// After a reset the host sends kHandshakeRequest; the adapter answers
// kHandshakeReply once it has measured the baud rate.
inline constexpr uint8_t kHandshakeRequest = 0x55;
inline constexpr uint8_t kHandshakeReply = 0x5A;
inline constexpr int kHandshakeWaitMs = 100;

// Sent after the data bytes of every target-command reply (not after status
// bytes or firmware replies); the host leaves it for the next purge.
inline constexpr uint8_t kTrailingByte = 0x0D;

// The firmware a serial adapter must run.
inline constexpr int kFirmwareMode = 3;
inline constexpr int kCheckPage = 3;
inline constexpr int kFirmwareVersion = 23;
inline constexpr int kImagePages = 17;

// An adapter in another mode is switched to its update mode by writing these
// three fixed records, then a filler page to kFillerPage without a prepare
// step; the version is read kModeSwitchPauseMs after that.
inline constexpr int kModeSwitchRecords = 3;
inline constexpr uint8_t kModeSwitchPages[kModeSwitchRecords] = {0x3B, 0x3C, 0x3D};
inline constexpr uint8_t kFillerPage = 0x3E;
inline constexpr uint8_t kFillerByte = 0xFF;  // plain value of every filler byte
inline constexpr int kModeSwitchPauseMs = 500;

// Line defaults and limits.
inline constexpr int kDefaultBaud = 115200;
inline constexpr int kLowestAutoBaud = 38400;
inline constexpr int kHighestAutoBaud = 115200;
inline constexpr int kReceiveBudgetMs = 5000;
inline constexpr int kResetPulseMs = 100;

// Virtual serial adapters announce their port here, one link per adapter,
// so the library can list them with the real ports and knows that their
// firmware is ours.
inline std::string VirtualPortDirectory() {
    return zt::platform::UserRuntimeDirectory("zeltra-sim-serial");
}

}  // namespace zt::serial
