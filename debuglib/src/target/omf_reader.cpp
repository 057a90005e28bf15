#include "target/omf_reader.h"

#include <optional>

#include "ordwin.h"

namespace ordwin {
namespace {

struct RawRecord {
    uint8_t type = 0;
    std::string_view payload;
};

// Walks the records; stops at the end of the file or at a record that does
// not fit in it.
class RecordWalker {
  public:
    explicit RecordWalker(std::string_view file) : file_(file) {}

    // Nothing at the clean end; truncated() tells a cut record from it.
    std::optional<RawRecord> Next() {
        if (pos_ == file_.size()) return std::nullopt;
        if (file_.size() - pos_ < 3) {
            truncated_ = true;
            return std::nullopt;
        }
        RawRecord record;
        record.type = Byte(pos_);
        const size_t length = Byte(pos_ + 1) | static_cast<size_t>(Byte(pos_ + 2)) << 8;
        if (file_.size() - pos_ - 3 < length) {
            truncated_ = true;
            return std::nullopt;
        }
        record.payload = file_.substr(pos_ + 3, length);
        pos_ += 3 + length;
        return record;
    }
    bool truncated() const { return truncated_; }

  private:
    uint8_t Byte(size_t at) const { return static_cast<uint8_t>(file_[at]); }

    std::string_view file_;
    size_t pos_ = 0;
    bool truncated_ = false;
};

uint8_t At(std::string_view payload, size_t i) {
    return static_cast<uint8_t>(payload[i]);
}

uint32_t Le16(std::string_view payload, size_t i) {
    return At(payload, i) | static_cast<uint32_t>(At(payload, i + 1)) << 8;
}

uint32_t Le32(std::string_view payload, size_t i) {
    return Le16(payload, i) | Le16(payload, i + 2) << 16;
}

OmfSegment Segment(uint32_t address, std::string_view payload, size_t from, size_t length) {
    OmfSegment segment;
    segment.address = address;
    segment.bytes.reserve(length);
    for (size_t i = 0; i < length; ++i) segment.bytes.push_back(At(payload, from + i));
    return segment;
}

constexpr uint8_t kFirstContent = 0x06;
constexpr uint8_t kFirstModuleEnd = 0x04;
constexpr uint8_t kFirstBankLayout = 0x2E;
constexpr uint8_t kSecondContent = 0x94;
constexpr uint8_t kSecondModuleEnd = 0xC6;

int32_t ParseFirst(std::string_view file, std::vector<OmfSegment>* segments) {
    RecordWalker walker(file);
    bool banked = false;
    while (const auto record = walker.Next()) {
        if (record->type == kFirstModuleEnd) return 0;
        if (record->type == kFirstBankLayout) {
            banked = true;
            continue;
        }
        if (record->type != kFirstContent) continue;
        // Segment byte, offset, data, checksum.
        if (record->payload.size() < 4) return ORDWIN_E_READ_FAILED;
        const uint8_t segmentId = At(record->payload, 0);
        const uint32_t offset = Le16(record->payload, 1);
        uint32_t address = offset;
        if (banked && segmentId > 15) {
            address = (segmentId - 16u) * 0x8000u + (offset & 0x7FFF);
        } else if (banked && segmentId >= 1) {
            address = segmentId * 0x8000u + (offset & 0x7FFF);
        }
        segments->push_back(Segment(address, record->payload, 3, record->payload.size() - 4));
    }
    return walker.truncated() ? ORDWIN_E_READ_FAILED : 0;
}

int32_t ParseSecond(std::string_view file, std::vector<OmfSegment>* segments) {
    RecordWalker walker(file);
    while (const auto record = walker.Next()) {
        if (record->type == kSecondModuleEnd) return 0;
        if (record->type != kSecondContent) continue;
        // Two words, address space, one byte, 32-bit address, data, checksum.
        if (record->payload.size() < 11) return ORDWIN_E_READ_FAILED;
        const uint8_t space = At(record->payload, 4);
        const uint32_t full = Le32(record->payload, 6);
        // Space 2 holds banked code, whose addresses run past 16 bits.
        const uint32_t address = space == 2 ? full : (full & 0xFFFF);
        segments->push_back(Segment(address, record->payload, 10, record->payload.size() - 11));
    }
    return walker.truncated() ? ORDWIN_E_READ_FAILED : 0;
}

}  // namespace

OmfKind DetectOmf(std::string_view file) {
    // Each record's type is looked at before its length: a file whose first
    // telling record is cut short is still OMF, and its reader says it is corrupt.
    size_t pos = 0;
    while (pos < file.size()) {
        const uint8_t type = static_cast<uint8_t>(file[pos]);
        if (type == 0x02 || type == 0x40) return OmfKind::kFirst;
        if (type == 0xC4 || type == 0xC8) return OmfKind::kSecond;
        if (file.size() - pos < 3) break;
        const size_t length = static_cast<uint8_t>(file[pos + 1]) |
                              static_cast<size_t>(static_cast<uint8_t>(file[pos + 2])) << 8;
        if (file.size() - pos - 3 < length) break;
        pos += 3 + length;
    }
    return OmfKind::kNotOmf;
}

int32_t ParseOmf(std::string_view file, OmfKind kind, std::vector<OmfSegment>* segments) {
    segments->clear();
    switch (kind) {
        case OmfKind::kFirst:
            return ParseFirst(file, segments);
        case OmfKind::kSecond:
            return ParseSecond(file, segments);
        case OmfKind::kNotOmf:
            break;
    }
    return static_cast<int32_t>(0x81000037);
}

}  // namespace ordwin
