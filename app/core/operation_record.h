// How an operation on a chip ended, for the output log: the same text the
// operator read in the box, with the adapter and the file it concerned.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "burn_guard.h"
#include "nvm_engine.h"
#include "ports.h"

namespace cindral {

// Passes every message on and, while recording, remembers the last box with
// an OK button: the one that tells how the operation ended. Boxes that a lost
// adapter holds back further in are remembered all the same.
class RecordingMessagePort final : public IMessagePort {
  public:
    explicit RecordingMessagePort(IMessagePort& inner) : inner_(inner) {}
    MsgResult ShowMessage(const std::u16string& text, const std::u16string& caption,
                          MsgButtons buttons, MsgIcon icon) override {
        if (recording_ && buttons == MsgButtons::Ok) last_ = text;
        return inner_.ShowMessage(text, caption, buttons, icon);
    }
    void Notify(const std::u16string& text, MsgIcon icon) override { inner_.Notify(text, icon); }

    void Start() {
        recording_ = true;
        last_.clear();
    }
    std::u16string Stop() {
        recording_ = false;
        return last_;
    }

  private:
    IMessagePort& inner_;
    bool recording_ = false;
    std::u16string last_;
};

// One log line: "<operation> ended: adapter <serial>[, <what> <file>]: <outcome>[; images
// burned: <n>]". The outcome's own line breaks become "; ".
std::u16string OperationEndLine(std::u16string_view operation, std::u16string_view serial,
                                std::u16string_view fileKind, std::u16string_view file,
                                std::u16string_view outcome, long long imagesBurned = -1);

// What a window shows of a running burn.
class IBurnProgress {
  public:
    virtual ~IBurnProgress() = default;
    virtual void BurnStarted() = 0;
    virtual void ImageStarted(long long index, long long count) = 0;
    virtual void Elapsed(std::chrono::milliseconds elapsed) = 0;
    virtual void BurnEnded() = 0;
};

// Counts the images a burn got in and tells the progress view as it goes. The
// engine asks StopRequested at every pause, which keeps the elapsed time current.
class BurnTally final : public IBurnMonitor {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    BurnTally(IBurnProgress* progress, Clock clock);

    void ImageStarted(long long index, long long count) override;
    void ImageJudged(long long index, const uint8_t block[4]) override;
    bool StopRequested() override;

    long long Burned() const { return burned_; }

  private:
    IBurnProgress* progress_;
    Clock clock_;
    std::chrono::steady_clock::time_point start_;
    long long burned_ = 0;
};

// Everything a page's Burn button does once its own checks passed: the two
// questions (a burn file older than a failed compose, a map with conflicts or
// errors), the burn with its progress, and the log line that says how it ended.
struct CheckedBurn {
    NvmEngine& engine;
    RecordingMessagePort& recorder;
    IEngineHost& host;
    const ComposeFailureMark& mark;
    IBurnProgress* progress = nullptr;
    BurnTally::Clock clock = [] { return std::chrono::steady_clock::now(); };

    // The engine's result, or -1 when the operator chose not to burn.
    int Run(bool direct);
};

}  // namespace cindral
