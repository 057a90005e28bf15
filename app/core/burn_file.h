// The "[Burn]" sections of an NVM burn file: the burner images that the burn
// engine downloads and runs one after another.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cindral {

struct BurnImage {
    std::string header;   // the line before the records, as read
    std::string records;  // Intel-HEX records, each ending in CR alone
    bool hasEndRecord = false;
};

struct BurnSection {
    bool countGiven = false;        // the count line has text after its '='
    long long count = 0;            // as written; 0 or less burns nothing
    std::vector<BurnImage> images;  // at most `count`, fewer when the data ends first

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

}  // namespace cindral
