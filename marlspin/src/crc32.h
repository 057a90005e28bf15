#pragma once

#include <cstddef>
#include <cstdint>

namespace marlspin {

// The zlib CRC-32 (reflected, polynomial 0xEDB88320, initial and final XOR 0xFFFFFFFF).
// Pass the previous result as `crc` to continue over more data.
uint32_t Crc32(const uint8_t* data, std::size_t size, uint32_t crc = 0);

}  // namespace marlspin
