// The compose-and-burn engine of the Main and Direct Burn pages: runs the
// composer hidden with its output captured, and burns an NVM burn file by
// downloading and running each burner image and judging its result block.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "burn_file.h"
#include "command_line.h"
#include "operation_gate.h"
#include "ordwin_api.h"
#include "ports.h"
#include "zt/firmware_layout.h"

namespace cindral {

// What the engine needs of the window: the Device page's connection flag and
// its output log.
class IEngineHost {
  public:
    virtual ~IEngineHost() = default;
    virtual int DeviceConnected() = 0;
    virtual void WriteOutputLine(const std::u16string& text) = 0;
    virtual void AppendOutputFile(const std::string& path) = 0;
    // The connected adapter's serial number, for the log.
    virtual std::u16string AdapterSerial() { return {}; }
};

// What a headless caller hears of a burn, and how it stops one. Cindral sets none.
class IBurnMonitor {
  public:
    virtual ~IBurnMonitor() = default;
    virtual void ImageStarted(long long /*index*/, long long /*count*/) {}
    virtual void ImageJudged(long long /*index*/, const uint8_t /*block*/[4]) {}
    virtual void ImageTimedOut(long long /*index*/) {}
    // After the last image: the chip's user CRC against the reference the
    // burn file wrote; only called when the file wrote one.
    virtual void UserCrcChecked(bool /*matches*/, const std::string& /*text*/) {}
    // Asked before each step and at every poll; true ends the burn with the
    // target halted.
    virtual bool StopRequested() { return false; }
};

// What a page hands the engine before each compose or burn: copies of its
// check states and lists, so the engine never reads a page behind its back.
struct NvmOptions {
    // Main page side.
    uint8_t strict = 0;
    uint8_t overwrite = 0;
    uint8_t user = 0;
    uint8_t xoEarlyEnable = 0;
    uint8_t exeUserBoot = 0;
    uint8_t run = 0;
    uint8_t nvmDisable = 0;
    uint8_t mtpDisable = 0;
    uint8_t ramClear = 0;
    uint8_t c2Disable = 0;
    std::vector<NVMData> bootFiles;
    std::vector<NVMData> appFiles;
    std::u16string burnFile;
    // Direct Burn page side.
    uint8_t directFromFile = 0;
    uint8_t directStrict = 0;
    std::u16string directBurnFile;
    std::u16string directText;
    std::u16string directNvmBurnFile;
    uint8_t directOverwrite = 0;
};

class NvmEngine {
  public:
    static constexpr std::size_t kPathBufferSize = 2048;
    static constexpr unsigned kResultAddress = zt::burner::kResultAddress;
    static constexpr unsigned kBreakAddress = zt::burner::kBreakAddress;
    static constexpr int kPolls = 25;
    static constexpr int kPollIntervalMs = 1000;
    static constexpr int kPollDeadlineMs = kPolls * kPollIntervalMs;
    // The poll interval is slept in slices with the events run between them.
    static constexpr int kPollSliceMs = 100;
    static constexpr int kComposerSliceMs = 200;

    // programDirectory ends in a separator; the composer and its log live there.
    NvmEngine(IOrdwin& ordwin, Ports ports, IEngineHost& host, std::u16string programDirectory,
              OperationGate& gate = OperationGate::Shared());

    const NvmOptions& Options() const { return options_; }
    NvmOptions& Options() { return options_; }
    void SetOptions(NvmOptions options) { options_ = std::move(options); }

    const std::u16string& ComposerPath() const { return composerPath_; }
    const std::u16string& ProgramDirectory() const { return programDirectory_; }
    const std::u16string& OutputPath() const { return outputPath_; }
    OperationGate& Gate() { return gate_; }

    // 1 on success, 0 on failure; the operator has seen why.
    int Compose();
    int DirectCompose();
    // 1 when the call ran to its end (Burn: and every image succeeded), else 0.
    int Burn();
    int DirectBurn();
    // The same on a burn file already read: the bytes checked (and hashed) by
    // the caller are the bytes burned, whatever the path names by now.
    int BurnBytes(const std::string& data, bool direct);

    struct RunResult {
        bool success = false;
        bool ran = false;  // the process started and ended; exitCode is valid
        int exitCode = 0;
        // The composer was asked for (past the compose's own refusals); a
        // compose that then fails leaves the burn file in doubt.
        bool attempted = false;
    };
    // Runs the program hidden with these arguments (each handed over whole),
    // standard output and error into outputFile, running the window's events
    // while it waits. commandLine is what the operator is shown.
    RunResult RunHidden(const std::u16string& program, const std::vector<std::u16string>& args,
                        const std::u16string& commandLine, const std::string& outputFile);
    void ShowComposerError(int exitCode);
    // With the composer's own error lines under the code's text.
    void ShowComposerError(int exitCode, const std::u16string& detail);
    // How the last Compose or DirectCompose's composer run ended.
    const RunResult& LastRun() const { return lastRun_; }
    static std::u16string ComposerErrorText(int exitCode);

    // The command lines Compose and DirectCompose would run with the current fields.
    std::u16string ComposeCommandLine() const;
    std::u16string DirectCommandLine() const;
    // Their arguments after the composer's path, each one whole.
    std::vector<std::u16string> ComposeArgs() const;
    std::vector<std::u16string> DirectArgs() const;

    // Tests use short slices to see the events run while a child runs.
    void SetComposerSliceMs(int ms) { composerSliceMs_ = ms; }
    // Polls the burner at this interval within the same deadline (Cindral: 1000 ms).
    void SetPollIntervalMs(int ms) { pollIntervalMs_ = ms > 0 ? ms : kPollIntervalMs; }
    void SetBurnMonitor(IBurnMonitor* monitor) { monitor_ = monitor; }

  private:
    enum class ImageOutcome { kNext, kStopFlag, kReturnZero };

    int RunCompose(bool direct);
    int RunBurn(bool direct, const std::string* given);
    int BurnChecked(const std::string& data, bool direct);
    bool UserCrcHolds(const std::array<uint8_t, 4>& reference);
    ImageOutcome BurnOneImage(const BurnImage& image, long long index, long long count, bool direct,
                              bool deferSuccess);
    void WaitPumping(int milliseconds);
    ImageOutcome StepFailed(const char16_t* logLine, const char* step, long long index,
                            long long count);
    bool StopRequested() { return monitor_ != nullptr && monitor_->StopRequested(); }
    ImageOutcome Interrupted();
    void Log(const char16_t* text) { host_.WriteOutputLine(text); }
    void Tell(const std::u16string& text, MsgIcon icon = MsgIcon::Error) {
        ports_.messages.Ok(text, icon);
    }

    IOrdwin& ordwin_;
    Ports ports_;
    IEngineHost& host_;
    OperationGate& gate_;
    NvmOptions options_;
    std::u16string programDirectory_;
    std::u16string composerPath_;
    std::u16string outputPath_;
    int composerSliceMs_ = kComposerSliceMs;
    int pollIntervalMs_ = kPollIntervalMs;
    IBurnMonitor* monitor_ = nullptr;
    RunResult lastRun_;
};

// Only regular files are read as burn files: a device or a pipe named by the
// operator would never end or never open.
bool IsRegularFile(const std::u16string& path);

// The lines of the composer's output that say what went wrong ("marlspin: error: ..."),
// at most a few, joined by line breaks.
std::u16string ComposerErrorLines(std::string_view output);

// The message of a burner's result block.
std::u16string BurnResultMessage(const uint8_t block[4], bool direct);

}  // namespace cindral
