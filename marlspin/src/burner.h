#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compose.h"

namespace marlspin {

// Layout of the burner's parameter table (16-bit fields big-endian).
inline constexpr uint32_t kParamTable = zt::burner::kParamTable;
inline constexpr uint32_t kParamHeaderSize = zt::burner::kParamHeaderSize;
inline constexpr uint32_t kParamSegmentSize = zt::burner::kParamSegmentSize;
inline constexpr uint32_t kCodeRamEnd = zt::zeltra::kCodeRamEnd;

// One contiguous block of code memory.
struct CodeBlock {
    uint32_t address = 0;
    std::vector<uint8_t> bytes;
};

// The burner firmware with the parameter table and data for `segments`.
// Throws Failure (Burner Creation Error) when they do not fit.
std::vector<CodeBlock> BuildBurner(const std::vector<Segment>& segments, bool strict);

// Intel-HEX records (16 data bytes each, then the end record), each line ending in CR LF.
std::string ToIntelHex(const std::vector<CodeBlock>& blocks);

}  // namespace marlspin
