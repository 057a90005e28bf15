// A strict Intel-HEX reader for program images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zsim {

struct HexSegment {
    uint32_t address = 0;
    std::vector<uint8_t> bytes;
};

// Parses data (00) and end-of-file (01) records with their checksums; 02 and
// 04 records are accepted only when they leave the address below 64 KiB, and
// 03/05 (start addresses) are ignored. Any other content is an error that
// names the line. Returns false and sets *error on bad input.
bool ParseIntelHex(const std::string& text, std::vector<HexSegment>* segments, std::string* error);

}  // namespace zsim
