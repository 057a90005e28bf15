#include "zt/crc.h"

#include <array>

namespace zt {
namespace {

constexpr std::array<uint32_t, 256> MakeCrc32Table() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<uint16_t, 256> MakeCrc16Table() {
    std::array<uint16_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        auto c = static_cast<uint16_t>(n << 8);
        for (int k = 0; k < 8; ++k)
            c = (c & 0x8000) ? static_cast<uint16_t>((c << 1) ^ 0x1021)
                             : static_cast<uint16_t>(c << 1);
        table[n] = c;
    }
    return table;
}

constexpr auto kCrc32Table = MakeCrc32Table();
constexpr auto kCrc16Table = MakeCrc16Table();

}  // namespace

uint32_t Crc32Raw(const uint8_t* data, std::size_t size, uint32_t seed) {
    uint32_t c = seed;
    for (std::size_t i = 0; i < size; ++i) c = kCrc32Table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c;
}

uint32_t Crc32(const uint8_t* data, std::size_t size, uint32_t crc) {
    return Crc32Raw(data, size, crc ^ 0xFFFFFFFFu) ^ 0xFFFFFFFFu;
}

uint16_t Crc16Xmodem(const uint8_t* data, std::size_t size, uint16_t seed) {
    uint16_t c = seed;
    for (std::size_t i = 0; i < size; ++i)
        c = static_cast<uint16_t>((c << 8) ^ kCrc16Table[((c >> 8) ^ data[i]) & 0xFF]);
    return c;
}

uint16_t FirmwarePageCrc(const uint8_t* data, std::size_t size, uint16_t seed) {
    uint16_t value = seed;
    for (std::size_t i = 0; i < size; ++i) {
        value = static_cast<uint16_t>(value ^ (data[i] << 8));
        for (int bit = 0; bit < 8; ++bit) {
            value = static_cast<uint16_t>(value << 1);
            if (value & 0x8000) value ^= 0x1021;
        }
    }
    return value;
}

}  // namespace zt
