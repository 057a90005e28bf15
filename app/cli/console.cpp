#include "console.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

#include "core/text.h"
#include "zt/platform/interrupt.h"

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
    std::string s = NarrowText(text, text.size() + 1);
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

void ConsoleStyle::Line(const std::string& text) const {
    if (quiet) return;
    // One write per line, so that the lines of parallel workers stay whole.
    std::string line;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part);) line += prefix + part + "\n";
    if (line.empty()) line = prefix + "\n";
    ssize_t ignored = ::write(STDERR_FILENO, line.data(), line.size());
    (void)ignored;
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
    caption_ = Tidy(caption);
    lower_ = lower;
    upper_ = upper > lower ? upper : lower + 1;
    shownPercent_ = -1;
    if (style_.progress) style_.Line(caption_ + ": " + Tidy(status));
    return this;
}

void ConsoleProgress::SetPosition(void*, int position, const std::u16string*) {
    const int percent = static_cast<int>((static_cast<long long>(position) - lower_) * 100 /
                                         (static_cast<long long>(upper_) - lower_));
    // Every tenth is enough on a terminal.
    if (!style_.progress || percent / 10 == shownPercent_ / 10) return;
    shownPercent_ = percent;
    style_.Line(caption_ + Format(": %d%%", percent));
}

void ConsoleProgress::SetStatus(void*, const std::u16string& status) {
    if (style_.progress) style_.Line(caption_ + ": " + Tidy(status));
}

void ConsoleProgress::Destroy(void*) {
    shownPercent_ = -1;
}

void ConsoleHost::WriteOutputLine(const std::u16string& text) {
    const std::string t = Tidy(text);
    lines_.push_back(t);
    style_.transcript.push_back(t);
    char stamp[16] = {};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
    style_.Line(std::string(stamp) + " " + t);
}

void ConsoleHost::AppendOutputFile(const std::string& path) {
    // The composer says a few lines; a runaway one is cut, not held whole.
    constexpr std::size_t kMaxOutput = 1u << 20;
    std::ifstream in(path, std::ios::binary);
    std::string text(kMaxOutput, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    composerOutput_ = std::move(text);
}

}  // namespace cindral::cli
