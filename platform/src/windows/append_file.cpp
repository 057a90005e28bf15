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

std::string AppendFile::Open(const std::string& path, unsigned long long room) {
    Close();
    // Write data access to take a part-written line back; every append goes to
    // the end through the end-of-file offset.
    HANDLE h = CreateFileW(Wide(path).c_str(),
                           FILE_APPEND_DATA | FILE_WRITE_DATA | FILE_READ_DATA |
                               FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return SystemMessage(GetLastError());
    std::wstring directory = Wide(path);
    const std::size_t slash = directory.find_last_of(L"\\/");
    directory = slash == std::wstring::npos ? std::wstring(L".") : directory.substr(0, slash + 1);
    ULARGE_INTEGER available{};
    if (GetDiskFreeSpaceExW(directory.c_str(), &available, nullptr, nullptr) &&
        available.QuadPart < room) {
        CloseHandle(h);
        return SystemMessage(ERROR_DISK_FULL);
    }
    handle_ = reinterpret_cast<intptr_t>(h);
    return {};
}

void AppendFile::Close() {
    if (handle_ != kNone) CloseHandle(AsHandle(handle_));
    handle_ = kNone;
}

std::string AppendFile::AppendLine(std::string_view text) {
    if (handle_ == kNone) return "the file is not open";
    HANDLE h = AsHandle(handle_);
    OVERLAPPED lockAt{};
    lockAt.OffsetHigh = 0x7FFFFFFF;
    const bool locked = LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockAt) != 0;
    std::string line(text);
    LARGE_INTEGER size{};
    const bool sized = GetFileSizeEx(h, &size) != 0;
    if (sized && size.QuadPart > 0) {
        char last = '\n';
        DWORD got = 0;
        OVERLAPPED at{};
        const unsigned long long lastAt = static_cast<unsigned long long>(size.QuadPart) - 1;
        at.Offset = static_cast<DWORD>(lastAt);
        at.OffsetHigh = static_cast<DWORD>(lastAt >> 32);
        if (ReadFile(h, &last, 1, &got, &at) && got == 1 && last != '\n') line.insert(0, 1, '\n');
    }
    std::string error;
    OVERLAPPED end{};
    end.Offset = 0xFFFFFFFF;
    end.OffsetHigh = 0xFFFFFFFF;
    DWORD written = 0;
    if (!WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, &end)) {
        error = SystemMessage(GetLastError());
    } else if (written != line.size()) {
        error = "the line was written in part";
    } else if (!FlushFileBuffers(h)) {
        error = SystemMessage(GetLastError());
    }
    if (!error.empty() && sized && written > 0 && written < line.size()) {
        // A part of a line would swallow the start of the next one.
        FILE_END_OF_FILE_INFO eof{};
        eof.EndOfFile = size;
        if (!SetFileInformationByHandle(h, FileEndOfFileInfo, &eof, sizeof eof))
            error += ", and left in part";
    }
    if (locked) UnlockFileEx(h, 0, 1, 0, &lockAt);
    return error;
}

}  // namespace zt::platform
