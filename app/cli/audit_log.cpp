#include "audit_log.h"

#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "core/text.h"

namespace cindral::cli {

std::string AppendAuditLine(const std::string& path, const Json& record) {
    const std::string line = record.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return std::strerror(errno);
    std::string error;
    const ssize_t n = ::write(fd, line.data(), line.size());
    if (n != static_cast<ssize_t>(line.size())) {
        error = n < 0 ? std::strerror(errno) : "the line was written in part";
    } else if (::fsync(fd) != 0) {
        error = std::strerror(errno);
    }
    if (::close(fd) != 0 && error.empty()) error = std::strerror(errno);
    return error;
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
