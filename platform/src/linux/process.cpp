#include "zt/platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace zt::platform {

const char* ExecutableSuffix() {
    return "";
}

// The running image itself, not the file that may have been replaced since.
std::string SelfExecutable() {
    return "/proc/self/exe";
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

std::string ExecutableDirectory() {
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= path.size()) return {};
    path.resize(static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/') + 1);
}

bool PipeReader::ReadAvailable(std::string& into) {
    if (handle_ < 0) return false;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(static_cast<int>(handle_), buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, static_cast<std::size_t>(n));
            if (static_cast<std::size_t>(n) < sizeof buffer) return true;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        Close();
        return false;
    }
}

void PipeReader::Close() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    handle_ = -1;
}

void WaitForPipes(const std::vector<const PipeReader*>& pipes, int milliseconds) {
    std::vector<pollfd> fds;
    for (const PipeReader* p : pipes)
        if (p && p->handle_ >= 0) fds.push_back(pollfd{static_cast<int>(p->handle_), POLLIN, 0});
    if (fds.empty()) return;
    ::poll(fds.data(), fds.size(), milliseconds);
}

std::string OutputFile::Create(const std::string& path) {
    Close();
    // Close-on-exec: only the child it is handed to gets it, as its output.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return std::strerror(errno);
    handle_ = fd;
    return {};
}

long long OutputFile::Size() const {
    struct stat st {};
    if (handle_ < 0 || ::fstat(static_cast<int>(handle_), &st) != 0) return -1;
    return static_cast<long long>(st.st_size);
}

void OutputFile::Close() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    handle_ = -1;
}

namespace {

// Starts args[0] with this environment; the file actions are used up.
int Spawn(const std::vector<std::string>& args, posix_spawn_file_actions_t* actions, pid_t* pid) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int rc = ::posix_spawn(pid, args[0].c_str(), actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(actions);
    return rc;
}

}  // namespace

ChildProcess::~ChildProcess() {
    if (process_ >= 0 && !ended_) Kill();
}

bool ChildProcess::Start(const std::vector<std::string>& args, const OutputFile& output,
                         int* error_code, const OutputFile* errors) {
    if (args.empty() || args[0].empty() || output.handle() < 0) {
        *error_code = ENOENT;
        return false;
    }
    const int fd = static_cast<int>(output.handle());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(
        &actions, errors && errors->handle() >= 0 ? static_cast<int>(errors->handle()) : fd,
        STDERR_FILENO);
    pid_t pid = -1;
    const int rc = Spawn(args, &actions, &pid);
    if (rc != 0) {
        *error_code = rc;
        return false;
    }
    process_ = pid;
    ended_ = false;
    exit_code_ = -1;
    end_signal_ = 0;
    return true;
}

bool ChildProcess::StartPiped(const std::vector<std::string>& args, PipeReader& out,
                              PipeReader* err, int* error_code) {
    if (args.empty() || args[0].empty()) {
        *error_code = ENOENT;
        return false;
    }
    // Close-on-exec ends: the child gets its own through dup2, no other child any.
    int outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1};
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || (err && ::pipe2(errPipe, O_CLOEXEC) != 0)) {
        *error_code = errno;
        for (int fd : {outPipe[0], outPipe[1]})
            if (fd >= 0) ::close(fd);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    if (err) posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    pid_t pid = -1;
    const int rc = Spawn(args, &actions, &pid);
    ::close(outPipe[1]);
    if (err) ::close(errPipe[1]);
    if (rc != 0) {
        ::close(outPipe[0]);
        if (err) ::close(errPipe[0]);
        *error_code = rc;
        return false;
    }
    ::fcntl(outPipe[0], F_SETFL, O_NONBLOCK);
    out.Close();
    out.handle_ = outPipe[0];
    if (err) {
        ::fcntl(errPipe[0], F_SETFL, O_NONBLOCK);
        err->Close();
        err->handle_ = errPipe[0];
    }
    process_ = pid;
    ended_ = false;
    exit_code_ = -1;
    end_signal_ = 0;
    return true;
}

void ChildProcess::Interrupt() {
    if (process_ >= 0 && !ended_) ::kill(static_cast<pid_t>(process_), SIGINT);
}

ChildProcess::Wait ChildProcess::WaitFor(int milliseconds) {
    if (process_ < 0) return Wait::kFailed;
    if (ended_) return Wait::kEnded;
    const pid_t pid = static_cast<pid_t>(process_);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
#ifdef SYS_pidfd_open
    // A pidfd turns readable when the child ends: no polling in small sleeps.
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    const int pidfd = -1;
#endif
    for (;;) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            if (pidfd >= 0) ::close(pidfd);
            ended_ = true;
            exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            end_signal_ = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
            return Wait::kEnded;
        }
        if (r < 0 && errno != EINTR) {
            if (pidfd >= 0) ::close(pidfd);
            return Wait::kFailed;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            if (pidfd >= 0) ::close(pidfd);
            return Wait::kRunning;
        }
        if (pidfd >= 0) {
            struct pollfd p {
                pidfd, POLLIN, 0
            };
            ::poll(&p, 1, static_cast<int>(left));
        } else {
            const long step = left < 5 ? left : 5;
            const struct timespec ts { 0, step * 1000000L };
            ::nanosleep(&ts, nullptr);
        }
    }
}

void ChildProcess::Kill() {
    if (process_ < 0 || ended_) return;
    const pid_t pid = static_cast<pid_t>(process_);
    ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ended_ = true;
    exit_code_ = -1;
    end_signal_ = SIGKILL;
}

}  // namespace zt::platform
