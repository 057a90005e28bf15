#include "console.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

#include "core/text.h"
#include "zt/platform/console.h"
#include "zt/platform/interrupt.h"
#include "zt/platform/system.h"

namespace cindral::cli {

void InstallInterruptHandlers() {
    zt::platform::CatchInterrupts();
}

bool InterruptRequested() {
    return zt::platform::InterruptSignal() != 0;
}

int InterruptSignal() {
    return zt::platform::InterruptSignal();
}

std::string Tidy(const std::u16string& text) {
    // Up to a NUL, as the library's C strings end.
    std::string s = ToUtf8(std::u16string_view(text).substr(0, text.find(u'\0')));
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r') {
            if (i + 1 < s.size() && s[i + 1] == '\n') continue;
            out += '\n';
        } else {
            out += s[i];
        }
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

namespace {

void WriteErr(const std::string& text) {
    zt::platform::WriteStandardError(text);
}

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The library's texts span lines; a progress line is one.
std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        const char d = (c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
        if (d == ' ' && (out.empty() || out.back() == ' ')) continue;
        out += d;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// Return to the start of the line and clear it.
constexpr const char* kClearLine = "\r\x1b[K";

}  // namespace

std::string ProgressText(const ProgressState& state, long long seconds) {
    std::string text;
    auto add = [&text](const std::string& part) {
        if (part.empty()) return;
        if (!text.empty()) text += "  ";
        text += part;
    };
    if (state.images > 0) add(Format("image %lld of %lld", state.image, state.images));
    add(state.caption);
    if (state.percent >= 0) add(Format("%3d%%", state.percent));
    add(Format("%lld:%02lld", seconds / 60, seconds % 60));
    return text;
}

std::string FitTerminal(const std::string& line) {
    const int known = zt::platform::TerminalColumns();
    const std::size_t columns = known > 0 ? static_cast<std::size_t>(known) : 80;
    // A line that wraps could not be drawn over again.
    return line.size() < columns ? line : line.substr(0, columns - 1);
}

ProgressMode ChooseProgressMode(bool quiet, bool report, bool terminal) {
    if (quiet) return ProgressMode::kNone;
    if (report) return ProgressMode::kReport;
    return terminal ? ProgressMode::kInPlace : ProgressMode::kLines;
}

void ConsoleStyle::Line(const std::string& text) const {
    if (quiet) return;
    // One write per line, so that the lines of parallel workers stay whole.
    std::string line;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part);) line += prefix + part + "\n";
    if (line.empty()) line = prefix + "\n";
    // The message goes above the progress line, which is drawn again below it.
    if (drawn_) line = kClearLine + line;
    WriteErr(line);
    if (drawn_) {
        drawn_ = false;
        Draw();
    }
}

void ConsoleStyle::Progress(const ProgressState& next) const {
    ProgressState now = next;
    now.caption = OneLine(now.caption);
    const ProgressState before = state_;
    state_ = now;
    if (startMs_ < 0) startMs_ = NowMs();
    switch (mode) {
        case ProgressMode::kNone:
            return;
        case ProgressMode::kLines: {
            // A log gets a line for each image and each step, not every percent.
            const bool newImage = now.image != before.image || now.images != before.images;
            const bool newStep = now.caption != before.caption && !now.caption.empty();
            if (newImage || newStep) Line(ProgressText(now, (NowMs() - startMs_) / 1000));
            return;
        }
        case ProgressMode::kInPlace:
            Draw();
            return;
        case ProgressMode::kReport:
            WriteErr(Format("%c%lld %lld %d %s\n", kProgressReport, now.image, now.images,
                            now.percent, now.caption.c_str()));
            return;
    }
}

void ConsoleStyle::Draw() const {
    std::string name = prefix;
    if (name.size() >= 2 && name.compare(name.size() - 2, 2, ": ") == 0)
        name.resize(name.size() - 2);
    const std::string text = ProgressText(state_, (NowMs() - startMs_) / 1000);
    WriteErr(kClearLine + FitTerminal(name.empty() ? text : name + "  " + text));
    drawn_ = true;
}

void ConsoleStyle::EndProgress() const {
    if (!drawn_) return;
    WriteErr("\n");
    drawn_ = false;
}

MsgResult ConsoleMessages::ShowMessage(const std::u16string& text, const std::u16string&,
                                       MsgButtons buttons, MsgIcon) {
    const std::string t = Tidy(text);
    shown_.push_back(t);
    style_.transcript.push_back(t);
    MsgResult answer = MsgResult::Ok;
    const char* said = nullptr;
    switch (buttons) {
        case MsgButtons::Ok:
            break;
        case MsgButtons::OkCancel:
            answer = yes_ ? MsgResult::Ok : MsgResult::Cancel;
            said = yes_ ? "OK" : "Cancel";
            break;
        case MsgButtons::YesNo:
        case MsgButtons::YesNoCancel:
        case MsgButtons::YesNoDefaultNo:
            answer = yes_ ? MsgResult::Yes : MsgResult::No;
            said = yes_ ? "Yes" : "No";
            break;
    }
    if (said != nullptr && !yes_) declined_ = t;
    if (said == nullptr) {
        style_.Line(t);
    } else {
        style_.Line(t + "\n-> answered " + said + (yes_ ? " (--yes)" : " (without --yes)"));
    }
    return answer;
}

void RealSleep::Sleep(int milliseconds) {
    struct timespec left {
        milliseconds / 1000, (milliseconds % 1000) * 1000000L
    };
    while (!InterruptRequested() && nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

long long RealSleep::NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void* ConsoleProgress::Create(const std::u16string& caption, const std::u16string& status,
                              int lower, int upper) {
    lower_ = lower;
    upper_ = upper > lower ? upper : lower + 1;
    ProgressState now = style_.CurrentProgress();
    // The status says what is going on; the caption only names the dialog.
    const std::string detail = Tidy(status);
    now.caption = detail.empty() ? Tidy(caption) : detail;
    now.percent = -1;
    style_.Progress(now);
    return this;
}

void ConsoleProgress::SetPosition(void*, int position, const std::u16string*) {
    long long percent = (static_cast<long long>(position) - lower_) * 100 /
                        (static_cast<long long>(upper_) - lower_);
    percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    ProgressState now = style_.CurrentProgress();
    if (now.percent == static_cast<int>(percent)) return;
    now.percent = static_cast<int>(percent);
    style_.Progress(now);
}

void ConsoleProgress::SetStatus(void*, const std::u16string& status) {
    const std::string detail = Tidy(status);
    if (detail.empty()) return;
    ProgressState now = style_.CurrentProgress();
    now.caption = detail;
    style_.Progress(now);
}

void ConsoleProgress::Destroy(void*) {
    ProgressState now = style_.CurrentProgress();
    now.caption.clear();
    now.percent = -1;
    style_.Progress(now);
}

void ConsoleHost::WriteOutputLine(const std::u16string& text) {
    const std::string t = Tidy(text);
    lines_.push_back(t);
    style_.transcript.push_back(t);
    char stamp[16] = {};
    const std::tm local = zt::platform::LocalTime(std::time(nullptr));
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
    style_.Line(std::string(stamp) + " " + t);
}

void ConsoleHost::AppendOutputFile(const std::string& path) {
    // The composer says a few lines; a runaway one is cut, not held whole.
    constexpr std::size_t kMaxOutput = 1u << 20;
    std::ifstream in(Utf8Path(path), std::ios::binary);
    std::string text(kMaxOutput, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    composerOutput_ = std::move(text);
}

}  // namespace cindral::cli
