// The two virtual adapters of `--simulate`, shared by Cindral and cindral-cli.
#pragma once

#include <QString>
#include <optional>
#include <string>

namespace cindral {

// The WICKPORT_VIRTUAL value for two virtual adapters whose chips persist under `dir`.
std::string SimulatedAdapters(const QString& dir);
// Sets WICKPORT_VIRTUAL when it is not set yet; returns the directory used, if any.
std::optional<QString> EnableSimulation();

}  // namespace cindral
