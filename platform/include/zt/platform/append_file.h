// Appending to a log that several processes write at once: each record goes
// out in one write at the end of the file, so records never interleave.
#pragma once

#include <string>
#include <string_view>

namespace zt::platform {

// Appends `record` to `path` (created when missing) and flushes it to disk.
// Returns an empty string, or the reason it failed.
std::string AppendRecord(const std::string& path, std::string_view record);

}  // namespace zt::platform
