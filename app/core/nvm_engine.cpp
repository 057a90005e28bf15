#include "nvm_engine.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>

#include "crc_report.h"
#include "file_helpers.h"
#include "text.h"
#include "work_place.h"
#include "zt/composer_exit.h"
#include "zt/platform/process.h"
#include "zt/zeltra_map.h"

namespace cindral {

namespace {

constexpr const char16_t* kOutputName = u"marlspin.log";

// Restores the saved working directory on every way out.
class WorkingDirectoryScope {
  public:
    explicit WorkingDirectoryScope(const std::u16string& enter) : saved_(GetWorkingDirectory()) {
        SetWorkingDirectory(enter);
    }
    ~WorkingDirectoryScope() {
        if (!saved_.empty()) SetWorkingDirectory(saved_);
    }
    WorkingDirectoryScope(const WorkingDirectoryScope&) = delete;
    WorkingDirectoryScope& operator=(const WorkingDirectoryScope&) = delete;

  private:
    std::u16string saved_;
};

// The composer's captured output, for its error lines; a runaway log is cut.
std::string ReadComposerOutput(const std::string& path) {
    constexpr std::size_t kLargest = 64 * 1024;
    std::ifstream in(Utf8Path(path), std::ios::binary);
    std::string text(kLargest, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(std::max<std::streamsize>(0, in.gcount())));
    return text;
}

}  // namespace

bool IsRegularFile(const std::u16string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(ToPath(path), ec);
}

NvmEngine::NvmEngine(IOrdwin& ordwin, Ports ports, IEngineHost& host,
                     std::u16string programDirectory, OperationGate& gate)
    : ordwin_(ordwin),
      ports_(ports),
      host_(host),
      gate_(gate),
      programDirectory_(std::move(programDirectory)),
      composerPath_(programDirectory_ + u"marlspin" + WidenText(zt::platform::ExecutableSuffix())),
      outputPath_(programDirectory_ + kOutputName) {}

std::u16string NvmEngine::ComposerErrorText(int code) {
    return WidenText(zt::composer::ExitCodeText(code));
}

void NvmEngine::ShowComposerError(int code) {
    ShowComposerError(code, u"");
}

void NvmEngine::ShowComposerError(int code, const std::u16string& detail) {
    std::u16string text = WidenText(Format("Return code: %d: ", code)) + ComposerErrorText(code);
    if (!detail.empty()) text += u"\n\n" + detail;
    Tell(text);
}

std::u16string ComposerErrorLines(std::string_view output) {
    constexpr std::size_t kMostLines = 4;
    constexpr std::size_t kLongestLine = 300;
    std::u16string lines;
    std::size_t taken = 0;
    std::size_t at = 0;
    while (at < output.size() && taken < kMostLines) {
        std::size_t end = output.find('\n', at);
        if (end == std::string_view::npos) end = output.size();
        std::string_view line = output.substr(at, end - at);
        at = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
        std::string lower(line);
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (lower.find("error") == std::string::npos &&
            lower.find("exception") == std::string::npos)
            continue;
        if (!lines.empty()) lines += u"\n";
        lines += WidenText(line.substr(0, kLongestLine));
        ++taken;
    }
    return lines;
}

namespace {

ComposeSwitches SwitchesOf(const NvmOptions& o) {
    ComposeSwitches s;
    s.strict = o.strict == 1;
    s.user = o.user == 1;
    s.xoEarlyEnable = o.xoEarlyEnable == 1;
    s.exeUserBoot = o.exeUserBoot == 1;
    s.run = o.run == 1;
    s.nvmDisable = o.nvmDisable == 1;
    s.mtpDisable = o.mtpDisable == 1;
    s.ramClear = o.ramClear == 1;
    s.c2Disable = o.c2Disable == 1;
    return s;
}

}  // namespace

std::u16string NvmEngine::ComposeCommandLine() const {
    const NvmOptions& o = options_;
    return BuildComposeCommandLine(composerPath_, o.bootFiles, o.appFiles, o.burnFile,
                                   SwitchesOf(o));
}

std::vector<std::u16string> NvmEngine::ComposeArgs() const {
    const NvmOptions& o = options_;
    return ComposeArguments(o.bootFiles, o.appFiles, o.burnFile, SwitchesOf(o));
}

std::vector<std::u16string> NvmEngine::DirectArgs() const {
    const NvmOptions& o = options_;
    return DirectArguments(o.directFromFile == 1, o.directBurnFile, o.directText,
                           o.directNvmBurnFile, o.directStrict == 1);
}

std::u16string NvmEngine::DirectCommandLine() const {
    const NvmOptions& o = options_;
    return BuildDirectCommandLine(composerPath_, o.directFromFile == 1, o.directBurnFile,
                                  o.directText, o.directNvmBurnFile, o.directStrict == 1);
}

int NvmEngine::Compose() {
    return RunCompose(false);
}

int NvmEngine::DirectCompose() {
    return RunCompose(true);
}

int NvmEngine::RunCompose(bool direct) {
    OperationGate::Ticket ticket = gate_.TryEnter();
    if (!ticket) return 0;
    lastRun_ = RunResult();
    WorkingDirectoryScope cwd(programDirectory_);

    if (host_.DeviceConnected() == 0) {
        Tell(u"Please connect to device prior to Compose execution.");
        return 0;
    }
    const std::u16string& target = direct ? options_.directNvmBurnFile : options_.burnFile;
    const bool replace = (direct ? options_.directOverwrite : options_.overwrite) != 0;
    if (IsRegularFile(target) && FileHasData(target) && !replace) {
        std::u16string question = u"NVM Burn File " + target +
                                  u" exists!\nPress OK to overwrite the file and continue.\n";
        if (ports_.messages.ShowMessage(question, u"", MsgButtons::OkCancel, MsgIcon::Question) ==
            MsgResult::Cancel)
            return 0;
    }
    if (direct && options_.directFromFile == 1) {
        if (options_.directBurnFile.empty()) {
            Tell(u"Direct Burn File Selection Required!\n");
            return 0;
        }
        if (!IsRegularFile(options_.directBurnFile) || !FileExists(options_.directBurnFile)) {
            Tell(u"Direct Burn File does not exist!\n");
            return 0;
        }
    }
    if (!direct) {
        if (const NVMData* bad = FirstInvalidAddress(options_.bootFiles, options_.appFiles)) {
            Tell(InvalidNvmAddressText(bad->nvmAddress));
            return 0;
        }
    }
    const std::u16string commandLine = direct ? DirectCommandLine() : ComposeCommandLine();
    const WorkPlace place = ChooseWorkPlace(programDirectory_);
    outputPath_ = place.directory + kOutputName;
    if (place.notice) host_.WriteOutputLine(WorkPlaceNotice(programDirectory_, place));
    const std::string output = NarrowText(outputPath_, kPathBufferSize);
    host_.WriteOutputLine(u"Invoking Marlspin\n");
    host_.WriteOutputLine(commandLine);
    RunResult r =
        RunHidden(composerPath_, direct ? DirectArgs() : ComposeArgs(), commandLine, output);
    r.attempted = true;
    lastRun_ = r;
    int result = 1;
    if (r.ran && r.exitCode != 0) {
        ShowComposerError(r.exitCode, ComposerErrorLines(ReadComposerOutput(output)));
        result = 0;
    }
    if (!r.success) result = 0;
    host_.AppendOutputFile(output);
    return result;
}

NvmEngine::RunResult NvmEngine::RunHidden(const std::u16string& program,
                                          const std::vector<std::u16string>& args,
                                          const std::u16string& commandLine,
                                          const std::string& outputFile) {
    RunResult r;
    // Only this child gets the file, as its output and its errors.
    zt::platform::OutputFile output;
    const std::string failure = output.Create(outputFile);
    if (!failure.empty()) {
        Tell(u"Error has occured creating output file: \n" + WidenText(outputFile) + u"\n" +
             WidenText(failure));
        return r;
    }
    std::vector<std::string> argv{ToUtf8(program)};
    for (const std::u16string& arg : args) argv.push_back(ToUtf8(arg));
    zt::platform::ChildProcess process;
    int code = 0;
    if (!process.Start(argv, output, &code)) {
        Tell(WidenText(Format("Warning - Could not create process (%d)!!\n\r\r", code)) +
             commandLine + u"\n\r\rConfirm command path.");
        return r;
    }
    using Wait = zt::platform::ChildProcess::Wait;
    Wait state;
    while ((state = process.WaitFor(composerSliceMs_)) == Wait::kRunning)
        ports_.pump.PumpMessages();
    if (state == Wait::kEnded) {
        r.ran = true;
        r.exitCode = process.exit_code();
        r.success = true;
    } else {
        process.Kill();
    }
    if (output.Size() <= 0) r.success = false;
    return r;
}

// --- burning -------------------------------------------------------------------------------

std::u16string BurnResultMessage(const uint8_t b[4], bool direct) {
    if (b[0] == zt::burner::kResultSuccess) return u"Burn Succeeded";
    if (b[0] != zt::burner::kResultFailure)
        return WidenText(Format("Undefined Burn Result!: 0x%02x-0x%02x", b[0], b[1]));
    switch (b[1]) {
        case zt::zeltra::kBurnXdataOverflow:
            return WidenText(Format("XDATA address Overflow\nError Code: 0x%02x", b[1]));
        case zt::zeltra::kBurnConflict:
            return WidenText(
                Format("Bit Conflict\nError Code: 0x%02x\nBit Failure Address: 0x%02X%02X", b[1],
                       b[2], b[3]));
        case zt::zeltra::kBurnThreshold:
            return WidenText(
                direct ? Format("Exceeded Burn Threshold\nError Code: 0x%02x\nBit Failure "
                                "Address: 0x%02X%02X",
                                b[1], b[2], b[3])
                       : Format("Burn threshold error - verify 6.5V presence\nError Code: "
                                "0x%02x\nBit Failure Address: 0x%02X%02X",
                                b[1], b[2], b[3]));
        case zt::zeltra::kBurnRange:
            return WidenText(Format("Burn outside valid NVM address\nError Code: 0x%02x", b[1]));
        default:
            return WidenText(Format("Undefined Burn Failure: 0x%02x", b[1]));
    }
}

int NvmEngine::Burn() {
    return RunBurn(false, nullptr);
}

int NvmEngine::DirectBurn() {
    return RunBurn(true, nullptr);
}

int NvmEngine::BurnBytes(const std::string& data, bool direct) {
    return RunBurn(direct, &data);
}

void NvmEngine::WaitPumping(int milliseconds) {
    const int slice = std::min(milliseconds, kPollSliceMs);
    for (int waited = 0; waited < milliseconds && !StopRequested(); waited += slice) {
        ports_.sleep.Sleep(slice);
        ports_.pump.PumpMessages();
    }
}

NvmEngine::ImageOutcome NvmEngine::Interrupted() {
    if (ordwin_.SetTargetHalt() < 0) {
        Log(u"Halting the target failed!\n");
    } else {
        Log(u"Burn interrupted: target halted.\n");
    }
    return ImageOutcome::kReturnZero;
}

int NvmEngine::RunBurn(bool direct, const std::string* given) {
    OperationGate::Ticket ticket = gate_.TryEnter(OperationGate::Work::kBurn);
    if (!ticket) return 0;
    if (host_.DeviceConnected() == 0) {
        Tell(u"Please connect to device prior to burn execution.");
        return 0;
    }
    Log(direct ? u"Direct burn in progress...\n" : u"Processing burn file...\n");
    if (given != nullptr) return BurnChecked(*given, direct);

    const std::u16string& path = direct ? options_.directNvmBurnFile : options_.burnFile;
    const std::string narrow = NarrowText(path, kPathBufferSize);
    std::ifstream in;
    if (IsRegularFile(WidenText(narrow))) in.open(narrow, std::ios::binary);
    if (!in.is_open()) {
        Tell(WidenText(Format("Failed to open NVB file: %s\n", narrow.c_str())));
        return 0;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size < 0) {
        Tell(u"Failed to read workspace file into buffer for parsing.\n");
        return 0;
    }
    std::string data;
    try {
        data.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        Tell(u"Failed to allocate memory for parsing burn hex files.\n");
        return 0;
    } catch (const std::length_error&) {
        Tell(u"Failed to allocate memory for parsing burn hex files.\n");
        return 0;
    }
    in.read(data.data(), size);
    if (in.gcount() != size) {
        Tell(u"Failed to read workspace file into buffer for parsing.\n");
        return 0;
    }
    in.close();
    return BurnChecked(data, direct);
}

// Nothing reaches the chip before the whole file has been judged: a single
// damaged record would otherwise burn wrong bits for good.
int NvmEngine::BurnChecked(const std::string& data, bool direct) {
    const BurnFileCheck check = CheckBurnFile(data, direct);
    switch (check.verdict) {
        case BurnFileCheck::Verdict::kNoImages:
            Tell(u"The burn file holds no burner images.");
            return 0;
        case BurnFileCheck::Verdict::kTooManyImages:
            Tell(direct
                     ? u"Number of files in NBF file exceeds maximun of 9 files.  Burn aborted.\n"
                     : u"Number of files in NBF file exceeds maximun of 99 files.  Burn "
                       u"aborted.\n");
            return 0;
        case BurnFileCheck::Verdict::kDamaged:
            Tell(WidenText("The burn file is damaged and was not burned: " + check.why +
                           ".\nBurn aborted.\n"));
            return 0;
        case BurnFileCheck::Verdict::kOk:
            break;
    }
    int keepGoing = 1;
    // Success is only told once the CRC the file wrote has been checked.
    const bool deferSuccess = check.userCrcReference.has_value();
    for (const BurnSection& section : ParseBurnFile(data)) {
        for (long long i = 1; i <= section.count; ++i) {
            ImageOutcome outcome = BurnOneImage(section.images[static_cast<std::size_t>(i - 1)], i,
                                                section.count, direct, deferSuccess);
            if (outcome == ImageOutcome::kReturnZero) return 0;
            if (outcome == ImageOutcome::kStopFlag) {
                keepGoing = 0;
                break;
            }
        }
        if (keepGoing == 0) break;
    }
    if (keepGoing == 1 && check.userCrcReference && !UserCrcHolds(*check.userCrcReference))
        return 0;
    if (keepGoing == 1 && !direct && check.userCrcReference)
        Tell(u"Burn Succeeded", MsgIcon::Information);
    return direct ? 1 : keepGoing;
}

// A burn file that wrote the user-region reference CRC is only a success when
// the chip's user region now gives that CRC.
bool NvmEngine::UserCrcHolds(const std::array<uint8_t, 4>& reference) {
    const CrcReading r = ReadCrcs(ordwin_);
    const std::string want =
        Format("0x%02X%02X%02X%02X", reference[0], reference[1], reference[2], reference[3]);
    std::string text;
    bool holds = false;
    if (!r.ok) {
        text = "User CRC check failed: the chip's user CRC could not be read.\n";
    } else if (r.user != reference) {
        text = Format(
            "User CRC check failed: the chip's user CRC 0x%02X%02X%02X%02X differs "
            "from the reference %s the burn file wrote.\n",
            r.user[0], r.user[1], r.user[2], r.user[3], want.c_str());
    } else {
        holds = true;
        text = "User CRC " + want + " matches the reference the burn file wrote.\n";
    }
    Log(WidenText(text).c_str());
    if (monitor_) monitor_->UserCrcChecked(holds, text.substr(0, text.size() - 1));
    if (!holds) Tell(WidenText(text + "Burn failed."));
    return holds;
}

// The log line stays for the record; the box reaches an operator who watches
// another page.
NvmEngine::ImageOutcome NvmEngine::StepFailed(const char16_t* logLine, const char* step,
                                              long long index, long long count) {
    Log(logLine);
    Tell(WidenText(Format("Burn aborted: %s failed (image %lld of %lld).", step, index, count)));
    return ImageOutcome::kReturnZero;
}

NvmEngine::ImageOutcome NvmEngine::BurnOneImage(const BurnImage& image, long long index,
                                                long long count, bool direct, bool deferSuccess) {
    if (monitor_) monitor_->ImageStarted(index, count);
    if (StopRequested()) return ImageOutcome::kReturnZero;
    // Beside a writable program the images go into the current directory as
    // they always did; an installed program keeps them in its cache directory.
    const WorkPlace place = ChooseWorkPlace(programDirectory_);
    if (place.notice && index == 1)
        host_.WriteOutputLine(WorkPlaceNotice(programDirectory_, place));
    const std::string name = (place.fallback ? NarrowText(place.directory, kPathBufferSize) : "") +
                             Format("Burn%lld.hex", index);
    const TemporaryFile imageFile(name);
    {
        std::ofstream out(name, std::ios::binary | std::ios::trunc);
        if (out.is_open()) out << image.records;
        if (!out.is_open() || !out.flush()) {
            Tell(WidenText(Format("Failed to open hex file: %s\n", name.c_str())));
            return ImageOutcome::kReturnZero;
        }
    }
    char buffer[kPathBufferSize] = {};
    std::memcpy(buffer, name.data(), std::min(name.size(), sizeof buffer - 1));
    if (ordwin_.Download(buffer, 0, 0, 0, -1, 0, 0) < 0)
        return StepFailed(u"File Download failed!\n", "downloading the burner", index, count);
    RemoveFile(WidenText(name), ports_.messages);
    if (StopRequested()) return Interrupted();
    if (ordwin_.SetClrBP(1, kBreakAddress) < 0)
        return StepFailed(u"Setting a breakpoint failed!\n", "setting the breakpoint", index,
                          count);
    if (ordwin_.WritePC(0x0000) < 0)
        return StepFailed(u"Writing the PC failed!\n", "writing the PC", index, count);
    // A burner that never gets to write its block must not be judged by the
    // block an earlier run left behind.
    uint8_t cleared[4] = {0, 0, 0, 0};
    if (ordwin_.SetRAMMemory(cleared, kResultAddress, 4) < 0) {
        return StepFailed(u"Clearing the burn result failed!\n", "clearing the result block", index,
                          count);
    }
    if (ordwin_.SetTargetGo() < 0) {
        return StepFailed(u"Setting the target to run failed!\n", "starting the burner", index,
                          count);
    }
    bool stopped = false;
    bool statusFailed = false;
    // The deadline is time on the steady clock, however long each poll takes.
    const long long deadline = ports_.sleep.NowMs() + kPollDeadlineMs;
    while (!stopped && !statusFailed && ports_.sleep.NowMs() < deadline) {
        WaitPumping(pollIntervalMs_);
        if (StopRequested()) return Interrupted();
        int status = 0;
        if (ordwin_.GetTargetStatus(&status) < 0) {
            statusFailed = true;
        } else if (status != 0) {
            stopped = true;
        }
    }
    if (!stopped && !statusFailed) {
        Log(u"Breakpoint was not triggered...hardware in unknown state!\n");
        if (ordwin_.SetTargetHalt() < 0)
            return StepFailed(u"Halting the target failed!\n", "halting the target", index, count);
        // Whatever the block holds now, this burner did not finish.
        if (monitor_) monitor_->ImageTimedOut(index);
        Tell(
            WidenText(Format("Burn timed out: image %lld did not finish within %d seconds.\n"
                             "Burn aborted.",
                             index, kPollDeadlineMs / 1000)));
        return ImageOutcome::kReturnZero;
    }
    uint8_t block[4] = {};
    if (ordwin_.GetRAMMemory(block, kResultAddress, 4) < 0) {
        StepFailed(u"Error reading result from RAM!\n", "reading the result block", index, count);
        return direct ? ImageOutcome::kReturnZero : ImageOutcome::kStopFlag;
    }
    if (monitor_) monitor_->ImageJudged(index, block);
    const bool success = block[0] == zt::burner::kResultSuccess;
    if (!success || direct || (index == count && !deferSuccess))
        Tell(BurnResultMessage(block, direct), success ? MsgIcon::Information : MsgIcon::Error);
    if (!success && !direct) return ImageOutcome::kStopFlag;
    return ImageOutcome::kNext;
}

}  // namespace cindral
