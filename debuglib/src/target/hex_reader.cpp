#include "target/hex_reader.h"

#include <optional>

#include "devicedb/device_database.h"
#include "ordwin.h"
#include "zt/intel_hex_record.h"

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

// Count, address, type, data, checksum and the line end. Nothing when the
// fields are cut short or are not hexadecimal; the checksum is not checked.
std::optional<zt::HexRecord> ReadFields(Cursor& cursor) {
    const auto header = cursor.Take(8);
    if (!header) return std::nullopt;
    const int count = zt::HexByte((*header)[0], (*header)[1]);
    if (count < 0) return std::nullopt;
    const auto data = cursor.Take(2 * static_cast<size_t>(count));
    if (!data) return std::nullopt;
    zt::HexRecord record;
    const std::string_view digits(header->data(), header->size() + data->size());
    if (zt::ParseHexRecord(digits, &record, zt::HexChecksum::kAbsent) != zt::HexRecordStatus::kOk)
        return std::nullopt;
    if (!cursor.Take(2)) return std::nullopt;  // checksum, not checked
    cursor.Next();                             // line end
    return record;
}

}  // namespace

uint32_t MapBank(uint16_t family, int bank, uint32_t address) {
    const DeviceTraits* traits = DeviceDatabase::Family(family);
    if (!traits || traits->hexBanks == 0 || address <= 0x7FFF) return address;
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
        const std::optional<zt::HexRecord> record = ReadFields(cursor);
        if (!record) {
            readFailure = true;
            break;
        }
        if (record->type == zt::kHexEndOfFile) {
            endRecord = true;
            break;
        }
        if (record->type == zt::kHexExtendedLinear) {
            upper = 0;
            for (uint32_t i = 0; i < record->count && i < 2; ++i) {
                upper = upper << 8 | record->data[i];
            }
            continue;
        }
        if (record->type != zt::kHexData) continue;

        uint32_t load = record->address;
        if (upper != 0) load |= upper << 16;
        if (bank != -1) load = MapBank(family, bank, load);
        for (uint32_t i = 0; i < record->count; ++i) {
            const uint8_t value = record->data[i];
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
