#include "audit_log.h"

#include <sys/time.h>
#include <unistd.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "core/text.h"
#include "zt/platform/append_file.h"

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
    struct timeval tv {};
    gettimeofday(&tv, nullptr);
    std::tm utc{};
    const std::time_t seconds = tv.tv_sec;
    gmtime_r(&seconds, &utc);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    return Format("%s.%03dZ", text, static_cast<int>(tv.tv_usec / 1000));
}

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

std::string Sha256Hex(const std::string& bytes) {
    const QByteArray hash = QCryptographicHash::hash(
        QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())),
        QCryptographicHash::Sha256);
    return hash.toHex().toStdString();
}

}  // namespace cindral::cli
