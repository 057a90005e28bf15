// Console implementations of the program's ports: messages to stderr,
// questions answered by --yes, no file dialogs, real sleeping, and the
// interrupt flag that Ctrl-C raises.
#pragma once

#include <string>
#include <vector>

#include "core/nvm_engine.h"
#include "core/ports.h"

namespace cindral::cli {

// SIGINT and SIGTERM only raise a flag; the operation in progress halts the
// target at its next step and the program ends with 128 + the signal.
void InstallInterruptHandlers();
bool InterruptRequested();
int InterruptSignal();

// How progress is shown on stderr.
enum class ProgressMode {
    kNone,     // -q
    kLines,    // stderr is no terminal: a plain line per image and per step
    kInPlace,  // a terminal: one line, redrawn
    kReport,   // a gang worker: machine lines for the parent's board
};

// A gang worker's progress line on its stderr starts with this byte; the rest
// is "IMAGE IMAGES PERCENT CAPTION".
inline constexpr char kProgressReport = '\x1e';

// Where an adapter's work is: what its progress line shows.
struct ProgressState {
    long long image = 0, images = 0;  // 0 before the first image
    int percent = -1;                 // -1: none yet
    std::string caption;              // the library's step ("Downloading...")
};

// "image 1 of 2  Downloading  45%  0:07"; seconds is the time since the start.
std::string ProgressText(const ProgressState& state, long long seconds);

// Cut to the width of the terminal on stderr (80 columns when unknown).
std::string FitTerminal(const std::string& line);

// What the console may print on stderr.
struct ConsoleStyle {
    ConsoleStyle() = default;
    ConsoleStyle(const ConsoleStyle&) = delete;
    ConsoleStyle& operator=(const ConsoleStyle&) = delete;
    // A progress line still drawn is ended, so that what follows starts clean.
    ~ConsoleStyle() { EndProgress(); }

    bool quiet = false;
    bool progress = false;  // progress is shown at all (not quiet)
    ProgressMode mode = ProgressMode::kNone;
    std::string prefix;  // "SERIAL: " while an adapter is at work
    void Line(const std::string& text) const;
    // The adapter's progress moved; shown as the mode says.
    void Progress(const ProgressState& now) const;
    void EndProgress() const;
    const ProgressState& CurrentProgress() const { return state_; }
    // Every message and log line, in order; the last one says how it ended.
    mutable std::vector<std::string> transcript;

  private:
    void Draw() const;
    mutable ProgressState state_;
    mutable long long startMs_ = -1;
    mutable bool drawn_ = false;
};

// The mode for this process: quiet, a gang worker (report), a terminal or not.
ProgressMode ChooseProgressMode(bool quiet, bool report, bool terminal);

class ConsoleMessages final : public IMessagePort {
  public:
    ConsoleMessages(const ConsoleStyle& style, bool yes) : style_(style), yes_(yes) {}
    MsgResult ShowMessage(const std::u16string& text, const std::u16string& caption,
                          MsgButtons buttons, MsgIcon icon) override;
    // Every text shown, in order.
    const std::vector<std::string>& Shown() const { return shown_; }
    // The last question answered No or Cancel (without --yes), or empty.
    const std::string& Declined() const { return declined_; }

  private:
    const ConsoleStyle& style_;
    bool yes_;
    std::vector<std::string> shown_;
    std::string declined_;
};

class NoFileDialogs final : public IFileDialogPort {
  public:
    std::optional<std::u16string> OpenFile(const FileDialogRequest&) override { return {}; }
    std::optional<std::u16string> SaveFile(const FileDialogRequest&) override { return {}; }
};

// Sleeps for real, but wakes at once when an interrupt is pending.
class RealSleep final : public ISleepPort {
  public:
    void Sleep(int milliseconds) override;
    long long NowMs() override;
};

class NoPump final : public IMessagePump {
  public:
    void PumpMessages() override {}
};

// The library's progress dialogs as lines on a terminal; Cancel is Ctrl-C.
class ConsoleProgress final : public IProgressPort {
  public:
    explicit ConsoleProgress(const ConsoleStyle& style) : style_(style) {}
    void* Create(const std::u16string& caption, const std::u16string& status, int lower,
                 int upper) override;
    void SetPosition(void* dialog, int position, const std::u16string* percentText) override;
    void SetStatus(void* dialog, const std::u16string& status) override;
    bool Cancelled(void*) override { return InterruptRequested(); }
    void Destroy(void* dialog) override;

  private:
    const ConsoleStyle& style_;
    int lower_ = 0, upper_ = 100;
};

// The engine's output log and composer output, kept for the report.
class ConsoleHost final : public IEngineHost {
  public:
    explicit ConsoleHost(const ConsoleStyle& style) : style_(style) {}
    int connected = 0;
    int DeviceConnected() override { return connected; }
    void WriteOutputLine(const std::u16string& text) override;
    void AppendOutputFile(const std::string& path) override;

    const std::vector<std::string>& Lines() const { return lines_; }
    const std::string& ComposerOutput() const { return composerOutput_; }

  private:
    const ConsoleStyle& style_;
    std::vector<std::string> lines_;
    std::string composerOutput_;
};

// Text without trailing line breaks, CR LF and CR turned into LF.
std::string Tidy(const std::u16string& text);

}  // namespace cindral::cli
