// The "[Burn]" sections of an NVM burn file: the burner images that the burn
// engine downloads and runs one after another.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cindral {

struct BurnImage {
    std::string header;   // the line before the records, as read
    std::string records;  // Intel-HEX records, each ending in CR alone
    bool hasEndRecord = false;
    std::size_t headerLine = 0;            // 1-based line numbers in the file
    std::vector<std::size_t> recordLines;  // one per record, in order
};

struct BurnSection {
    bool countGiven = false;        // the count line has text after its '='
    long long count = 0;            // as written; 0 or less burns nothing
    std::string countText;          // the count line's value, as written
    std::size_t line = 0;           // the section line
    std::vector<BurnImage> images;  // at most `count`, fewer when the data ends first
    // The first record line after the last counted image and before the next
    // section: the file holds more images than its count says. 0 when none.
    std::size_t strayRecordLine = 0;

    // Every announced image is there and ends with its end-of-file record.
    bool Complete() const;
};

// Lines end at CR, LF or CR LF; a last line without a line end counts. A
// section starts at a line beginning with "[Burn]"; then come the count line,
// one skipped line and the images (a header line, then the lines beginning with
// ':'). The line that ends the last image's records is not examined as a
// section line. Reading never goes past the data.
std::vector<BurnSection> ParseBurnFile(std::string_view data);

// The count line's value: leading white space, an optional sign, decimal digits
// up to the first other character; no digits give 0. Saturates instead of
// overflowing.
long long ParseCountValue(std::string_view text);

// What a whole burn file is, judged before any of it reaches a chip.
struct BurnFileCheck {
    enum class Verdict { kOk, kNoImages, kTooManyImages, kDamaged };
    Verdict verdict = Verdict::kNoImages;
    std::string why;       // for kDamaged: which image and line, and what is wrong
    long long images = 0;  // burner images in all sections
    // The user-region reference CRC (NVM 0x1FF4..0x1FF7, big-endian) when an
    // image burns it; the chip's user CRC must match it after the burn.
    std::optional<std::array<uint8_t, 4>> userCrcReference;
    // The NVM bytes each image burns, one range per segment of its table.
    struct NvmWrite {
        long long image = 0;  // 1-based over all sections
        std::string header;   // the image's header line
        uint32_t first = 0, last = 0;
    };
    std::vector<NvmWrite> writes;
    bool ok() const { return verdict == Verdict::kOk; }
};

// Every image whole: record syntax and checksums, data within code RAM, one
// end record closing each image, a count that is a number and equals the
// images present, burner code at the entry and a parameter table as the
// burner firmware lays it out, with all the data it names. Direct burn files
// hold at most 9 images, others at most 99.
BurnFileCheck CheckBurnFile(std::string_view data, bool direct);

}  // namespace cindral
