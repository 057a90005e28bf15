#include "gang.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "commands/support.h"
#include "console.h"
#include "core/text.h"

extern char** environ;

namespace cindral::cli {

namespace {

struct Worker {
    std::string serial;
    pid_t pid = -1;
    int out = -1;  // read end of its stdout
    std::string text;
    int status = 0;
    bool ended = false;
};

std::vector<std::string> GlobalArgs(const Globals& g) {
    std::vector<std::string> args;
    if (g.json) args.push_back("--json");
    if (g.yes) args.push_back("--yes");
    if (g.quiet) args.push_back("-q");
    if (!g.log.empty()) args.insert(args.end(), {"--log", g.log});
    args.insert(args.end(), {"--poll-ms", std::to_string(g.pollMs)});
    return args;
}

bool Start(Worker& w, const std::vector<std::string>& args) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int rc = posix_spawn(&w.pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        w.pid = -1;
        return false;
    }
    w.out = fds[0];
    return true;
}

int CodeOf(const Worker& w) {
    if (WIFEXITED(w.status)) return WEXITSTATUS(w.status);
    if (WIFSIGNALED(w.status)) return 128 + WTERMSIG(w.status);
    return kExitChip;
}

}  // namespace

int RunGang(const Globals& g, const std::vector<std::string>& serials,
            const std::vector<std::string>& workerArgs, std::vector<Json>& records) {
    std::vector<Worker> workers(serials.size());
    for (std::size_t i = 0; i < serials.size(); ++i) {
        Worker& w = workers[i];
        w.serial = serials[i];
        std::vector<std::string> args = {"cindral-cli"};
        for (const std::string& a : GlobalArgs(g)) args.push_back(a);
        for (const std::string& a : workerArgs) args.push_back(a);
        args.insert(args.end(), {"-a", w.serial});
        if (!Start(w, args)) {
            w.ended = true;
            w.status = kExitChip << 8;
        }
    }
    bool forwarded = false;
    while (true) {
        if (InterruptRequested() && !forwarded) {
            // Each worker halts its own target.
            for (Worker& w : workers)
                if (w.pid > 0 && !w.ended) ::kill(w.pid, SIGINT);
            forwarded = true;
        }
        std::vector<pollfd> fds;
        for (Worker& w : workers)
            if (w.out >= 0) fds.push_back(pollfd{w.out, POLLIN, 0});
        if (fds.empty()) break;
        if (::poll(fds.data(), fds.size(), 50) < 0 && errno != EINTR) break;
        for (const pollfd& p : fds) {
            if ((p.revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            for (Worker& w : workers) {
                if (w.out != p.fd) continue;
                char buffer[4096];
                const ssize_t n = ::read(w.out, buffer, sizeof buffer);
                if (n > 0 && w.text.size() < (1u << 20)) {
                    w.text.append(buffer, static_cast<std::size_t>(n));
                } else if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
                    ::close(w.out);
                    w.out = -1;
                }
            }
        }
    }
    int exit = kExitOk;
    for (Worker& w : workers) {
        if (w.pid > 0) {
            while (::waitpid(w.pid, &w.status, 0) < 0 && errno == EINTR) {
            }
        }
        const int code = CodeOf(w);
        // A worker writes exactly one line: its record.
        Json rec = Json::parse(w.text, nullptr, false);
        if (rec.is_discarded() || !rec.is_object()) {
            rec = Json{{"command", "burn"},
                       {"time", UtcTimestamp()},
                       {"host", HostName()},
                       {"adapter", w.serial},
                       {"result", code >= 128 ? "interrupted, state unknown" : "failed"},
                       {"message", Format("the worker ended with code %d and no report", code)},
                       {"exit", code == 0 ? kExitChip : code},
                       {"ok", false}};
            if (!g.log.empty()) {
                std::string why;
                const std::string error =
                    OpenAuditLog(g, why) ? ProcessAuditLog().Append(rec) : why;
                if (!error.empty()) rec["log_error"] = error;
            }
        }
        const int recorded = rec.value("exit", code);
        if (recorded > exit) exit = recorded;
        records.push_back(std::move(rec));
    }
    if (InterruptRequested()) exit = 128 + InterruptSignal();
    return exit;
}

}  // namespace cindral::cli
