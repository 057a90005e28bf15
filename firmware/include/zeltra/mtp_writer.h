#pragma once

#include <cstddef>

namespace zeltra::firmware {

// The MTP writer as the Intel-HEX text the program carries (CR LF line ends,
// NUL-terminated; the size excludes the NUL). Its first record is the parameter
// record at kMtpWriterParamAddress: offset, length, 16 data bytes.
extern const char kMtpWriterHex[];
extern const std::size_t kMtpWriterHexSize;

// Layout the host relies on; the assembly places its code to match.
inline constexpr unsigned kMtpWriterParamAddress = 0x0100;
inline constexpr unsigned kMtpWriterParamSize = 18;
inline constexpr unsigned kMtpWriterStartup = 0x00BC;
inline constexpr unsigned kMtpWriterResultAddress = 0x0D;
// The final idle loop: a halted writer whose PC lies in [begin, end) has finished.
inline constexpr unsigned kMtpWriterIdleBegin = 0x00B0;
inline constexpr unsigned kMtpWriterIdleEnd = 0x00B8;
inline constexpr unsigned kMtpWindow = 0x4040;
inline constexpr unsigned kMtpSize = 16;

// Result codes at kMtpWriterResultAddress.
inline constexpr unsigned char kMtpBadOffset = 1;
inline constexpr unsigned char kMtpBadLength = 2;
inline constexpr unsigned char kMtpProgrammingError = 3;
inline constexpr unsigned char kMtpVerifyError = 4;
inline constexpr unsigned char kMtpWritten = 5;

}  // namespace zeltra::firmware
