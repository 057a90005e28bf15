// The audit log: one JSON object per chip and operation, appended so that
// parallel workers never interleave their lines.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "zt/platform/append_file.h"

namespace cindral::cli {

using Json = nlohmann::ordered_json;

// One object as one line, newline included; text that is not UTF-8 is
// replaced rather than refused.
std::string JsonLine(const Json& object);

// The log of one process, opened for appending before any chip is touched,
// so that a log that cannot take a line stops the command while nothing has
// happened yet.
class AuditLog {
  public:
    AuditLog() = default;
    AuditLog(const AuditLog&) = delete;
    AuditLog& operator=(const AuditLog&) = delete;

    // Opens (creating) the file for appending and makes sure a line fits on
    // its file system; the error text, or empty on success.
    std::string Open(const std::string& path);
    bool IsOpen() const { return file_.IsOpen(); }
    const std::string& Path() const { return path_; }
    // Appends the record as one whole line with one write under an exclusive
    // lock, and syncs it to disk. A fragment an earlier failure left at the end
    // of the file is closed off first; a write that fails part way is taken
    // back. The error text, or empty on success.
    std::string Append(const Json& record);

  private:
    zt::platform::AppendFile file_;
    std::string path_;
};

// "2026-12-08T11:30:05.123Z".
std::string UtcTimestamp();
std::string HostName();
// Hex SHA-256 of the bytes.
std::string Sha256Hex(const std::string& bytes);

}  // namespace cindral::cli
