// The "[Compose Map]" section of an NVM burn file: the composer's report, one
// row per composed file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cindral {

// One report line as the four columns of the map list.
struct NVMMap {
    std::u16string fileName;
    std::u16string nvmRange;  // "first .. last"
    std::u16string length;    // "hex (decimal)"
    std::u16string status;
};

struct ComposeMapRow {
    NVMMap map;
    bool conflict = false;  // the status contains "Conflict"
    bool error = false;     // the status contains "Error"
};

// The report lines of a burn file's text. The map ends at the first line that
// contains ';', at the first empty line, or at the end of the text; a last line
// without its line end is not taken (the file was cut short). Lines with fewer
// than five tokens show what they have.
std::vector<ComposeMapRow> ParseComposeMap(std::u16string_view text);

// One report line, tokens separated by runs of spaces; false when it has no token.
bool ParseReportLine(std::u16string_view line, ComposeMapRow& row);

}  // namespace cindral
