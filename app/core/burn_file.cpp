#include "burn_file.h"

#include <limits>
#include <utility>

#include "text.h"
#include "zt/firmware_layout.h"
#include "zt/intel_hex_record.h"
#include "zt/zeltra_map.h"

namespace cindral {

namespace {

class LineReader {
  public:
    explicit LineReader(std::string_view data) : data_(data) {}
    bool AtEnd() const { return pos_ >= data_.size(); }
    // The 1-based number of the line Next() returned last.
    std::size_t Line() const { return line_; }
    std::string_view Next() {
        ++line_;
        std::size_t start = pos_;
        while (pos_ < data_.size() && data_[pos_] != '\r' && data_[pos_] != '\n') ++pos_;
        std::string_view line = data_.substr(start, pos_ - start);
        if (pos_ < data_.size()) {
            if (data_[pos_] == '\r' && pos_ + 1 < data_.size() && data_[pos_ + 1] == '\n') ++pos_;
            ++pos_;
        }
        return line;
    }

  private:
    std::string_view data_;
    std::size_t pos_ = 0;
    std::size_t line_ = 0;
};

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// ":LLAAAATT..." with record type 01.
bool IsEndRecord(std::string_view record) {
    return record.size() >= 9 && record[7] == '0' && record[8] == '1';
}

}  // namespace

bool BurnSection::Complete() const {
    if (count <= 0) return true;
    if (static_cast<long long>(images.size()) < count) return false;
    for (const BurnImage& image : images)
        if (!image.hasEndRecord) return false;
    return true;
}

long long ParseCountValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    constexpr long long kMax = std::numeric_limits<long long>::max();
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        int digit = text[i] - '0';
        if (value > (kMax - digit) / 10) {
            value = kMax;
            break;
        }
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

std::vector<BurnSection> ParseBurnFile(std::string_view data) {
    std::vector<BurnSection> sections;
    LineReader reader(data);
    while (!reader.AtEnd()) {
        std::string_view line = reader.Next();
        if (!StartsWith(line, "[Burn]")) {
            if (!sections.empty() && StartsWith(line, ":") && sections.back().strayRecordLine == 0)
                sections.back().strayRecordLine = reader.Line();
            continue;
        }
        BurnSection section;
        section.line = reader.Line();
        std::string_view countLine = reader.AtEnd() ? std::string_view() : reader.Next();
        std::size_t eq = countLine.find('=');
        std::string_view value =
            eq == std::string_view::npos ? countLine : countLine.substr(eq + 1);
        section.countGiven = !value.empty();
        section.countText = std::string(value);
        section.count = ParseCountValue(value);
        if (!reader.AtEnd()) reader.Next();

        // The line that ends one image's records is the next image's header.
        std::string_view header;
        std::size_t headerLine = 0;
        bool haveHeader = false;
        for (long long i = 1; i <= section.count; ++i) {
            if (i == 1) {
                if (reader.AtEnd()) break;
                header = reader.Next();
                headerLine = reader.Line();
                haveHeader = true;
            }
            if (!haveHeader) break;
            BurnImage image;
            image.header = std::string(header);
            image.headerLine = headerLine;
            haveHeader = false;
            while (!reader.AtEnd()) {
                std::string_view record = reader.Next();
                if (!StartsWith(record, ":")) {
                    header = record;
                    headerLine = reader.Line();
                    haveHeader = true;
                    break;
                }
                image.records.append(record);
                image.records.push_back('\r');
                image.recordLines.push_back(reader.Line());
                if (IsEndRecord(record)) image.hasEndRecord = true;
            }
            section.images.push_back(std::move(image));
        }
        sections.push_back(std::move(section));
    }
    return sections;
}

namespace {

namespace burner = zt::burner;

constexpr uint32_t kCodeRamSize = 0x8000;

// An image's code RAM as its records load it.
struct LoadedImage {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kCodeRamSize, 0);
    std::vector<bool> present = std::vector<bool>(kCodeRamSize, false);
    bool Has(uint32_t from, uint32_t n) const {
        if (from > kCodeRamSize || n > kCodeRamSize - from) return false;
        for (uint32_t a = from; a < from + n; ++a)
            if (!present[a]) return false;
        return true;
    }
    uint32_t Word(uint32_t at) const { return (uint32_t{bytes[at]} << 8) | bytes[at + 1]; }
};

const char* RecordFault(zt::HexRecordStatus status) {
    switch (status) {
        case zt::HexRecordStatus::kTooShort:
            return "record too short";
        case zt::HexRecordStatus::kOddLength:
            return "record with an odd number of digits";
        case zt::HexRecordStatus::kBadDigit:
            return "record with a character that is not a hexadecimal digit";
        case zt::HexRecordStatus::kCountMismatch:
            return "record whose byte count disagrees with its length";
        case zt::HexRecordStatus::kOk:
            break;
    }
    return "record";
}

// The records of one image into code RAM; the fault, or empty.
std::string LoadImage(const BurnImage& image, LoadedImage& out) {
    std::size_t from = 0;
    bool ended = false;
    for (std::size_t n = 0; n < image.recordLines.size(); ++n) {
        const std::size_t to = image.records.find('\r', from);
        const std::string_view text = std::string_view(image.records).substr(from, to - from);
        from = to + 1;
        const std::size_t line = image.recordLines[n];
        if (ended) return Format("line %zu: a record after the end record", line);
        zt::HexRecord record;
        const zt::HexRecordStatus status = zt::ParseHexRecord(text.substr(1), &record);
        if (status != zt::HexRecordStatus::kOk)
            return Format("line %zu: %s", line, RecordFault(status));
        if (!record.checksumOk) return Format("line %zu: record checksum is wrong", line);
        if (record.type == zt::kHexEndOfFile) {
            if (record.count != 0) return Format("line %zu: end record with data", line);
            ended = true;
            continue;
        }
        if (record.type != zt::kHexData)
            return Format("line %zu: record type %02X is not used by burner images", line,
                          record.type);
        if (uint32_t{record.address} + record.count > kCodeRamSize)
            return Format("line %zu: data beyond code RAM", line);
        for (uint32_t i = 0; i < record.count; ++i) {
            out.bytes[record.address + i] = record.data[i];
            out.present[record.address + i] = true;
        }
    }
    if (!ended) return "incomplete: it has no end record";
    return {};
}

// The burner's parameter table and the data it names; the fault, or empty.
// Collects the bytes the image burns at the user-region reference CRC.
std::string CheckParameters(const LoadedImage& image,
                            std::optional<std::array<uint8_t, 4>>& userCrc,
                            std::vector<std::pair<uint32_t, uint32_t>>& ranges) {
    if (!image.Has(burner::kEntry, 1)) return "no burner code at its entry address";
    const uint32_t table = burner::kParamTable;
    if (!image.Has(table, burner::kParamHeaderSize))
        return Format("no parameter table at 0x%04X", static_cast<unsigned>(table));
    if (image.bytes[table] != burner::kSignature[0] ||
        image.bytes[table + 1] != burner::kSignature[1] ||
        image.bytes[table + 2] != burner::kLayout)
        return "its parameter table has a wrong signature or layout";
    const uint8_t mode = image.bytes[table + 3];
    if (mode != burner::kModeStrict && mode != burner::kModeLogicOr)
        return Format("its parameter table names an unknown burn mode %02X", mode);
    const uint32_t segments = image.Word(table + 4);
    if (segments == 0) return "its parameter table names no segment";
    const uint32_t tableEnd =
        table + burner::kParamHeaderSize + burner::kParamSegmentSize * segments;
    if (!image.Has(table + burner::kParamHeaderSize, tableEnd - table - burner::kParamHeaderSize))
        return "its parameter table is cut short";
    uint32_t data = image.Word(table + 6);
    if (data < tableEnd) return "its segment data overlaps the parameter table";
    std::array<int, 4> crcSeen{-1, -1, -1, -1};
    std::array<uint8_t, 4> crc{};
    for (uint32_t s = 0; s < segments; ++s) {
        const uint32_t at = table + burner::kParamHeaderSize + burner::kParamSegmentSize * s;
        const uint32_t destination = image.Word(at);
        const uint32_t length = image.Word(at + 2);
        if (length == 0 || length > burner::kMaxSegment)
            return Format("segment %u has a length of %u bytes", s + 1, length);
        if (destination + length > zt::zeltra::kNvmSize)
            return Format("segment %u runs past the end of NVM", s + 1);
        if (!image.Has(data, length)) return Format("the data of segment %u is missing", s + 1);
        ranges.emplace_back(destination, destination + length - 1);
        for (uint32_t i = 0; i < 4; ++i) {
            const uint32_t nvm = zt::zeltra::kBootUserCrc + i;
            if (nvm >= destination && nvm < destination + length) {
                crc[i] = image.bytes[data + (nvm - destination)];
                crcSeen[i] = 1;
            }
        }
        data += length;
    }
    if (crcSeen == std::array<int, 4>{1, 1, 1, 1}) userCrc = crc;
    return {};
}

bool IsPlainNumber(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
    if (b == e || e - b > 9) return false;
    for (std::size_t i = b; i < e; ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

}  // namespace

BurnFileCheck CheckBurnFile(std::string_view data, bool direct) {
    BurnFileCheck check;
    const long long limit = direct ? 9 : 99;
    const std::vector<BurnSection> sections = ParseBurnFile(data);
    auto damaged = [&check](std::string why) {
        check.verdict = BurnFileCheck::Verdict::kDamaged;
        check.why = std::move(why);
        return check;
    };
    for (const BurnSection& section : sections) {
        if (section.count > limit) {
            check.verdict = BurnFileCheck::Verdict::kTooManyImages;
            check.why = Format("more than %lld images", limit);
            return check;
        }
    }
    for (const BurnSection& section : sections) {
        if (!IsPlainNumber(section.countText))
            return damaged(Format("line %zu: the image count is not a number", section.line + 1));
        const long long present = static_cast<long long>(section.images.size());
        if (present < section.count)
            return damaged(
                Format("incomplete: the count at line %zu names %lld images, %lld "
                       "are present",
                       section.line + 1, section.count, present));
        if (section.strayRecordLine != 0)
            return damaged(
                Format("line %zu: records after the %lld images the count at line "
                       "%zu names",
                       section.strayRecordLine, section.count, section.line + 1));
        for (std::size_t i = 0; i < section.images.size(); ++i) {
            const BurnImage& image = section.images[i];
            LoadedImage loaded;
            std::vector<std::pair<uint32_t, uint32_t>> ranges;
            std::string fault = LoadImage(image, loaded);
            if (fault.empty()) fault = CheckParameters(loaded, check.userCrcReference, ranges);
            if (!fault.empty())
                return damaged(
                    Format("image %zu (line %zu): %s", i + 1, image.headerLine, fault.c_str()));
            for (const auto& [first, last] : ranges)
                check.writes.push_back(
                    {check.images + static_cast<long long>(i) + 1, image.header, first, last});
        }
        check.images += present;
    }
    if (check.images == 0) {
        check.verdict = BurnFileCheck::Verdict::kNoImages;
        check.why = "no burner image";
        return check;
    }
    check.verdict = BurnFileCheck::Verdict::kOk;
    return check;
}

}  // namespace cindral
