#include "zt/platform/lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zt::platform {

DirectoryLock::Result DirectoryLock::Acquire(const std::string& directory, std::string* reason) {
    Release();
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *reason = std::strerror(errno);
        return Result::kError;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        ::close(fd);
        if (e == EWOULDBLOCK) return Result::kBusy;
        *reason = std::strerror(e);
        return Result::kError;
    }
    handle_ = fd;
    return Result::kLocked;
}

void DirectoryLock::Release() {
    if (handle_ != kNone) ::close(static_cast<int>(handle_));
    handle_ = kNone;
}

}  // namespace zt::platform
