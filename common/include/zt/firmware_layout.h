// The contracts between the host and the small programs it runs on the chip:
// the NVM burner (built by the composer) and the MTP writer (patched by Cindral).
#pragma once

#include <cstdint>

namespace zt::burner {

// The host stops the burner with a breakpoint at its parking loop.
inline constexpr uint16_t kBreakAddress = 0x0006;
inline constexpr uint16_t kEntry = 0x0000;

// Result block in internal RAM: status, code, failing NVM address high, low.
inline constexpr uint8_t kResultAddress = 0x64;
inline constexpr int kResultSize = 4;
inline constexpr uint8_t kResultSuccess = 0x5C;
inline constexpr uint8_t kResultFailure = 0xFA;
// The code a burner stopped before its end leaves behind.
inline constexpr uint8_t kResultUnfinished = 0xFF;

// Parameter table in code memory (16-bit fields big-endian): signature,
// layout, mode, segment count, data address, then per segment NVM
// destination, length and XDATA staging address.
inline constexpr uint32_t kParamTable = 0x0200;
inline constexpr uint8_t kSignature[2] = {'Z', 'B'};
inline constexpr uint8_t kLayout = 0x01;
inline constexpr uint32_t kParamHeaderSize = 8;
inline constexpr uint32_t kParamSegmentSize = 6;
inline constexpr uint8_t kModeStrict = 0;
inline constexpr uint8_t kModeLogicOr = 1;
// The XDATA staging window limits one segment.
inline constexpr uint32_t kMaxSegment = 0x1000;

}  // namespace zt::burner

namespace zt::mtp_writer {

// The host runs the writer from kEntry; the start-up code at kStartup clears
// RAM, sets the stack pointer and continues at kMain.
inline constexpr uint16_t kEntry = 0x0000;
inline constexpr uint16_t kStartup = 0x00BC;
inline constexpr uint16_t kMain = 0x0003;
inline constexpr uint8_t kStackPointer = 0x89;
// The final idle loop: a halted writer whose PC lies in [begin, end) has finished.
inline constexpr uint16_t kIdleBegin = 0x00B0;
inline constexpr uint16_t kIdleEnd = 0x00B8;

// Parameter record in code memory: offset, length, 16 data bytes.
inline constexpr uint16_t kParamRecord = 0x0100;
inline constexpr int kParamOffset = 0;
inline constexpr int kParamLength = 1;
inline constexpr int kParamData = 2;
inline constexpr int kParamDataSize = 16;
inline constexpr int kParamRecordSize = kParamData + kParamDataSize;

// Result byte in internal RAM.
inline constexpr uint8_t kResultAddress = 0x0D;
inline constexpr uint8_t kResultSuccess = 5;
inline constexpr uint8_t kResultBadOffset = 1;
inline constexpr uint8_t kResultBadLength = 2;
inline constexpr uint8_t kResultProgramming = 3;
inline constexpr uint8_t kResultVerify = 4;

// Where the writer keeps the programming routine's status.
inline constexpr uint16_t kXdataProgramStatus = 0x0900;

}  // namespace zt::mtp_writer
