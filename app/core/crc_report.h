// The CRC page's report: the chip's CRC32s of its trim, user and ROM regions next
// to the reference values of its PT data block.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "ordwin_api.h"
#include "zt/zeltra_map.h"

namespace cindral {

struct ReportLine {
    std::string text;
    bool lineEnd;
};

// The values behind the report: the chip's CRC32s (most significant byte
// first) and its PT data block.
struct CrcReading {
    bool ok = false;  // every call succeeded; unread values are zeros
    std::array<uint8_t, 4> trim{}, user{}, rom{};
    std::array<uint8_t, zt::zeltra::kPtBlockSize> block{};
    bool TrimMatches() const;
    bool UserMatches() const;
    std::array<uint8_t, 4> TrimReference() const;
    std::array<uint8_t, 4> UserReference() const;
};

CrcReading ReadCrcs(IOrdwin& ordwin);
std::vector<ReportLine> FormatCrcReport(const CrcReading& reading);

// Runs the CRC sequence on a connected chip and returns the lines to print.
// After a failing call the error line comes first, and the values that were not
// read print as zeros.
std::vector<ReportLine> RunCrcReport(IOrdwin& ordwin);

}  // namespace cindral
