#include "zt/platform/append_file.h"

#include <fcntl.h>
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

}  // namespace zt::platform
