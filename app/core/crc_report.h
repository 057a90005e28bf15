// The CRC page's report: the chip's CRC32s of its trim, user and ROM regions next
// to the reference values of its PT data block.
#pragma once

#include <string>
#include <vector>

#include "ordwin_api.h"

namespace cindral {

struct ReportLine {
    std::string text;
    bool lineEnd;
};

// Runs the CRC sequence on a connected chip and returns the lines to print.
// After a failing call the error line comes first, and the values that were not
// read print as zeros.
std::vector<ReportLine> RunCrcReport(IOrdwin& ordwin);

}  // namespace cindral
