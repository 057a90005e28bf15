#include "zt/intel_hex_record.h"

namespace zt {

HexRecordStatus ParseHexRecord(std::string_view digits, HexRecord* record, HexChecksum checksum,
                               std::size_t* badDigit) {
    const bool checked = checksum == HexChecksum::kPresent;
    const std::size_t minimum = checked ? 10 : 8;
    if (digits.size() < minimum) return HexRecordStatus::kTooShort;
    if (digits.size() % 2 != 0) return HexRecordStatus::kOddLength;
    uint8_t bytes[4 + 255 + 1];
    const std::size_t n = digits.size() / 2;
    for (std::size_t i = 0; i < n; ++i) {
        const int b = HexByte(digits[2 * i], digits[2 * i + 1]);
        if (b < 0) {
            if (badDigit) *badDigit = 2 * i;
            return HexRecordStatus::kBadDigit;
        }
        // Bytes past the longest possible record only need to be digits.
        if (i < sizeof bytes) bytes[i] = static_cast<uint8_t>(b);
    }
    const std::size_t count = bytes[0];
    if (n != count + (checked ? 5 : 4)) return HexRecordStatus::kCountMismatch;
    record->count = bytes[0];
    record->address = static_cast<uint16_t>(bytes[1] << 8 | bytes[2]);
    record->type = bytes[3];
    for (std::size_t i = 0; i < count; ++i) record->data[i] = bytes[4 + i];
    if (checked) {
        uint8_t sum = 0;
        for (std::size_t i = 0; i < n; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
        record->checksum = bytes[n - 1];
        record->checksumOk = sum == 0;
    } else {
        record->checksum = 0;
        record->checksumOk = false;
    }
    return HexRecordStatus::kOk;
}

}  // namespace zt
