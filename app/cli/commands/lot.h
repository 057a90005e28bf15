// Production lots: a serial number of its own burned into every chip, and the
// record of every chip and attempt in a database.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace cindral::cli {

struct LotArgs {
    std::string name, db, burnFile, serialNvm, serialMtp;
    std::int64_t first = 0, last = 0;
    std::vector<std::string> adapters;
    bool all = false;
    // records
    std::string lot, since;
    std::int64_t serial = 0;
    bool json = false, csv = false;
    // a gang worker
    std::string file, place, sha256;
    std::vector<std::string> assign;  // "ADAPTER:SERIAL:SERIAL_FILE"
};

struct LotCommands {
    LotArgs args;
    CLI::App* create = nullptr;
    CLI::App* status = nullptr;
    CLI::App* burn = nullptr;
    CLI::App* records = nullptr;
    CLI::App* worker = nullptr;
};

void AddLotCommands(CLI::App& app, LotCommands& c);
// The exit code of the lot command given, or -1 when none was.
int RunLotCommands(const Globals& g, LotCommands& c);

}  // namespace cindral::cli
