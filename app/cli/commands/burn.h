// Burning a burn file on one adapter or a gang of them.
#pragma once

#include <optional>
#include <string>

#include "support.h"

namespace cindral::cli {

// The burn file is judged whole, as the engine judges it, before a chip is
// touched; the reason it is refused, or nothing.
std::optional<std::string> RefuseBurnFile(const std::string& data, bool direct);

struct BurnJob {
    std::string file;  // absolute
    std::string data;  // the bytes read once: checked, hashed and burned
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
