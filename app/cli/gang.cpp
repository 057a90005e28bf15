#include "gang.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "commands/support.h"
#include "console.h"
#include "core/text.h"
#include "zt/platform/console.h"
#include "zt/platform/process.h"

namespace cindral::cli {

namespace {

struct Worker {
    std::string serial;
    zt::platform::ChildProcess process;
    bool started = false;
    zt::platform::PipeReader out;  // its stdout
    zt::platform::PipeReader err;  // its stderr while the board is drawn
    std::string text;
    std::string errText;  // a line not yet complete
    ProgressState progress;
    long long startMs = 0, endMs = 0;
    int code = 0;
    bool ended = false;
};

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void WriteErr(const std::string& text) {
    zt::platform::WriteStandardError(text);
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
    int error = 0;
    if (!w.process.StartPiped(args, w.out, board ? &w.err : nullptr, &error)) return false;
    w.started = true;
    w.startMs = NowMs();
    return true;
}

// Reads what a pipe has; false once it is closed. A runaway worker is cut.
bool ReadSome(zt::platform::PipeReader& pipe, std::string& into) {
    std::string got;
    const bool open = pipe.ReadAvailable(got);
    if (into.size() < (1u << 20)) into += got;
    return open;
}

// The worker's own code, or 128 + the signal that ended it.
int CodeOf(zt::platform::ChildProcess& process) {
    using Wait = zt::platform::ChildProcess::Wait;
    Wait state;
    while ((state = process.WaitFor(1000)) == Wait::kRunning) {
    }
    if (state != Wait::kEnded) return kExitChip;
    if (process.end_signal() != 0) return 128 + process.end_signal();
    return process.exit_code() >= 0 ? process.exit_code() : kExitChip;
}

}  // namespace

int RunGang(const Globals& g, const std::vector<std::string>& serials,
            const std::vector<std::string>& workerArgs, std::vector<Json>& records) {
    std::vector<Worker> workers(serials.size());
    const bool boardShown = !g.quiet && zt::platform::IsTerminal(2);
    Board board(workers);
    for (std::size_t i = 0; i < serials.size(); ++i) {
        Worker& w = workers[i];
        w.serial = serials[i];
        std::vector<std::string> args = {zt::platform::SelfExecutable()};
        for (const std::string& a : GlobalArgs(g, boardShown)) args.push_back(a);
        for (const std::string& a : workerArgs) args.push_back(a);
        args.insert(args.end(), {"-a", w.serial});
        if (!Start(w, args, boardShown)) {
            w.ended = true;
            w.code = kExitChip;
        }
    }
    if (boardShown) board.Draw();
    bool forwarded = false;
    while (true) {
        if (InterruptRequested() && !forwarded) {
            // Each worker halts its own target.
            for (Worker& w : workers)
                if (w.started && !w.ended) w.process.Interrupt();
            forwarded = true;
        }
        std::vector<const zt::platform::PipeReader*> pipes;
        for (const Worker& w : workers) {
            if (w.out.IsOpen()) pipes.push_back(&w.out);
            if (w.err.IsOpen()) pipes.push_back(&w.err);
        }
        if (pipes.empty()) break;
        zt::platform::WaitForPipes(pipes, 50);
        for (Worker& w : workers) {
            if (w.out.IsOpen()) ReadSome(w.out, w.text);
            if (w.err.IsOpen()) {
                const bool open = ReadSome(w.err, w.errText);
                if (!open && !w.errText.empty()) w.errText += '\n';
                TakeErrorText(w, board);
            }
            if (!w.out.IsOpen() && !w.err.IsOpen() && !w.ended) {
                w.ended = true;
                w.endMs = NowMs();
            }
        }
        if (boardShown) board.Tick();
    }
    if (boardShown) board.Draw();
    int exit = kExitOk;
    for (Worker& w : workers) {
        const int code = w.started ? CodeOf(w.process) : w.code;
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
