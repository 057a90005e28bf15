// One Intel-HEX record: digits in, fields and a checksum verdict out. How
// lines are split, what is skipped and which record types mean what is left
// to each reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "zt/hex_digit.h"

namespace zt {

inline constexpr uint8_t kHexData = 0x00;
inline constexpr uint8_t kHexEndOfFile = 0x01;
inline constexpr uint8_t kHexExtendedSegment = 0x02;
inline constexpr uint8_t kHexStartSegment = 0x03;
inline constexpr uint8_t kHexExtendedLinear = 0x04;
inline constexpr uint8_t kHexStartLinear = 0x05;

struct HexRecord {
    uint8_t count = 0;
    uint16_t address = 0;
    uint8_t type = 0;
    uint8_t data[255] = {};
    uint8_t checksum = 0;
    bool checksumOk = false;  // the bytes, checksum included, sum to 0
};

enum class HexRecordStatus {
    kOk,
    kTooShort,       // fewer digits than count, address, type and checksum need
    kOddLength,      // digits do not make whole bytes
    kBadDigit,       // a character that is not a hexadecimal digit
    kCountMismatch,  // the byte count disagrees with the record's length
};

enum class HexChecksum { kPresent, kAbsent };

// The checksum byte a writer appends: it makes the record's bytes sum to 0.
constexpr uint8_t HexChecksumFor(unsigned sumOfTheOtherBytes) {
    return static_cast<uint8_t>(0x100 - (sumOfTheOtherBytes & 0xFF));
}

// Decodes the digits of one record (the text after ':', nothing after the
// last digit). With HexChecksum::kAbsent the digits end after the data and
// the checksum is left unjudged. On kBadDigit, *badDigit (when given) is the
// index of the first pair holding a bad digit.
HexRecordStatus ParseHexRecord(std::string_view digits, HexRecord* record,
                               HexChecksum checksum = HexChecksum::kPresent,
                               std::size_t* badDigit = nullptr);

}  // namespace zt
