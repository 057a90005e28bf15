#include "zt/platform/system.h"

#include <windows.h>

#include <cstring>

#include "wide.h"

namespace zt::platform {

std::string ErrorText(int code) {
    char text[256] = {};
    strerror_s(text, sizeof text, code);
    return text;
}

std::string LastErrorText() {
    return SystemMessage(GetLastError());
}

std::tm LocalTime(std::time_t seconds) {
    std::tm out{};
    localtime_s(&out, &seconds);
    return out;
}

std::tm UtcTime(std::time_t seconds) {
    std::tm out{};
    gmtime_s(&out, &seconds);
    return out;
}

long long WallClockMilliseconds() {
    FILETIME ft{};
    GetSystemTimeAsFileTime(&ft);
    const unsigned long long ticks =
        (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    // 100 ns ticks since 1601.
    return static_cast<long long>(ticks / 10000ULL) - 11644473600000LL;
}

std::string HostName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size)) return {};
    return Narrow(std::wstring(name, size));
}

void SetEnvironment(const char* name, const char* value) {
    // Both the C runtime's copy (getenv) and the process's (children) change.
    _putenv_s(name, value ? value : "");
    SetEnvironmentVariableW(Wide(name).c_str(), value ? Wide(value).c_str() : nullptr);
}

// The process's own block: the C runtime's copy cannot hold an empty value.
std::optional<std::string> GetEnvironment(const char* name) {
    const std::wstring wide = Wide(name);
    SetLastError(ERROR_SUCCESS);
    DWORD size = GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
    if (size == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
        return std::string();
    }
    std::wstring value(size, L'\0');
    size = GetEnvironmentVariableW(wide.c_str(), value.data(), size);
    value.resize(size);
    return Narrow(value);
}

}  // namespace zt::platform
