#include "zt/platform/process.h"

#include <windows.h>

#include "wide.h"

namespace zt::platform {

const char* ExecutableSuffix() {
    return ".exe";
}
namespace {

// Quotes one argument the way the C runtime's parser takes it apart again.
std::wstring Quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    out += L'"';
    return out;
}

}  // namespace

std::string OutputFile::Create(const std::string& path) {
    Close();
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return SystemMessage(GetLastError());
    handle_ = reinterpret_cast<intptr_t>(h);
    return {};
}

long long OutputFile::Size() const {
    LARGE_INTEGER size{};
    if (handle_ == -1 || !GetFileSizeEx(AsHandle(handle_), &size)) return -1;
    return size.QuadPart;
}

void OutputFile::Close() {
    if (handle_ != -1) CloseHandle(AsHandle(handle_));
    handle_ = -1;
}

ChildProcess::~ChildProcess() {
    if (process_ != -1 && !ended_) Kill();
    if (process_ != -1) CloseHandle(AsHandle(process_));
}

bool ChildProcess::Start(const std::vector<std::string>& args, const OutputFile& output,
                         int* error_code, const OutputFile* errors) {
    if (args.empty() || args[0].empty() || output.handle() == -1) {
        *error_code = ERROR_FILE_NOT_FOUND;
        return false;
    }
    std::wstring line;
    for (const std::string& a : args) {
        if (!line.empty()) line += L' ';
        line += Quoted(Wide(a));
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE null_in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    si.wShowWindow = SW_HIDE;
    si.hStdInput = null_in;
    si.hStdOutput = AsHandle(output.handle());
    si.hStdError = AsHandle(errors && errors->handle() != -1 ? errors->handle() : output.handle());
    PROCESS_INFORMATION pi{};
    const BOOL ok = CreateProcessW(Wide(args[0]).c_str(), line.data(), nullptr, nullptr, TRUE,
                                   CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    const DWORD code = GetLastError();
    if (null_in != INVALID_HANDLE_VALUE) CloseHandle(null_in);
    if (!ok) {
        *error_code = static_cast<int>(code);
        return false;
    }
    CloseHandle(pi.hThread);
    process_ = reinterpret_cast<intptr_t>(pi.hProcess);
    ended_ = false;
    exit_code_ = -1;
    return true;
}

ChildProcess::Wait ChildProcess::WaitFor(int milliseconds) {
    if (process_ == -1) return Wait::kFailed;
    if (ended_) return Wait::kEnded;
    const DWORD r = WaitForSingleObject(AsHandle(process_),
                                        static_cast<DWORD>(milliseconds < 0 ? 0 : milliseconds));
    if (r == WAIT_TIMEOUT) return Wait::kRunning;
    if (r != WAIT_OBJECT_0) return Wait::kFailed;
    DWORD code = 0;
    GetExitCodeProcess(AsHandle(process_), &code);
    ended_ = true;
    exit_code_ = static_cast<int>(code);
    return Wait::kEnded;
}

void ChildProcess::Kill() {
    if (process_ == -1 || ended_) return;
    TerminateProcess(AsHandle(process_), 1);
    WaitForSingleObject(AsHandle(process_), INFINITE);
    ended_ = true;
    exit_code_ = -1;
}

}  // namespace zt::platform
