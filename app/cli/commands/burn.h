// Burning a burn file on one adapter or a gang of them.
#pragma once

#include <string>

#include "support.h"

namespace cindral::cli {

// The burn file must hold at least one whole burner image before a chip is touched.
bool CheckBurnFile(const std::string& data, bool direct, std::string& why);

struct BurnJob {
    std::string file;  // absolute
    std::string sha256;
    bool direct = false;
    bool dryRun = false;
};

// Burns on one adapter in this process; the record is logged and returned.
Json BurnOnAdapter(const Globals& g, const BurnJob& job, const std::string& serial, int com,
                   int& exit);

// Burns the file of `a` on its adapters and reports every chip.
int BurnFileOn(const Globals& g, const BurnArgs& a, bool direct);

}  // namespace cindral::cli
