#include "zt/platform/lock.h"

#include <windows.h>

#include "wide.h"

namespace zt::platform {

DirectoryLock::Result DirectoryLock::Acquire(const std::string& directory, std::string* reason) {
    Release();
    // A directory handle cannot carry a byte-range lock; a lock file opened
    // without sharing does the same and goes with the process.
    const std::wstring path = Wide(directory + "\\.lock");
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) return Result::kBusy;
        *reason = SystemMessage(code);
        return Result::kError;
    }
    handle_ = reinterpret_cast<intptr_t>(h);
    return Result::kLocked;
}

void DirectoryLock::Release() {
    if (handle_ != kNone) CloseHandle(AsHandle(handle_));
    handle_ = kNone;
}

}  // namespace zt::platform
