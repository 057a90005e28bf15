#include "mtp_content.h"

#include <algorithm>

#include "text.h"
#include "zt/firmware_layout.h"
#include "zt/hex_digit.h"
#include "zt/intel_hex_record.h"

namespace cindral::mtp {

namespace {

// Wide characters outside ASCII are no digits; narrowing them first would
// turn some into one.
int HexValue(char32_t c) {
    return c < 0x80 ? zt::HexDigit(static_cast<char>(c)) : -1;
}

char16_t Upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// The byte of the two hex digits at s[at], or -1.
template <typename Text>
int HexByte(const Text& s, std::size_t at) {
    if (at + 2 > s.size()) return -1;
    const int hi = HexValue(static_cast<char32_t>(s[at]));
    const int lo = HexValue(static_cast<char32_t>(s[at + 1]));
    return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

bool AllHex(std::u16string_view digits) {
    return digits.size() == kDigits &&
           std::all_of(digits.begin(), digits.end(), [](char16_t c) { return HexValue(c) >= 0; });
}

// Sets the two characters after the data of the record starting at s[colon] to
// its checksum, in lower case.
bool RenewChecksum(std::string& s, std::size_t colon) {
    const int count = HexByte(s, colon + 1);
    if (count < 0) return false;
    const std::size_t end = colon + 1 + 2 * (4 + static_cast<std::size_t>(count));
    if (end + 2 > s.size()) return false;
    unsigned sum = 0;
    for (std::size_t at = colon + 1; at < end; at += 2) {
        const int b = HexByte(s, at);
        if (b < 0) return false;
        sum += static_cast<unsigned>(b);
    }
    s.replace(end, 2, Format("%02x", zt::HexChecksumFor(sum)));
    return true;
}

}  // namespace

std::u16string BlankContent() {
    return std::u16string(kPositions, u' ');
}

std::u16string FormatContent(const Bytes& b) {
    return WidenText(
        Format("%02X %02X %02X %02X  %02X %02X %02X %02X  %02X %02X %02X %02X  "
               "%02X %02X %02X %02X",
               b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12],
               b[13], b[14], b[15]));
}

std::u16string LayoutDigits(std::u16string_view digits) {
    std::optional<Bytes> bytes = ParseDigits(digits);
    return bytes ? FormatContent(*bytes) : std::u16string();
}

std::u16string ContentDigits(std::u16string_view text) {
    std::u16string digits;
    for (char16_t c : text)
        if (c != u' ' && digits.size() < kDigits) digits.push_back(c);
    return digits;
}

std::optional<Bytes> ParseDigits(std::u16string_view digits) {
    if (!AllHex(digits)) return std::nullopt;
    Bytes bytes{};
    for (int i = 0; i < kBytes; ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<uint8_t>(HexByte(digits, 2u * i));
    return bytes;
}

PatchError PatchWriter(std::string& writer, std::u16string_view digits, uint8_t offset,
                       uint8_t length) {
    if (!AllHex(digits)) return PatchError::kBadContent;
    // Only the address field of the parameter record is taken: any other match
    // would overwrite program code.
    static_assert(zt::mtp_writer::kParamRecord == 0x0100 && zt::mtp_writer::kParamData == 2);
    const std::size_t at = writer.find("010000");
    if (at == std::string::npos || at < 3 || writer[at - 3] != ':' ||
        HexByte(writer, at - 2) != zt::mtp_writer::kParamRecordSize)
        return PatchError::kNoParameterRecord;
    std::string patched = writer;
    patched.replace(at + 6, 4, Format("%02X%02X", offset, length));
    patched.replace(at + 10, kDigits, NarrowText(digits, kDigits + 1));
    for (std::size_t i = at + 10; i < at + 10 + kDigits; ++i)
        patched[i] = static_cast<char>(Upper(static_cast<char16_t>(patched[i])));
    if (!RenewChecksum(patched, at - 3)) return PatchError::kNoParameterRecord;
    writer = std::move(patched);
    return PatchError::kNone;
}

PatchError PatchSaveTemplate(std::string& saveTemplate, std::u16string_view digits) {
    if (!AllHex(digits)) return PatchError::kBadContent;
    const std::size_t colon = saveTemplate.find(":1");
    if (colon == std::string::npos || colon + 9 + kDigits + 2 > saveTemplate.size())
        return PatchError::kNoParameterRecord;
    std::string patched = saveTemplate;
    for (std::size_t i = 0; i < kDigits; ++i)
        patched[colon + 9 + i] = static_cast<char>(Upper(digits[i]));
    if (!RenewChecksum(patched, colon)) return PatchError::kNoParameterRecord;
    saveTemplate = std::move(patched);
    return PatchError::kNone;
}

std::u16string PatchErrorText(PatchError error) {
    switch (error) {
        case PatchError::kBadContent:
            return u"The MTP content must be 16 bytes of two hex digits each.\n";
        case PatchError::kNoParameterRecord:
            return u"The MTP writer program has no parameter record.\n";
        case PatchError::kNone:
            break;
    }
    return {};
}

std::optional<std::u16string> LoadDigitsFromHex(std::string_view text,
                                                std::u16string_view currentDigits) {
    std::u16string digits(currentDigits);
    // An empty file sets nothing: writing it would only rewrite what the chip holds.
    if (text.empty()) return std::nullopt;
    if (!AllHex(digits) || text[0] != ':' || text.find(';', 1) != std::string_view::npos)
        return std::nullopt;
    std::size_t colon = 0;
    while (true) {
        // Count, address high, address low; the type is not examined.
        const int count = HexByte(text, colon + 1);
        const int high = HexByte(text, colon + 3);
        const int low = HexByte(text, colon + 5);
        if (count < 0 || high < 0 || low < 0 || colon + 9 > text.size()) return std::nullopt;
        if (count > kBytes || high != 0 || low > 15 || count + 2 * low > 35) return std::nullopt;
        // A record running past the last byte would be written in part.
        if (low + count > kBytes) return std::nullopt;
        const std::size_t data = colon + 9;
        unsigned sum = static_cast<unsigned>(count + high + low);
        const int type = HexByte(text, colon + 7);
        if (type < 0) return std::nullopt;
        sum += static_cast<unsigned>(type);
        for (int k = 0; k <= count; ++k) {
            const std::size_t at = data + 2 * static_cast<std::size_t>(k);
            const int byte = HexByte(text, at);
            if (byte < 0) return std::nullopt;
            sum += static_cast<unsigned>(byte);
        }
        if ((sum & 0xFF) != 0) return std::nullopt;  // the checksum byte included
        for (int k = 0; k < count; ++k) {
            const std::size_t at = data + 2 * static_cast<std::size_t>(k);
            const std::size_t to = 2 * static_cast<std::size_t>(low + k);
            digits[to] = Upper(static_cast<char16_t>(text[at]));
            digits[to + 1] = Upper(static_cast<char16_t>(text[at + 1]));
        }
        const std::size_t end = data + 2 * static_cast<std::size_t>(count);
        const std::size_t next = text.find(':', end);
        if (next == std::string_view::npos) break;
        if (next - end >= 10) return std::nullopt;
        colon = next;
    }
    return digits;
}

Edit ApplyEdit(std::u16string_view reference, std::u16string_view edited, int caret) {
    std::u16string text(edited);
    for (char16_t& c : text) c = Upper(c);
    const std::u16string ref(reference);
    const int size = static_cast<int>(ref.size());
    caret = std::clamp(caret, 0, static_cast<int>(text.size()));
    auto skipSpaces = [&](Edit e) {
        while (e.caret < static_cast<int>(e.text.size()) && e.caret > 0 &&
               e.text[static_cast<std::size_t>(e.caret)] == u' ')
            ++e.caret;
        return e;
    };
    const int grown = static_cast<int>(text.size()) - size;
    if (grown == -1) return {ref, std::min(caret, size)};  // put back what was deleted
    if (grown != 1) {
        if (grown != 0) return {ref, std::min(caret, size)};
        // Same length: digits typed over digits stay, anything else is put back.
        for (int i = 0; i < size; ++i) {
            char16_t& c = text[static_cast<std::size_t>(i)];
            if (c != ref[static_cast<std::size_t>(i)] &&
                (ref[static_cast<std::size_t>(i)] == u' ' || HexValue(c) < 0))
                c = ref[static_cast<std::size_t>(i)];
        }
        return skipSpaces({text, caret});
    }
    // One character inserted: where the caret says, when the rest agrees.
    int at = caret - 1;
    const auto agrees = [&](int p) {
        return p >= 0 &&
               text.compare(0, static_cast<std::size_t>(p), ref, 0, static_cast<std::size_t>(p)) ==
                   0 &&
               text.compare(static_cast<std::size_t>(p) + 1, std::u16string::npos, ref,
                            static_cast<std::size_t>(p)) == 0;
    };
    if (!agrees(at)) {
        at = 0;
        while (at < size && text[static_cast<std::size_t>(at)] == ref[static_cast<std::size_t>(at)])
            ++at;
    }
    const char16_t typed = text[static_cast<std::size_t>(at)];
    int target = at;
    while (target < size && ref[static_cast<std::size_t>(target)] == u' ') ++target;
    if (HexValue(typed) < 0 || target >= size) return {ref, at};
    Edit e{ref, target + 1};
    e.text[static_cast<std::size_t>(target)] = typed;
    return skipSpaces(e);
}

void MarkChanged(std::u16string_view reference, std::u16string_view text, ChangedBytes& changed) {
    auto at = [](std::u16string_view s, int p) {
        return p < static_cast<int>(s.size()) ? s[static_cast<std::size_t>(p)] : u'\0';
    };
    for (int i = 0; i < kBytes; ++i) {
        const int p = BytePosition(i);
        if (at(reference, p) != at(text, p) || at(reference, p + 1) != at(text, p + 1))
            changed[static_cast<std::size_t>(i)] = true;
    }
}

std::u16string ResultMessage(uint8_t code) {
    switch (code) {
        case zt::mtp_writer::kResultBadOffset:
            return u"Bad offset parameter.";
        case zt::mtp_writer::kResultBadLength:
            return u"Bad length parameter.";
        case zt::mtp_writer::kResultProgramming:
            return u"Programming error.";
        case zt::mtp_writer::kResultVerify:
            return u"Verify error";
        case zt::mtp_writer::kResultSuccess:
            return u"Write was successful.";
        default:
            return WidenText(Format("Undefined Burn Failure: 0x%02x", code));
    }
}

}  // namespace cindral::mtp
