// Appending to a log that several processes write at once: each record goes
// out in one write at the end of the file, so records never interleave.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zt::platform {

// A log opened once, before anything it is to record happens, and kept open:
// a log that cannot take lines is known while nothing has been done yet.
class AppendFile {
  public:
    AppendFile() = default;
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;
    ~AppendFile() { Close(); }

    // Opens (creating) `path` for appending, and makes sure its file system
    // has `room` bytes left. Empty, or the reason it cannot be used.
    std::string Open(const std::string& path, unsigned long long room);
    void Close();
    bool IsOpen() const { return handle_ != kNone; }

    // Appends `line` (ending in a line feed) at the end with one write, under
    // an exclusive lock, and flushes it to disk. A file that does not end in a
    // line feed (a fragment an earlier failure left) gets one first; a write
    // that fails part way is taken back. Empty, or the reason it failed.
    std::string AppendLine(std::string_view line);

  private:
    static constexpr intptr_t kNone = -1;
    intptr_t handle_ = kNone;
};

// Appends `record` to `path` (created when missing) and flushes it to disk.
// Returns an empty string, or the reason it failed.
std::string AppendRecord(const std::string& path, std::string_view record);

}  // namespace zt::platform
