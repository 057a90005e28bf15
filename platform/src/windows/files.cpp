#include "zt/platform/files.h"

#include <windows.h>

#include "wide.h"

namespace zt::platform {
namespace {

std::string DirectoryOf(const std::string& path) {
    const std::size_t cut = path.find_last_of("/\\");
    if (cut == std::string::npos) return ".";
    return cut == 0 ? path.substr(0, 1) : path.substr(0, cut);
}

}  // namespace

bool ReplaceFileContents(const std::string& path, std::string_view content, std::optional<unsigned>,
                         ReplaceFailure* failure, TempName naming) {
    const std::string dir = DirectoryOf(path);
    const std::size_t cut = path.find_last_of("/\\");
    const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    HANDLE file = INVALID_HANDLE_VALUE;
    std::string tmp;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        const std::string unique =
            std::to_string(GetCurrentProcessId()) + "." +
            std::to_string(GetTickCount64() + static_cast<unsigned>(attempt));
        tmp = naming == TempName::kHidden ? dir + "\\." + name + "." + unique
                                          : path + ".tmp." + unique;
        file = CreateFileW(Wide(tmp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (file == INVALID_HANDLE_VALUE) {
        *failure = {ReplaceFailure::Step::kCreate, SystemMessage(GetLastError()), tmp};
        return false;
    }
    auto fail = [&](ReplaceFailure::Step step, DWORD code, bool open) {
        if (open) CloseHandle(file);
        DeleteFileW(Wide(tmp).c_str());
        *failure = {step, SystemMessage(code), tmp};
        return false;
    };
    std::size_t done = 0;
    while (done < content.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(content.size() - done, std::size_t(1) << 30));
        DWORD written = 0;
        if (!WriteFile(file, content.data() + done, chunk, &written, nullptr) || written == 0)
            return fail(ReplaceFailure::Step::kWrite, GetLastError(), true);
        done += written;
    }
    if (!FlushFileBuffers(file)) return fail(ReplaceFailure::Step::kFlush, GetLastError(), true);
    if (!CloseHandle(file)) return fail(ReplaceFailure::Step::kFlush, GetLastError(), false);
    // rename() would refuse an existing target here; this replaces it in one step.
    if (!MoveFileExW(Wide(tmp).c_str(), Wide(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return fail(ReplaceFailure::Step::kReplace, GetLastError(), false);
    return true;
}

bool ReadRegularFile(const std::string& path, std::size_t max_size, std::string* data,
                     ReadFailure* failure) {
    using Kind = ReadFailure::Kind;
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        *failure = {Kind::kNotRegular, {}};
        return false;
    }
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        *failure = {code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? Kind::kMissing
                                                                                 : Kind::kOpen,
                    SystemMessage(code)};
        return false;
    }
    auto fail = [&](Kind kind, std::string reason) {
        CloseHandle(h);
        *failure = {kind, std::move(reason)};
        return false;
    };
    // Pipes and devices are not disk files.
    LARGE_INTEGER size{};
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size))
        return fail(Kind::kNotRegular, {});
    if (static_cast<unsigned long long>(size.QuadPart) > max_size) return fail(Kind::kTooLarge, {});
    data->clear();
    char buf[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(h, buf, sizeof buf, &n, nullptr))
            return fail(Kind::kRead, SystemMessage(GetLastError()));
        if (n == 0) break;
        data->append(buf, n);
        if (data->size() > max_size) return fail(Kind::kTooLarge, {});
    }
    CloseHandle(h);
    return true;
}

std::string TempDirectory() {
    wchar_t buffer[MAX_PATH + 2] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    std::string dir = n ? Narrow(std::wstring(buffer, n)) : std::string(".");
    while (dir.size() > 3 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
    return dir;
}

std::string MakeTempDirectory(std::string_view prefix, std::string* error) {
    const std::string base = TempDirectory() + "\\" + std::string(prefix);
    DWORD code = 0;
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string dir = base + std::to_string(GetCurrentProcessId()) + "-" +
                                std::to_string(GetTickCount64() % 100000) + "-" +
                                std::to_string(attempt);
        if (CreateDirectoryW(Wide(dir).c_str(), nullptr)) return dir;
        code = GetLastError();
        if (code != ERROR_ALREADY_EXISTS) break;
    }
    if (error) *error = SystemMessage(code);
    return {};
}

bool IsWritableDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    // Access rights on Windows are best learnt by trying.
    const std::wstring probe =
        Wide(path + "\\.probe-" + std::to_string(GetCurrentProcessId()) + ".tmp");
    HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS;
    CloseHandle(h);
    return true;
}

}  // namespace zt::platform
