// Gang burning: one worker process per adapter (the library has one debug
// context per process), all at once.
#pragma once

#include <string>
#include <vector>

#include "audit_log.h"
#include "commands.h"

namespace cindral::cli {

// Starts this program once per adapter with `workerArgs`, the global options
// and "-a SERIAL"; collects each worker's record in adapter order. A worker
// that ends without one gets a failure record (logged here). Ctrl-C is passed
// on to every worker. The exit code: 128 + signal when interrupted, else the
// highest code of any worker.
int RunGang(const Globals& g, const std::vector<std::string>& serials,
            const std::vector<std::string>& workerArgs, std::vector<Json>& records);

}  // namespace cindral::cli
