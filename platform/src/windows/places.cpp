#include "zt/platform/places.h"

#include <windows.h>

#include "wide.h"
#include "zt/platform/files.h"

namespace zt::platform {
namespace {

std::string Variable(const wchar_t* name) {
    wchar_t buffer[32768];
    const DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
    if (n == 0 || n >= 32768) return {};
    return Narrow(std::wstring(buffer, n));
}

}  // namespace

std::string UserRuntimeDirectory(std::string_view name) {
    // The temporary directory is already this user's own.
    return TempDirectory() + "\\" + std::string(name);
}

std::string CacheHome() {
    return Variable(L"LOCALAPPDATA");
}

std::string ConfigHome() {
    return Variable(L"LOCALAPPDATA");
}

std::string StateHome() {
    return Variable(L"LOCALAPPDATA");
}

std::string SystemConfigHome() {
    return Variable(L"ProgramData");
}

std::string DataHome() {
    return Variable(L"LOCALAPPDATA");
}

}  // namespace zt::platform
