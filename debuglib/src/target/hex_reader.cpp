#include "target/hex_reader.h"

#include <optional>

#include "ordwin.h"

namespace ordwin {
namespace {

// Reads characters one at a time; past the end it reports nothing.
class Cursor {
  public:
    explicit Cursor(std::string_view text) : text_(text) {}

    std::optional<char> Next() {
        if (pos_ >= text_.size()) return std::nullopt;
        return text_[pos_++];
    }
    std::optional<char> Peek() const {
        if (pos_ >= text_.size()) return std::nullopt;
        return text_[pos_];
    }
    // The next n characters, or nothing when the text ends first.
    std::optional<std::string_view> Take(size_t n) {
        if (text_.size() - pos_ < n) {
            pos_ = text_.size();
            return std::nullopt;
        }
        std::string_view part = text_.substr(pos_, n);
        pos_ += n;
        return part;
    }

  private:
    std::string_view text_;
    size_t pos_ = 0;
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<uint32_t> HexValue(std::string_view digits) {
    uint32_t value = 0;
    for (char c : digits) {
        const int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        value = value << 4 | static_cast<uint32_t>(d);
    }
    return value;
}

bool SameType(std::string_view type, const char* wanted) {
    return HexDigit(type[0]) == HexDigit(wanted[0]) && HexDigit(type[1]) == HexDigit(wanted[1]);
}

struct Record {
    uint32_t count = 0;
    uint32_t address = 0;
    std::string_view type;
    std::string_view data;
};

// Steps b of the record layout: count, address, type, data, checksum and the
// line end. Nothing when the fields are cut short or are not hexadecimal.
std::optional<Record> ReadFields(Cursor& cursor) {
    Record record;
    const auto count = cursor.Take(2);
    const auto address = cursor.Take(4);
    const auto type = cursor.Take(2);
    if (!type) return std::nullopt;
    const auto n = HexValue(*count);
    const auto a = HexValue(*address);
    if (!n || !a || HexDigit((*type)[0]) < 0 || HexDigit((*type)[1]) < 0) return std::nullopt;
    const auto data = cursor.Take(2 * *n);
    if (!data) return std::nullopt;
    for (char c : *data) {
        if (HexDigit(c) < 0) return std::nullopt;
    }
    if (!cursor.Take(2)) return std::nullopt;  // checksum, not checked
    cursor.Next();                             // line end
    record.count = *n;
    record.address = *a;
    record.type = *type;
    record.data = *data;
    return record;
}

}  // namespace

uint32_t MapBank(uint16_t family, int bank, uint32_t address) {
    if (!(family == 7 || family == 32 || family == 42) || address <= 0x7FFF) return address;
    if (bank == 2) return address + 0x8000;
    if (bank == 3) return address + 0x10000;
    return address;
}

HexReadOutcome ReadIntelHex(std::string_view text, int bank, uint16_t family,
                            const HexReadCallbacks& callbacks) {
    Cursor cursor(text);
    HexReadOutcome outcome;
    uint32_t upper = 0;
    bool readFailure = false;
    bool endRecord = false;
    while (!readFailure) {
        // One stray character before the colon is tolerated (the second half
        // of a CR LF pair); a second one is a read failure after this record.
        std::optional<char> c = cursor.Next();
        if (c && *c != ':') {
            c = cursor.Next();
            if (c && *c != ':') {
                readFailure = true;
                if (cursor.Peek() != ':') break;
                c = cursor.Next();
            }
        }
        if (!c) break;  // the text ended without an end-of-file record
        const std::optional<Record> record = ReadFields(cursor);
        if (!record) {
            readFailure = true;
            break;
        }
        if (SameType(record->type, "01")) {
            endRecord = true;
            break;
        }
        if (SameType(record->type, "04")) {
            upper = 0;
            for (uint32_t i = 0; i < record->count && i < 2; ++i) {
                upper = upper << 8 | *HexValue(record->data.substr(2 * i, 2));
            }
            continue;
        }
        if (!SameType(record->type, "00")) continue;

        uint32_t load = record->address;
        if (upper != 0) load |= upper << 16;
        if (bank != -1) load = MapBank(family, bank, load);
        for (uint32_t i = 0; i < record->count; ++i) {
            const auto value = static_cast<uint8_t>(*HexValue(record->data.substr(2 * i, 2)));
            const int32_t stored = callbacks.store ? callbacks.store(load, value) : 0;
            if (stored < 0) {
                outcome.code = stored;
                outcome.loadAddress = load;
                return outcome;
            }
            if (bank != -1 && (load & 0xFFFF) == 0x7FFF) {
                load = MapBank(family, bank, (load & 0xFFFF0000u) + 0x8000);
            } else {
                ++load;
            }
        }
        outcome.loadAddress = load;
        if (callbacks.cancelled && callbacks.cancelled(static_cast<int>(2 * record->count + 12))) {
            outcome.code = ORDWIN_E_DOWNLOAD_CANCELLED;
            return outcome;
        }
    }
    // A file that ends without its end-of-file record may have been cut
    // short, so it is not taken as complete.
    if (readFailure || !endRecord) outcome.code = ORDWIN_E_READ_FAILED;
    return outcome;
}

}  // namespace ordwin
