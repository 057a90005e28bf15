#include "readers.h"

#include <cerrno>
#include <cstring>

#include "failure.h"
#include "zt/intel_hex_record.h"
#include "zt/platform/files.h"

namespace marlspin {
namespace {

using zt::HexDigit;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string_view SkipBom(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    return text;
}

// Splits text into lines at LF; the callback gets each line and its number.
template <typename F>
void ForEachLine(std::string_view text, F&& f) {
    std::size_t pos = 0;
    std::size_t number = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        std::size_t end = nl == std::string_view::npos ? text.size() : nl;
        if (!f(text.substr(pos, end - pos), ++number)) return;
        pos = end + 1;
    }
}

}  // namespace

std::string Printable(std::string_view text, std::size_t max) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == max) {
            out += "...";
            break;
        }
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F)
            out += static_cast<char>(c);
        else
            out += Format("\\x%02X", c);
    }
    return out;
}

void ReadIntelHex(std::string_view text, uint64_t base, PlacedBytes& out) {
    uint64_t linear_base = 0;   // type 04
    uint64_t segment_base = 0;  // type 02
    bool segmented = false;
    bool ended = false;
    std::size_t last_line = 0;

    ForEachLine(SkipBom(text), [&](std::string_view raw, std::size_t number) {
        last_line = number;
        std::string_view line = Trim(raw);
        if (line.empty()) return true;
        if (line[0] != ':')
            throw InputError(number,
                             "'" + Printable(line) + "' is not a record (records start with ':')");
        std::string_view digits = line.substr(1);
        if (digits.size() < 10) throw InputError(number, "record too short (truncated?)");
        if (digits.size() % 2 != 0)
            throw InputError(number, "odd number of hex digits in the record");
        if (digits.size() > 2 * (255 + 5)) throw InputError(number, "record too long");
        zt::HexRecord rec;
        std::size_t bad = 0;
        switch (zt::ParseHexRecord(digits, &rec, zt::HexChecksum::kPresent, &bad)) {
            case zt::HexRecordStatus::kOk:
                break;
            case zt::HexRecordStatus::kBadDigit:
                throw InputError(number,
                                 "invalid hex digit in '" + Printable(digits.substr(bad, 2)) + "'");
            default:
                throw InputError(number,
                                 Format("byte count 0x%02X does not match the %zu data bytes of "
                                        "the record (truncated?)",
                                        zt::HexByte(digits[0], digits[1]), digits.size() / 2 - 5));
        }
        const unsigned count = rec.count;
        if (!rec.checksumOk) {
            uint8_t sum =
                static_cast<uint8_t>(rec.count + (rec.address >> 8) + rec.address + rec.type);
            for (unsigned i = 0; i < count; ++i) sum = static_cast<uint8_t>(sum + rec.data[i]);
            const uint8_t expected = static_cast<uint8_t>(0x100 - sum);
            throw InputError(number, Format("checksum 0x%02X is wrong, expected 0x%02X",
                                            rec.checksum, expected));
        }
        const unsigned address = rec.address;
        const unsigned type = rec.type;
        auto want = [&](unsigned n) {
            if (count != n)
                throw InputError(number, Format("record type 0x%02X needs %u data bytes, not %u",
                                                type, n, count));
        };
        switch (type) {
            case 0x00:
                for (unsigned i = 0; i < count; ++i) {
                    uint64_t at = segmented ? segment_base + ((address + i) & 0xFFFF)
                                            : linear_base + address + i;
                    out.Put(base + at, rec.data[i]);
                }
                break;
            case 0x01:
                want(0);
                ended = true;
                return false;
            case 0x02:
                want(2);
                segment_base = static_cast<uint64_t>(rec.data[0] << 8 | rec.data[1]) << 4;
                segmented = true;
                break;
            case 0x04:
                want(2);
                linear_base = static_cast<uint64_t>(rec.data[0] << 8 | rec.data[1]) << 16;
                segmented = false;
                break;
            case 0x03:
            case 0x05:  // start addresses mean nothing for NVM contents
                want(4);
                break;
            default:
                throw InputError(number, Format("unknown record type 0x%02X", type));
        }
        return true;
    });
    if (!ended) throw InputError(last_line, "no end-of-file record (file truncated?)");
}

void ReadMemText(std::string_view text, uint64_t base, PlacedBytes& out, uint64_t limit) {
    uint64_t address = base;
    ForEachLine(SkipBom(text), [&](std::string_view line, std::size_t number) {
        std::size_t comment = line.find("//");
        if (comment != std::string_view::npos) line = line.substr(0, comment);
        std::size_t pos = 0;
        while (pos < line.size()) {
            while (pos < line.size() && IsBlank(line[pos])) ++pos;
            std::size_t start = pos;
            while (pos < line.size() && !IsBlank(line[pos])) ++pos;
            if (start == pos) break;
            std::string_view token = line.substr(start, pos - start);
            if (token[0] == '@') {
                std::string_view digits = token.substr(1);
                uint64_t value = 0;
                bool ok = !digits.empty() && digits.size() <= 8;
                for (char c : digits) {
                    int v = HexDigit(c);
                    if (v < 0) ok = false;
                    value = value << 4 | static_cast<uint64_t>(v < 0 ? 0 : v);
                }
                if (!ok)
                    throw InputError(number, "bad address '" + Printable(token) +
                                                 "' (an address is '@' and 1 to 8 hex digits)");
                address = base + value;
                continue;
            }
            int hi = HexDigit(token[0]);
            int lo = token.size() == 2 ? HexDigit(token[1]) : 0;
            if (token.size() > 2 || hi < 0 || lo < 0)
                throw InputError(
                    number, "bad byte '" + Printable(token) + "' (a byte is 1 or 2 hex digits)");
            if (address >= limit)
                throw InputError(number, Format("address 0x%llX is outside 0x0000..0x%llX",
                                                static_cast<unsigned long long>(address),
                                                static_cast<unsigned long long>(limit - 1)));
            out.Put(address, static_cast<uint8_t>(token.size() == 2 ? hi << 4 | lo : hi));
            ++address;
        }
        return true;
    });
}

std::optional<uint32_t> ParseAddress(std::string_view text) {
    uint64_t value = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::string_view digits = text.substr(2);
        if (digits.size() > 8) return std::nullopt;
        for (char c : digits) {
            int v = HexDigit(c);
            if (v < 0) return std::nullopt;
            value = value << 4 | static_cast<uint64_t>(v);
        }
        return static_cast<uint32_t>(value);
    }
    if (text.empty() || text.size() > 10) return std::nullopt;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > 0xFFFFFFFFu) return std::nullopt;
    return static_cast<uint32_t>(value);
}

std::string ReadInputFile(const std::string& path) {
    std::string data;
    zt::platform::ReadFailure failure;
    if (zt::platform::ReadRegularFile(path, kMaxInputSize, &data, &failure)) return data;
    using Kind = zt::platform::ReadFailure::Kind;
    switch (failure.kind) {
        case Kind::kMissing:
        case Kind::kOpen:
            throw InputError(0, Format("cannot open it: %s", failure.reason.c_str()));
        case Kind::kNotRegular:
            throw InputError(0, "not a regular file");
        case Kind::kTooLarge:
            break;
        case Kind::kRead:
            throw InputError(0, Format("cannot read it: %s", failure.reason.c_str()));
    }
    throw InputError(0, Format("larger than %zu bytes", kMaxInputSize));
}

std::string BaseName(const std::string& path) {
    std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace marlspin
