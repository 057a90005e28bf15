// The checksums the target computes over its code pages.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ordwin {

// Polynomial 0x1021, initial value 0, most significant bit first, no final
// inversion.
uint16_t Crc16Xmodem(const uint8_t* data, size_t length);

// Polynomial 0xEDB88320, least significant bit first, initial value 0, no
// final inversion (the 1024-byte block check of family 42).
uint32_t Crc32Plain(const uint8_t* data, size_t length);

}  // namespace ordwin
