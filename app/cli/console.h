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

// What the console may print on stderr.
struct ConsoleStyle {
    bool quiet = false;
    bool progress = false;  // stderr is a terminal and not quiet
    std::string prefix;     // "SERIAL: " while an adapter is at work
    void Line(const std::string& text) const;
    // Every message and log line, in order; the last one says how it ended.
    mutable std::vector<std::string> transcript;
};

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
    std::string caption_;
    int lower_ = 0, upper_ = 100, shownPercent_ = -1;
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
