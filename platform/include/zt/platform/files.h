// Files that must survive a crash whole: written beside their place, flushed
// to disk and put in place in one step, replacing what was there.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zt::platform {

struct ReplaceFailure {
    enum class Step { kCreate, kMode, kWrite, kFlush, kReplace };
    Step step = Step::kCreate;
    std::string reason;  // the system's text
    std::string temp;    // the file written beside the target (removed again)
};

// How the file written beside the target is named, so that a reader can tell
// one left by a crash: ".name.XXXXXX" (hidden) or "name.tmp.XXXXXX".
enum class TempName { kHidden, kTmpSuffix };

// Writes `content` to a new file in the target's directory, flushes it and
// replaces `path` with it atomically, also when `path` exists. `mode` sets the
// POSIX permissions exactly; without it they are 0666 less the umask. On
// failure nothing is left behind and `path` is untouched.
bool ReplaceFileContents(const std::string& path, std::string_view content,
                         std::optional<unsigned> mode, ReplaceFailure* failure,
                         TempName naming = TempName::kHidden);

struct ReadFailure {
    enum class Kind { kMissing, kOpen, kNotRegular, kTooLarge, kRead };
    Kind kind = Kind::kOpen;
    std::string reason;  // the system's text for kMissing, kOpen and kRead
};

// Reads a whole regular file of at most max_size bytes. Whatever else stands
// in its place (a FIFO, a device, a directory) is refused without waiting on it.
bool ReadRegularFile(const std::string& path, std::size_t max_size, std::string* data,
                     ReadFailure* failure);

// A new private directory under the system's temporary directory; empty and
// the reason in *error when it cannot be made.
std::string MakeTempDirectory(std::string_view prefix, std::string* error);

// The system's temporary directory, without a trailing separator.
std::string TempDirectory();

// True when the directory exists and this user may create files in it.
bool IsWritableDirectory(const std::string& path);

}  // namespace zt::platform
