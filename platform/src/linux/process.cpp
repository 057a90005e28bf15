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
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        *error_code = rc;
        return false;
    }
    process_ = pid;
    ended_ = false;
    exit_code_ = -1;
    return true;
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
}

}  // namespace zt::platform
