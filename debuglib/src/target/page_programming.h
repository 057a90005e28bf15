// The code image and its page flags, and the engine that writes flagged pages
// to the target and checks them with page CRCs.
#pragma once

#include <cstdint>
#include <string>

namespace ordwin {

struct DebugContext;

// Stores one byte into the code image with the reserved-area, lock-byte and
// page rules; preserve reads a page from the target before its first change.
// A reserved address fills warning with the text for the user.
int32_t StoreCodeByte(DebugContext& context, uint32_t address, uint8_t value, bool preserve,
                      std::string* warning);
int32_t StoreScratchByte(DebugContext& context, uint32_t address, uint8_t value);

// Reads one page of code memory from the target into the code image.
int32_t ReadCodePage(DebugContext& context, uint32_t page);

// Writes every flagged page below the code size, then verifies them. Shows
// its own messages; 0 or the failing code.
int32_t ProgramFlaggedPages(DebugContext& context, bool quiet);
// Compares the flagged pages with the target without writing.
int32_t VerifyFlaggedPages(DebugContext& context, bool report);
void ClearPageFlags(DebugContext& context);

// The page CRC check of one 256-byte block of the code image (1024 bytes on
// family 42); ORDWIN_E_CRC on a mismatch.
int32_t CheckBlockCrc(DebugContext& context, uint32_t block, bool report);

int32_t WriteScratchImage(DebugContext& context);
int32_t EraseUserCode(DebugContext& context);
// Writes 0 into the read-lock and write-lock bytes.
int32_t WriteLockBytes(DebugContext& context);
// Reads the write-lock byte (when it has an address of its own) and then the
// read-lock byte from the target into the code image. Lock bytes outside the
// code memory, and those of the Zeltra, count as 0xFF without being read.
int32_t ReadLockBytes(DebugContext& context);

}  // namespace ordwin
