// The two virtual adapters of `--simulate`, shared by Cindral and cindral-cli.
#pragma once

#include <optional>
#include <string>

namespace cindral {

// The WICKPORT_VIRTUAL value for two virtual adapters whose chips persist under
// `dir` (UTF-8).
std::string SimulatedAdapters(const std::string& dir);
// Sets WICKPORT_VIRTUAL when it is not set yet; returns the directory used
// (this user's data place, "cindral/virtual" in it), if any.
std::optional<std::string> EnableSimulation();

}  // namespace cindral
