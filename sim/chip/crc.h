// Checksums the chip computes for the host.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zsim {

// The common CRC-32 (zlib's): reflected, polynomial 0xEDB88320, init and final XOR 0xFFFFFFFF.
uint32_t Crc32(const uint8_t* data, size_t length);

// CRC-16/XMODEM: polynomial 0x1021, init 0, MSB first, no final XOR.
uint16_t Crc16Xmodem(const uint8_t* data, size_t length);

}  // namespace zsim
