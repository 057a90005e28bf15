#include "audit_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <unistd.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "core/text.h"

namespace cindral::cli {

namespace {

// Room the file system must have left for a few lines.
constexpr unsigned long long kRoomNeeded = 64 * 1024;

std::string ErrorText(int error) {
    return std::strerror(error);
}

}  // namespace

AuditLog::~AuditLog() {
    if (fd_ >= 0) ::close(fd_);
}

std::string AuditLog::Open(const std::string& path) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    path_ = path;
    // Read access too, to see whether the file ends in a whole line.
    int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EACCES)
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return ErrorText(errno);
    struct stat st {};
    struct statvfs fs {};
    if (::fstat(fd, &st) != 0 || ::fstatvfs(fd, &fs) != 0) {
        const int e = errno;
        ::close(fd);
        return ErrorText(e);
    }
    if (S_ISREG(st.st_mode) &&
        static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize < kRoomNeeded) {
        ::close(fd);
        return ErrorText(ENOSPC);
    }
    fd_ = fd;
    return {};
}

std::string AuditLog::Append(const Json& record) {
    if (fd_ < 0) return "the log is not open";
    std::string line = record.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) return ErrorText(errno);
    }
    struct stat st {};
    const bool regular = ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
    if (regular && st.st_size > 0) {
        char last = '\n';
        if (::pread(fd_, &last, 1, st.st_size - 1) == 1 && last != '\n') line.insert(0, 1, '\n');
    }
    std::string error;
    const ssize_t n = ::write(fd_, line.data(), line.size());
    if (n != static_cast<ssize_t>(line.size())) {
        error = n < 0 ? ErrorText(errno) : "the line was written in part";
        // A part of a line would swallow the next record's start.
        if (regular && n > 0 && ::ftruncate(fd_, st.st_size) != 0) error += " and left in part";
    } else if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
        error = ErrorText(errno);
    }
    ::flock(fd_, LOCK_UN);
    return error;
}

std::string AppendAuditLine(const std::string& path, const Json& record) {
    AuditLog log;
    const std::string error = log.Open(path);
    return error.empty() ? log.Append(record) : error;
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
