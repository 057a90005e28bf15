#include "zt/platform/append_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zt::platform {

std::string AppendRecord(const std::string& path, std::string_view record) {
    // O_APPEND puts each write at the end, whoever else writes meanwhile.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return std::strerror(errno);
    std::string error;
    const ssize_t n = ::write(fd, record.data(), record.size());
    if (n != static_cast<ssize_t>(record.size())) {
        error = n < 0 ? std::strerror(errno) : "the line was written in part";
    } else if (::fsync(fd) != 0) {
        error = std::strerror(errno);
    }
    if (::close(fd) != 0 && error.empty()) error = std::strerror(errno);
    return error;
}

std::string AppendFile::Open(const std::string& path, unsigned long long room) {
    Close();
    // Read access too, to see whether the file ends in a whole line.
    int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    struct stat st {};
    struct statvfs fs {};
    if (::fstat(fd, &st) != 0 || ::fstatvfs(fd, &fs) != 0) {
        const int e = errno;
        ::close(fd);
        return std::strerror(e);
    }
    if (S_ISREG(st.st_mode) && static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize < room) {
        ::close(fd);
        return std::strerror(ENOSPC);
    }
    handle_ = fd;
    return {};
}

void AppendFile::Close() {
    if (handle_ != kNone) ::close(static_cast<int>(handle_));
    handle_ = kNone;
}

std::string AppendFile::AppendLine(std::string_view text) {
    if (handle_ == kNone) return "the file is not open";
    const int fd = static_cast<int>(handle_);
    std::string line(text);
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) return std::strerror(errno);
    }
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (regular && st.st_size > 0) {
        char last = '\n';
        if (::pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n') line.insert(0, 1, '\n');
    }
    std::string error;
    const ssize_t n = ::write(fd, line.data(), line.size());
    if (n != static_cast<ssize_t>(line.size())) {
        error = n < 0 ? std::strerror(errno) : "the line was written in part";
        // A part of a line would swallow the start of the next one.
        if (regular && n > 0 && ::ftruncate(fd, st.st_size) != 0) error += ", and left in part";
    } else if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
        error = std::strerror(errno);  // devices that cannot sync are no failure
    }
    ::flock(fd, LOCK_UN);
    return error;
}

}  // namespace zt::platform
