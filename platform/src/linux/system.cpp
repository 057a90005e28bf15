#include "zt/platform/system.h"

#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zt::platform {

std::string ErrorText(int code) {
    return std::strerror(code);
}

std::string LastErrorText() {
    return std::strerror(errno);
}

std::tm LocalTime(std::time_t seconds) {
    std::tm out{};
    localtime_r(&seconds, &out);
    return out;
}

std::tm UtcTime(std::time_t seconds) {
    std::tm out{};
    gmtime_r(&seconds, &out);
    return out;
}

long long WallClockMilliseconds() {
    struct timeval tv {};
    gettimeofday(&tv, nullptr);
    return static_cast<long long>(tv.tv_sec) * 1000 + tv.tv_usec / 1000;
}

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

void SetEnvironment(const char* name, const char* value) {
    if (value) {
        ::setenv(name, value, 1);
    } else {
        ::unsetenv(name);
    }
}

std::optional<std::string> GetEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

}  // namespace zt::platform
