// The audit log: one JSON object per chip and operation, appended so that
// parallel workers never interleave their lines.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace cindral::cli {

using Json = nlohmann::ordered_json;

// Appends the line with one write on an O_APPEND descriptor and syncs it to
// disk before returning; the error text, or empty on success.
std::string AppendAuditLine(const std::string& path, const Json& record);

// "2026-12-08T11:30:05.123Z".
std::string UtcTimestamp();
std::string HostName();
// Hex SHA-256 of the bytes.
std::string Sha256Hex(const std::string& bytes);

}  // namespace cindral::cli
