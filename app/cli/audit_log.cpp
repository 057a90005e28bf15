#include "audit_log.h"

#include <gcrypt.h>

#include <ctime>

#include "core/text.h"
#include "zt/platform/append_file.h"
#include "zt/platform/system.h"

namespace cindral::cli {

std::string JsonLine(const Json& object) {
    return object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

namespace {

// Room the file system must have left for a few lines.
constexpr unsigned long long kRoomNeeded = 64 * 1024;

}  // namespace

std::string AuditLog::Open(const std::string& path) {
    path_ = path;
    return file_.Open(path, kRoomNeeded);
}

std::string AuditLog::Append(const Json& record) {
    if (!file_.IsOpen()) return "the log is not open";
    return file_.AppendLine(JsonLine(record));
}

std::string UtcTimestamp() {
    const long long ms = zt::platform::WallClockMilliseconds();
    const std::tm utc = zt::platform::UtcTime(static_cast<std::time_t>(ms / 1000));
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    return Format("%s.%03dZ", text, static_cast<int>(ms % 1000));
}

std::string HostName() {
    return zt::platform::HostName();
}

std::string Sha256Hex(const std::string& bytes) {
    // The message digests need no secure memory, so libgcrypt is set up once
    // without it; a second program in the process may have done so already.
    static const bool ready = [] {
        if (!gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P)) {
            gcry_check_version(nullptr);
            gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
            gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        }
        return true;
    }();
    (void)ready;
    unsigned char digest[32];
    gcry_md_hash_buffer(GCRY_MD_SHA256, digest, bytes.data(), bytes.size());
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(64);
    for (unsigned char b : digest) {
        hex += kHex[b >> 4];
        hex += kHex[b & 15];
    }
    return hex;
}

}  // namespace cindral::cli
