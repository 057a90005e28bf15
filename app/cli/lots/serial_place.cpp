#include "serial_place.h"

#include <charconv>
#include <cstdio>
#include <limits>

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

std::string CheckPlace(const SerialPlace& place,
                       const std::vector<BurnFileCheck::NvmWrite>& writes) {
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
    for (const BurnFileCheck::NvmWrite& w : writes)
        if (first <= w.last && w.first <= last)
            return "the serial's bytes " + RangeText(first, last) + " overlap burner image " +
                   std::to_string(w.image) + " of the burn file (\"" + w.header +
                   "\"), which writes " + RangeText(w.first, w.last);
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
