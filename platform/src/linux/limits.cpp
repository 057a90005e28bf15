#include "zt/platform/limits.h"

#include <sys/resource.h>

#include <csignal>

namespace zt::platform {

FileSizeLimit::FileSizeLimit(uint64_t bytes) {
    rlimit saved{};
    if (::getrlimit(RLIMIT_FSIZE, &saved) != 0) return;
    saved_current_ = saved.rlim_cur;
    saved_maximum_ = saved.rlim_max;
    rlimit small = saved;
    small.rlim_cur = bytes;
    // A write past the cap then fails with EFBIG instead of ending the process.
    saved_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    active_ = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
    if (!active_) std::signal(SIGXFSZ, saved_handler_);
}

FileSizeLimit::~FileSizeLimit() {
    if (!active_) return;
    rlimit saved{};
    saved.rlim_cur = saved_current_;
    saved.rlim_max = saved_maximum_;
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, saved_handler_);
}

}  // namespace zt::platform
