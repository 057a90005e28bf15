// The checksums host, chip and adapter compute. Each takes its starting value
// as a parameter so a caller can continue over more data.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zt {

// zlib's CRC-32: reflected, polynomial 0xEDB88320, initial and final XOR
// 0xFFFFFFFF. Pass the previous result as `crc` to continue.
uint32_t Crc32(const uint8_t* data, std::size_t size, uint32_t crc = 0);

// The same polynomial with neither initial nor final inversion: the register
// starts at `seed` and is returned as it ends (the 1024-byte block check).
uint32_t Crc32Raw(const uint8_t* data, std::size_t size, uint32_t seed = 0);

// CRC-16/XMODEM: polynomial 0x1021, most significant bit first, no final
// XOR; the chip's 256-byte code page CRC starts at 0.
uint16_t Crc16Xmodem(const uint8_t* data, std::size_t size, uint16_t seed = 0);

// The adapter's firmware page CRC: the byte goes into the high half, then per
// bit a shift left and, when bit 15 is set after the shift, an XOR with 0x1021.
uint16_t FirmwarePageCrc(const uint8_t* data, std::size_t size, uint16_t seed = 0);

}  // namespace zt
