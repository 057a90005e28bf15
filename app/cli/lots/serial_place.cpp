#include "serial_place.h"

#include <charconv>
#include <cstdio>
#include <limits>
#include <map>

#include "core/burn_file.h"
#include "zt/firmware_layout.h"
#include "zt/intel_hex_record.h"
#include "zt/zeltra_map.h"

namespace cindral::lots {

namespace {

constexpr int kMtpSize = 16;

std::optional<std::uint64_t> ParseNumber(std::string_view s) {
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
        base = 16;
    }
    std::uint64_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return v;
}

std::string Hex4(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(v));
    return text;
}

std::string RangeText(uint32_t first, uint32_t last) {
    return Hex4(first) + ".." + Hex4(last);
}

}  // namespace

std::optional<SerialPlace> ParsePlace(std::string_view text, Memory memory, std::string& why) {
    const char* what =
        memory == Memory::kMtp ? "--serial-mtp OFFSET:BYTES" : "--serial-nvm ADDR:BYTES";
    const std::size_t colon = text.find(':');
    const std::optional<std::uint64_t> address =
        colon == std::string_view::npos ? std::nullopt : ParseNumber(text.substr(0, colon));
    const std::optional<std::uint64_t> width =
        colon == std::string_view::npos ? std::nullopt : ParseNumber(text.substr(colon + 1));
    if (!address || !width) {
        why = std::string(what) + ": \"" + std::string(text) + "\" is not two numbers";
        return std::nullopt;
    }
    if (*width < 1 || *width > 8) {
        why = std::string(what) + ": the serial takes 1 to 8 bytes";
        return std::nullopt;
    }
    if (*address > 0xFFFF) {
        why = std::string(what) + ": address out of range";
        return std::nullopt;
    }
    return SerialPlace{memory, static_cast<uint32_t>(*address), static_cast<int>(*width)};
}

std::int64_t MaxSerial(int width) {
    if (width >= 8) return std::numeric_limits<std::int64_t>::max() - 1;
    return (std::int64_t{1} << (8 * width)) - 1;
}

std::string CheckRange(std::int64_t first, std::int64_t last, int width) {
    if (first < 0) return "the first serial cannot be negative";
    if (last < first) return "the last serial is below the first";
    const std::int64_t max = MaxSerial(width);
    if (last > max)
        return "serials up to " + std::to_string(last) + " do not fit in " + std::to_string(width) +
               " byte(s) (at most " + std::to_string(max) + ")";
    return {};
}

std::optional<std::vector<ImageWrites>> BurnFileWrites(std::string_view nbf, std::string& why) {
    using namespace zt::burner;
    std::vector<ImageWrites> out;
    int index = 0;
    for (const BurnSection& section : ParseBurnFile(nbf)) {
        if (!section.Complete()) {
            why = "the burn file is incomplete: a burner image is missing or cut short";
            return std::nullopt;
        }
        for (const BurnImage& image : section.images) {
            ++index;
            const std::string name = "image " + std::to_string(index) + " (" + image.header + ")";
            // The image's code memory, enough of it to read the table.
            std::map<uint32_t, uint8_t> code;
            std::size_t from = 0;
            int line = 0;
            while (from < image.records.size()) {
                std::size_t end = image.records.find('\r', from);
                if (end == std::string::npos) end = image.records.size();
                const std::string_view record =
                    std::string_view(image.records).substr(from, end - from);
                from = end + 1;
                ++line;
                zt::HexRecord r;
                if (record.size() < 1 ||
                    zt::ParseHexRecord(record.substr(1), &r) != zt::HexRecordStatus::kOk ||
                    !r.checksumOk) {
                    why = name + ": record " + std::to_string(line) + " is damaged";
                    return std::nullopt;
                }
                if (r.type == zt::kHexEndOfFile) break;
                if (r.type != zt::kHexData) continue;
                for (int i = 0; i < r.count; ++i) code[uint32_t{r.address} + i] = r.data[i];
            }
            const auto byte = [&](uint32_t at) -> std::optional<uint8_t> {
                const auto it = code.find(at);
                if (it == code.end()) return std::nullopt;
                return it->second;
            };
            const auto word = [&](uint32_t at) -> std::optional<uint32_t> {
                const auto hi = byte(at), lo = byte(at + 1);
                if (!hi || !lo) return std::nullopt;
                return (uint32_t{*hi} << 8) | *lo;
            };
            const auto count = word(kParamTable + 4);
            if (byte(kParamTable) != kSignature[0] || byte(kParamTable + 1) != kSignature[1] ||
                byte(kParamTable + 2) != kLayout || !count) {
                why = name + " has no burner parameter table: what it writes is unknown";
                return std::nullopt;
            }
            ImageWrites w;
            w.index = index;
            w.header = image.header;
            for (uint32_t s = 0; s < *count; ++s) {
                const uint32_t at = kParamTable + kParamHeaderSize + s * kParamSegmentSize;
                const auto dest = word(at), length = word(at + 2);
                if (!dest || !length) {
                    why = name + ": its parameter table is cut short";
                    return std::nullopt;
                }
                if (*length > 0) w.ranges.push_back({*dest, *dest + *length - 1});
            }
            out.push_back(std::move(w));
        }
    }
    if (out.empty()) {
        why = "the burn file holds no burner image";
        return std::nullopt;
    }
    return out;
}

std::string CheckPlace(const SerialPlace& place, const std::vector<ImageWrites>& writes) {
    const uint32_t first = place.address;
    const uint32_t last = place.address + static_cast<uint32_t>(place.width) - 1;
    if (place.memory == Memory::kMtp) {
        if (last >= kMtpSize)
            return "the serial's bytes " + std::to_string(first) + ".." + std::to_string(last) +
                   " lie outside the 16-byte MTP";
        return {};
    }
    if (first < zt::zeltra::kNvmUserMinBegin || last > zt::zeltra::kNvmUserLast)
        return "the serial's bytes " + RangeText(first, last) +
               " lie outside the NVM user region (" +
               RangeText(zt::zeltra::kNvmUserMinBegin, zt::zeltra::kNvmUserLast) + " at most)";
    for (const ImageWrites& image : writes)
        for (const ImageWrites::Range& r : image.ranges)
            if (first <= r.last && r.first <= last)
                return "the serial's bytes " + RangeText(first, last) + " overlap burner image " +
                       std::to_string(image.index) + " of the burn file (\"" + image.header +
                       "\"), which writes " + RangeText(r.first, r.last);
    return {};
}

std::vector<uint8_t> SerialBytes(std::int64_t serial, int width) {
    std::vector<uint8_t> out(static_cast<std::size_t>(width));
    auto v = static_cast<std::uint64_t>(serial);
    for (int i = width - 1; i >= 0; --i, v >>= 8)
        out[static_cast<std::size_t>(i)] = static_cast<uint8_t>(v);
    return out;
}

std::string DirectText(const SerialPlace& place, std::int64_t serial) {
    char at[16];
    std::snprintf(at, sizeof at, "@%04X", static_cast<unsigned>(place.address));
    std::string text = at;
    for (uint8_t b : SerialBytes(serial, place.width)) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", b);
        text += hex;
    }
    return text;
}

std::string PlaceText(const SerialPlace& place) {
    if (place.memory == Memory::kMtp)
        return "mtp:" + std::to_string(place.address) + ":" + std::to_string(place.width);
    return "nvm:" + Hex4(place.address) + ":" + std::to_string(place.width);
}

}  // namespace cindral::lots
