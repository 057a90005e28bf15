#include "gang.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>

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
    int err = -1;  // read end of its stderr while the board is drawn
    std::string text;
    std::string errText;  // a line not yet complete
    ProgressState progress;
    long long startMs = 0, endMs = 0;
    int status = 0;
    bool ended = false;
};

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void WriteErr(const std::string& text) {
    ssize_t ignored = ::write(STDERR_FILENO, text.data(), text.size());
    (void)ignored;
}

// On a terminal: one line per adapter below the messages, redrawn in place.
class Board {
  public:
    explicit Board(std::vector<Worker>& workers) : workers_(workers) {}

    // Messages of the workers go above the board.
    void Message(const std::string& line) {
        WriteErr(Up() + "\r\x1b[J" + line + "\n");
        drawn_ = 0;
        Draw();
    }

    void Draw() {
        std::string text = Up();
        const long long now = NowMs();
        for (const Worker& w : workers_) {
            const long long seconds = ((w.ended ? w.endMs : now) - w.startMs) / 1000;
            const std::string state = w.ended && w.progress.images == 0
                                          ? std::string("finished")
                                          : ProgressText(w.progress, seconds);
            text += "\r\x1b[K" + FitTerminal(w.serial + "  " + state) + "\n";
        }
        WriteErr(text);
        drawn_ = static_cast<int>(workers_.size());
        lastMs_ = now;
    }

    // The elapsed times move on even while nothing is reported.
    void Tick() {
        if (NowMs() - lastMs_ >= 1000) Draw();
    }

  private:
    std::string Up() const { return drawn_ > 0 ? Format("\x1b[%dA", drawn_) : std::string(); }
    std::vector<Worker>& workers_;
    int drawn_ = 0;
    long long lastMs_ = 0;
};

// A worker's stderr: progress reports move its board line, the rest are messages.
void TakeErrorText(Worker& w, Board& board) {
    std::size_t nl;
    while ((nl = w.errText.find('\n')) != std::string::npos) {
        const std::string line = w.errText.substr(0, nl);
        w.errText.erase(0, nl + 1);
        if (!line.empty() && line[0] == kProgressReport) {
            std::istringstream in(line.substr(1));
            ProgressState p;
            in >> p.image >> p.images >> p.percent;
            std::getline(in >> std::ws, p.caption);
            if (in.fail() && !in.eof()) continue;
            w.progress = p;
            board.Draw();
        } else {
            board.Message(line);
        }
    }
}

std::vector<std::string> GlobalArgs(const Globals& g, bool board) {
    std::vector<std::string> args;
    if (board) args.push_back("--progress-report");
    if (g.json) args.push_back("--json");
    if (g.yes) args.push_back("--yes");
    if (g.quiet) args.push_back("-q");
    if (!g.log.empty()) args.insert(args.end(), {"--log", g.log});
    args.insert(args.end(), {"--poll-ms", std::to_string(g.pollMs)});
    return args;
}

bool Start(Worker& w, const std::vector<std::string>& args, bool board) {
    int fds[2], errs[2] = {-1, -1};
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    if (board && pipe2(errs, O_CLOEXEC) != 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    if (board) posix_spawn_file_actions_adddup2(&actions, errs[1], STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int rc = posix_spawn(&w.pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (board) ::close(errs[1]);
    if (rc != 0) {
        ::close(fds[0]);
        if (board) ::close(errs[0]);
        w.pid = -1;
        return false;
    }
    w.out = fds[0];
    w.err = errs[0];
    w.startMs = NowMs();
    return true;
}

// Reads what a pipe has; false once it is closed (and closes it).
bool ReadSome(int& fd, std::string& into) {
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
        if (into.size() < (1u << 20)) into.append(buffer, static_cast<std::size_t>(n));
        return true;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    ::close(fd);
    fd = -1;
    return false;
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
    const bool boardShown = !g.quiet && isatty(STDERR_FILENO) == 1;
    Board board(workers);
    for (std::size_t i = 0; i < serials.size(); ++i) {
        Worker& w = workers[i];
        w.serial = serials[i];
        std::vector<std::string> args = {"cindral-cli"};
        for (const std::string& a : GlobalArgs(g, boardShown)) args.push_back(a);
        for (const std::string& a : workerArgs) args.push_back(a);
        args.insert(args.end(), {"-a", w.serial});
        if (!Start(w, args, boardShown)) {
            w.ended = true;
            w.status = kExitChip << 8;
        }
    }
    if (boardShown) board.Draw();
    bool forwarded = false;
    while (true) {
        if (InterruptRequested() && !forwarded) {
            // Each worker halts its own target.
            for (Worker& w : workers)
                if (w.pid > 0 && !w.ended) ::kill(w.pid, SIGINT);
            forwarded = true;
        }
        std::vector<pollfd> fds;
        for (Worker& w : workers) {
            if (w.out >= 0) fds.push_back(pollfd{w.out, POLLIN, 0});
            if (w.err >= 0) fds.push_back(pollfd{w.err, POLLIN, 0});
        }
        if (fds.empty()) break;
        if (::poll(fds.data(), fds.size(), 50) < 0 && errno != EINTR) break;
        for (const pollfd& p : fds) {
            if ((p.revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            for (Worker& w : workers) {
                if (w.out == p.fd) {
                    ReadSome(w.out, w.text);
                } else if (w.err == p.fd) {
                    const bool open = ReadSome(w.err, w.errText);
                    if (!open && !w.errText.empty()) w.errText += '\n';
                    TakeErrorText(w, board);
                }
                if (w.out < 0 && w.err < 0 && !w.ended) {
                    w.ended = true;
                    w.endMs = NowMs();
                }
            }
        }
        if (boardShown) board.Tick();
    }
    if (boardShown) board.Draw();
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
