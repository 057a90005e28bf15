#include "zt/platform/process.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "wide.h"

namespace zt::platform {

const char* ExecutableSuffix() {
    return ".exe";
}

std::string SelfExecutable() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return Narrow(path);
        }
        path.resize(path.size() * 2);
    }
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr || count != argc) {
        if (wide) LocalFree(wide);
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i) args.push_back(Narrow(wide[i]));
    LocalFree(wide);
    return args;
}

std::string ExecutableDirectory() {
    const std::string path = SelfExecutable();
    const std::size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
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

// Bytes waiting in a pipe; -1 once its writer has closed it.
long long Waiting(HANDLE pipe) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return -1;
    return available;
}

}  // namespace

bool PipeReader::ReadAvailable(std::string& into) {
    if (handle_ == -1) return false;
    for (;;) {
        const long long waiting = Waiting(AsHandle(handle_));
        if (waiting == 0) return true;
        char buffer[4096];
        DWORD got = 0;
        const DWORD want = waiting > static_cast<long long>(sizeof buffer)
                               ? sizeof buffer
                               : static_cast<DWORD>(waiting);
        if (waiting < 0 || !ReadFile(AsHandle(handle_), buffer, want, &got, nullptr) || got == 0) {
            Close();
            return false;
        }
        into.append(buffer, got);
    }
}

void PipeReader::Close() {
    if (handle_ != -1) CloseHandle(AsHandle(handle_));
    handle_ = -1;
}

// Anonymous pipes cannot be waited on together; they are looked at in turns.
void WaitForPipes(const std::vector<const PipeReader*>& pipes, int milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    for (;;) {
        bool any = false;
        for (const PipeReader* p : pipes) {
            if (!p || p->handle_ == -1) continue;
            any = true;
            if (Waiting(AsHandle(p->handle_)) != 0) return;
        }
        if (!any || GetTickCount64() >= deadline) return;
        Sleep(5);
    }
}

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

namespace {

// A pipe whose write end is not yet inheritable: it becomes so only for the
// one CreateProcess it is meant for, so no other child holds it open.
bool MakePipe(HANDLE* read, HANDLE* write) {
    return CreatePipe(read, write, nullptr, 0) != 0;
}

}  // namespace

bool ChildProcess::StartPiped(const std::vector<std::string>& args, PipeReader& out,
                              PipeReader* err, int* error_code) {
    if (args.empty() || args[0].empty()) {
        *error_code = ERROR_FILE_NOT_FOUND;
        return false;
    }
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!MakePipe(&outRead, &outWrite) || (err && !MakePipe(&errRead, &errWrite))) {
        *error_code = static_cast<int>(GetLastError());
        if (outRead) CloseHandle(outRead);
        if (outWrite) CloseHandle(outWrite);
        return false;
    }
    SetHandleInformation(outWrite, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    if (err) SetHandleInformation(errWrite, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    std::wstring line;
    for (const std::string& a : args) {
        if (!line.empty()) line += L' ';
        line += Quoted(Wide(a));
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = outWrite;
    si.hStdError = err ? errWrite : GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi{};
    const BOOL ok = CreateProcessW(Wide(args[0]).c_str(), line.data(), nullptr, nullptr, TRUE, 0,
                                   nullptr, nullptr, &si, &pi);
    const DWORD code = GetLastError();
    CloseHandle(outWrite);
    if (err) CloseHandle(errWrite);
    if (!ok) {
        CloseHandle(outRead);
        if (err) CloseHandle(errRead);
        *error_code = static_cast<int>(code);
        return false;
    }
    CloseHandle(pi.hThread);
    out.Close();
    out.handle_ = reinterpret_cast<intptr_t>(outRead);
    if (err) {
        err->Close();
        err->handle_ = reinterpret_cast<intptr_t>(errRead);
    }
    if (process_ != -1) CloseHandle(AsHandle(process_));
    process_ = reinterpret_cast<intptr_t>(pi.hProcess);
    ended_ = false;
    exit_code_ = -1;
    end_signal_ = 0;
    return true;
}

void ChildProcess::Interrupt() {}

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
