// Composing a burn file with the composer.
#pragma once

#include <string>

#include "core/nvm_engine.h"
#include "support.h"

namespace cindral::cli {

// Runs the engine's compose and reports the output and the map.
int ReportCompose(const Globals& g, Session& s, NvmEngine& engine, bool direct,
                  const std::string& burnFile);

}  // namespace cindral::cli
