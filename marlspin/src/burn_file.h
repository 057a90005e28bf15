#pragma once

#include <string>

#include "compose.h"

namespace marlspin {

// The burn file's text: header comments, "[Compose Map]" and "[Burn]", CR LF line ends.
std::string FormatBurnFile(const Composition& composition);

// A name safe inside the burn file: no spaces, ';' or control characters, and
// no leading '[' or ':' that the burn file reader would take for a section or record.
std::string SafeName(const std::string& name);

// Writes `content` to a temporary file beside `path` and renames it over `path`,
// so a failure never leaves a partial file. Throws Failure (Output Dir Error or
// NVM Burn File Error).
void WriteFileAtomically(const std::string& path, const std::string& content);

}  // namespace marlspin
