// The adapter firmware images the library carries, one per kind of adapter.
// Each image is a run of page records: page number, 512 page bytes scrambled
// with kFirmwareXorMask, then the CRC of the plain bytes, high byte first.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ordwin {

inline constexpr int kFirmwarePageSize = 512;
inline constexpr int kFirmwareRecordSize = kFirmwarePageSize + 3;
inline constexpr uint8_t kFirmwareXorMask = 0xA5;

// kSerialModeSwitch holds the records that put an older serial adapter into
// its update mode; kSerialFiller is the bare 512-byte page written after them.
enum class FirmwareImageKind {
    kSerial,
    kUsb,
    kUsbUpdateMode,
    kSmall8045,
    kSmall8253,
    kSerialModeSwitch,
    kSerialFiller
};

struct FirmwareImage {
    const uint8_t* records;
    size_t size;  // bytes, a whole number of records
};

// Built into the library at build time (tools/make_firmware_images.cpp).
FirmwareImage CarriedFirmwareImage(FirmwareImageKind kind);

// The adapter's page CRC: the byte goes into the high half, then per bit a
// shift left and, when bit 15 is set after the shift, an XOR with 0x1021.
inline uint16_t FirmwarePageCrc(const uint8_t* plain, int length) {
    uint16_t value = 0;
    for (int i = 0; i < length; ++i) {
        value = static_cast<uint16_t>(value ^ (plain[i] << 8));
        for (int bit = 0; bit < 8; ++bit) {
            value = static_cast<uint16_t>(value << 1);
            if (value & 0x8000) value ^= 0x1021;
        }
    }
    return value;
}

}  // namespace ordwin
