#include "intel_hex.h"

#include "zt/intel_hex_record.h"

namespace zsim {

bool ParseIntelHex(const std::string& text, std::vector<HexSegment>* segments, std::string* error) {
    segments->clear();
    uint32_t upper = 0;
    bool ended = false;
    size_t pos = 0;
    int line_no = 0;
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        std::string line =
            text.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
        pos = eol == std::string::npos ? text.size() : eol + 1;
        ++line_no;
        while (!line.empty() &&
               (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
            line.pop_back();
        }
        if (line.empty()) continue;
        auto fail = [&](const std::string& why) {
            *error = "line " + std::to_string(line_no) + ": " + why;
            return false;
        };
        if (ended) return fail("data after the end-of-file record");
        if (line[0] != ':') return fail("record does not start with ':'");
        zt::HexRecord rec;
        switch (zt::ParseHexRecord(std::string_view(line).substr(1), &rec)) {
            case zt::HexRecordStatus::kOk:
                break;
            case zt::HexRecordStatus::kTooShort:
            case zt::HexRecordStatus::kOddLength:
                return fail("record too short or odd length");
            case zt::HexRecordStatus::kBadDigit:
                return fail("not a hexadecimal digit");
            case zt::HexRecordStatus::kCountMismatch:
                return fail("byte count does not match the record length");
        }
        if (!rec.checksumOk) return fail("checksum mismatch");
        const size_t n = rec.count;
        const uint32_t offset = rec.address;
        const uint8_t type = rec.type;
        const uint8_t* data = rec.data;
        switch (type) {
            case zt::kHexData: {
                if (n == 0) break;
                uint32_t address = upper + offset;
                if (address + n > 0x10000) return fail("data beyond 64 KiB");
                if (!segments->empty()) {
                    HexSegment& last = segments->back();
                    if (last.address + last.bytes.size() == address) {
                        last.bytes.insert(last.bytes.end(), data, data + n);
                        break;
                    }
                }
                segments->push_back({address, std::vector<uint8_t>(data, data + n)});
                break;
            }
            case zt::kHexEndOfFile:
                if (n != 0) return fail("end-of-file record with data");
                ended = true;
                break;
            case 0x02:
            case 0x04: {
                if (n != 2) return fail("address record needs two data bytes");
                uint32_t v = uint32_t(data[0] << 8 | data[1]);
                upper = type == 0x02 ? v << 4 : v << 16;
                if (upper >= 0x10000) return fail("address record beyond 64 KiB");
                break;
            }
            case 0x03:
            case 0x05:
                break;
            default:
                return fail("unknown record type " + std::to_string(type));
        }
    }
    if (!ended) {
        *error = "no end-of-file record";
        return false;
    }
    return true;
}

}  // namespace zsim
