#include "zt/platform/append_file.h"

#include <windows.h>

#include "wide.h"

namespace zt::platform {

std::string AppendRecord(const std::string& path, std::string_view record) {
    // Append-only access puts every write at the end of the file, as O_APPEND
    // does, so parallel writers never interleave.
    HANDLE h = CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA | FILE_READ_DATA | SYNCHRONIZE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return SystemMessage(GetLastError());
    std::string error;
    // Append-only writes are atomic on Windows itself, but not under every
    // emulation of it; a lock on one byte far past any end keeps the writers
    // in turn everywhere without keeping readers out.
    OVERLAPPED at{};
    at.OffsetHigh = 0x7FFFFFFF;
    const bool locked = LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at) != 0;
    DWORD written = 0;
    if (!WriteFile(h, record.data(), static_cast<DWORD>(record.size()), &written, nullptr)) {
        error = SystemMessage(GetLastError());
    } else if (written != record.size()) {
        error = "the line was written in part";
    } else if (!FlushFileBuffers(h)) {
        error = SystemMessage(GetLastError());
    }
    if (locked) UnlockFileEx(h, 0, 1, 0, &at);
    if (!CloseHandle(h) && error.empty()) error = SystemMessage(GetLastError());
    return error;
}

}  // namespace zt::platform
