#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "zt/platform/append_file.h"
#include "zt/platform/files.h"
#include "zt/platform/interrupt.h"
#include "zt/platform/lock.h"
#include "zt/platform/module.h"
#include "zt/platform/places.h"
#include "zt/platform/process.h"
#include "zt/platform/system.h"

namespace fs = std::filesystem;
using namespace zt::platform;

namespace {

constexpr bool kPosix = kPathSeparator == '/';

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class TempDir : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        dir_ = MakeTempDirectory("zt-platform-", &error);
        ASSERT_FALSE(dir_.empty()) << error;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string Path(const std::string& name) const { return dir_ + kPathSeparator + name; }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_))
            names.push_back(e.path().filename().string());
        return names;
    }
    std::string dir_;
};

std::string OwnDirectory() {
    return ModuleDirectory(reinterpret_cast<const void*>(&OwnDirectory));
}

}  // namespace

using Files = TempDir;

TEST_F(Files, ReplacesAnExistingFileAndLeavesNothingBeside) {
    const std::string target = Path("job.nbf");
    ReplaceFailure failure;
    ASSERT_TRUE(ReplaceFileContents(target, "first\r\n", std::nullopt, &failure)) << failure.reason;
    // The second write is the one a plain rename cannot do on every system.
    ASSERT_TRUE(
        ReplaceFileContents(target, std::string("second\0bytes", 12), std::nullopt, &failure))
        << failure.reason;
    EXPECT_EQ(Slurp(target), std::string("second\0bytes", 12));
    EXPECT_EQ(Entries(), std::vector<std::string>{"job.nbf"});
}

TEST_F(Files, FailuresNameTheirStepAndLeaveTheTargetAlone) {
    ReplaceFailure failure;
    EXPECT_FALSE(
        ReplaceFileContents(Path("missing") + kPathSeparator + "x", "x", std::nullopt, &failure));
    EXPECT_EQ(failure.step, ReplaceFailure::Step::kCreate);
    EXPECT_FALSE(failure.reason.empty());

    // A directory in the target's place cannot be replaced by a file.
    fs::create_directory(Path("taken"));
    std::ofstream(Path("taken") + kPathSeparator + "inside") << "keep";
    EXPECT_FALSE(ReplaceFileContents(Path("taken"), "x", std::nullopt, &failure));
    EXPECT_EQ(failure.step, ReplaceFailure::Step::kReplace);
    EXPECT_FALSE(fs::exists(failure.temp));
    EXPECT_EQ(Slurp(Path("taken") + kPathSeparator + "inside"), "keep");
    EXPECT_EQ(Entries(), std::vector<std::string>{"taken"});
}

TEST_F(Files, ExactModeIgnoresTheUmask) {
    if (!kPosix) GTEST_SKIP() << "POSIX permissions only";
    ReplaceFailure failure;
    ASSERT_TRUE(ReplaceFileContents(Path("state"), "x", 0644u, &failure));
    EXPECT_EQ(fs::status(Path("state")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
}

TEST_F(Files, TempDirectoriesAreNewAndWritable) {
    std::string error;
    const std::string other = MakeTempDirectory("zt-platform-", &error);
    ASSERT_FALSE(other.empty()) << error;
    EXPECT_NE(other, dir_);
    EXPECT_TRUE(IsWritableDirectory(other));
    fs::remove(other);
    EXPECT_FALSE(IsWritableDirectory(other));
    std::ofstream(Path("plain")) << "x";
    EXPECT_FALSE(IsWritableDirectory(Path("plain")));
}

using Locks = TempDir;

TEST_F(Locks, OneHolderAtATimeUntilReleased) {
    DirectoryLock first, second;
    std::string reason;
    ASSERT_EQ(first.Acquire(dir_, &reason), DirectoryLock::Result::kLocked) << reason;
    EXPECT_EQ(second.Acquire(dir_, &reason), DirectoryLock::Result::kBusy);
    EXPECT_FALSE(second.held());
    first.Release();
    EXPECT_EQ(second.Acquire(dir_, &reason), DirectoryLock::Result::kLocked) << reason;
    EXPECT_EQ(DirectoryLock().Acquire(Path("none"), &reason), DirectoryLock::Result::kError);
    EXPECT_FALSE(reason.empty());
}

using AppendLog = TempDir;

TEST_F(AppendLog, ParallelWritersNeverInterleave) {
    const std::string log = Path("audit.log");
    constexpr int kWriters = 4, kRecords = 50;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&log, w] {
            for (int i = 0; i < kRecords; ++i) {
                // Lengths differ per writer so a torn record cannot pass for another.
                const std::string record = std::to_string(w) + ":" + std::to_string(i) + ":" +
                                           std::string(100 * (w + 1), 'a' + w) + "\n";
                EXPECT_EQ(AppendRecord(log, record), "");
            }
        });
    }
    for (auto& t : writers) t.join();
    std::istringstream in(Slurp(log));
    std::set<std::string> seen;
    for (std::string line; std::getline(in, line);) {
        const int w = line[0] - '0';
        ASSERT_EQ(line.size(), line.find(':', 2) + 1 + 100 * (w + 1)) << line.substr(0, 20);
        EXPECT_EQ(line.back(), 'a' + w);
        seen.insert(line.substr(0, line.find(':', 2)));
    }
    EXPECT_EQ(seen.size(), size_t(kWriters * kRecords));
    EXPECT_NE(AppendRecord(Path("none") + kPathSeparator + "log", "x\n"), "");
}

// Opened before anything happens; every line lands whole on a line of its own.
TEST_F(AppendLog, OpenFirstThenWholeLinesAfterAFragment) {
    AppendFile file;
    EXPECT_NE(file.AppendLine("x\n"), "") << "not open";
    EXPECT_NE(file.Open(Path("none") + kPathSeparator + "log", 0), "");
    EXPECT_FALSE(file.IsOpen());
    EXPECT_NE(file.Open(dir_, 0), "") << "a directory takes no lines";
    EXPECT_NE(file.Open(Path("log"), ~0ull), "") << "no file system has that much room";

    const std::string log = Path("log");
    {
        std::ofstream(log, std::ios::binary) << "{\"cut";  // an earlier failure's fragment
    }
    ASSERT_EQ(file.Open(log, 4096), "");
    EXPECT_EQ(file.AppendLine("{\"a\":1}\n"), "");
    EXPECT_EQ(file.AppendLine("{\"b\":2}\n"), "");
    EXPECT_EQ(AppendRecord(log, "{\"c\":3}\n"), "") << "other writers meanwhile";
    EXPECT_EQ(file.AppendLine("{\"d\":4}\n"), "");
    file.Close();
    EXPECT_EQ(Slurp(log), "{\"cut\n{\"a\":1}\n{\"b\":2}\n{\"c\":3}\n{\"d\":4}\n");
}

using Processes = TempDir;

TEST_F(Processes, OutputAndErrorGoToTheFileAndTheExitCodeComesBack) {
    OutputFile out;
    ASSERT_EQ(out.Create(Path("child.log")), "");
    ChildProcess child;
    int error = 0;
    // Spaces, quotes and trailing backslashes must reach the child as given.
    ASSERT_TRUE(child.Start({OwnDirectory() + ZT_TEST_CHILD, "7", "a b", "say \"hi\"", "end\\",
                             "--nvm_burn_file=x.nbf", ""},
                            out, &error))
        << error;
    ChildProcess::Wait w = ChildProcess::Wait::kRunning;
    for (int slice = 0; slice < 300 && w == ChildProcess::Wait::kRunning; ++slice)
        w = child.WaitFor(200);
    ASSERT_EQ(w, ChildProcess::Wait::kEnded);
    EXPECT_EQ(child.exit_code(), 7);
    EXPECT_EQ(child.WaitFor(0), ChildProcess::Wait::kEnded);
    const std::string raw = Slurp(Path("child.log"));
    EXPECT_EQ(out.Size(), static_cast<long long>(raw.size()));
    // A Windows child's C runtime writes its lines with CR LF.
    std::string text;
    for (std::size_t i = 0; i < raw.size(); ++i)
        if (!(raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')) text += raw[i];
    EXPECT_NE(text.find("[a b]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[say \"hi\"]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[end\\]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[--nvm_burn_file=x.nbf]\n[]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("to stderr\n"), std::string::npos) << text;

    // A second run truncates what the first left.
    ASSERT_EQ(out.Create(Path("child.log")), "");
    EXPECT_EQ(out.Size(), 0);
}

TEST_F(Processes, ARunningChildIsSeenRunningAndCanBeKilled) {
    OutputFile out;
    ASSERT_EQ(out.Create(Path("child.log")), "");
    ChildProcess child;
    int error = 0;
    ASSERT_TRUE(child.Start({OwnDirectory() + ZT_TEST_CHILD, "wait"}, out, &error)) << error;
    EXPECT_EQ(child.WaitFor(50), ChildProcess::Wait::kRunning);
    child.Kill();
    EXPECT_EQ(child.WaitFor(0), ChildProcess::Wait::kEnded);
    EXPECT_EQ(child.exit_code(), -1);
}

TEST_F(Processes, AMissingProgramIsAStartFailureWithItsCode) {
    OutputFile out;
    ASSERT_EQ(out.Create(Path("child.log")), "");
    ChildProcess child;
    int error = 0;
    EXPECT_FALSE(child.Start({Path("no-such-program")}, out, &error));
    EXPECT_NE(error, 0);
    EXPECT_EQ(child.WaitFor(0), ChildProcess::Wait::kFailed);
    EXPECT_FALSE(child.Start({}, out, &error));
    EXPECT_NE(OutputFile().Create(Path("none") + kPathSeparator + "x.log"), "");
}

// Reads both pipes until the child closes them, in bounded time.
void Drain(PipeReader& out, PipeReader* err, std::string& outText, std::string& errText) {
    for (int turn = 0; turn < 600 && (out.IsOpen() || (err && err->IsOpen())); ++turn) {
        WaitForPipes({&out, err}, 100);
        out.ReadAvailable(outText);
        if (err) err->ReadAvailable(errText);
    }
}

TEST(Pipes, OutputAndErrorArriveApartAndAnEndingChildClosesItsOwnPipeAlone) {
    ChildProcess quick, slow;
    PipeReader quickOut, quickErr, slowOut;
    int error = 0;
    ASSERT_TRUE(quick.StartPiped({OwnDirectory() + ZT_TEST_CHILD, "piped", "x y"}, quickOut,
                                 &quickErr, &error))
        << error;
    // Started after the first: it must not hold the first one's pipe open.
    ASSERT_TRUE(slow.StartPiped({OwnDirectory() + ZT_TEST_CHILD, "wait"}, slowOut, nullptr, &error))
        << error;
    std::string out, err;
    Drain(quickOut, &quickErr, out, err);
    EXPECT_FALSE(quickOut.IsOpen()) << "the first child's output never ended";
    EXPECT_FALSE(quickErr.IsOpen());
    EXPECT_TRUE(slowOut.IsOpen());
    EXPECT_EQ(slow.WaitFor(0), ChildProcess::Wait::kRunning);
    ChildProcess::Wait w = ChildProcess::Wait::kRunning;
    for (int slice = 0; slice < 300 && w == ChildProcess::Wait::kRunning; ++slice)
        w = quick.WaitFor(200);
    ASSERT_EQ(w, ChildProcess::Wait::kEnded);
    EXPECT_EQ(quick.exit_code(), 3);
    EXPECT_EQ(quick.end_signal(), 0);
    EXPECT_NE(out.find("[x y]"), std::string::npos);
    EXPECT_NE(out.find(std::string(20000, 'x')), std::string::npos) << out.size();
    EXPECT_EQ(out.find("to stderr"), std::string::npos);
    EXPECT_NE(err.find("to stderr"), std::string::npos) << err;
    std::string more;
    EXPECT_FALSE(quickOut.ReadAvailable(more));
    EXPECT_TRUE(more.empty());
    slow.Kill();
    EXPECT_EQ(slow.exit_code(), -1);
    EXPECT_FALSE(SelfExecutable().empty());
    // The same place, however each names it: the child beside the tests is one file.
    std::error_code ec;
    EXPECT_TRUE(
        fs::equivalent(ExecutableDirectory() + ZT_TEST_CHILD, OwnDirectory() + ZT_TEST_CHILD, ec))
        << ExecutableDirectory() << " vs " << OwnDirectory() << ": " << ec.message();
    EXPECT_EQ(ExecutableDirectory().back(), kPathSeparator);
}

TEST(Pipes, AnInterruptEndsTheChildWithItsSignal) {
    if (!kPosix) GTEST_SKIP() << "the console tells Windows children of Ctrl-C itself";
    ChildProcess child;
    PipeReader out;
    int error = 0;
    ASSERT_TRUE(child.StartPiped({OwnDirectory() + ZT_TEST_CHILD, "wait"}, out, nullptr, &error));
    child.Interrupt();
    ChildProcess::Wait w = ChildProcess::Wait::kRunning;
    for (int slice = 0; slice < 300 && w == ChildProcess::Wait::kRunning; ++slice)
        w = child.WaitFor(200);
    ASSERT_EQ(w, ChildProcess::Wait::kEnded);
    EXPECT_EQ(child.exit_code(), -1);
    EXPECT_EQ(child.end_signal(), SIGINT);
    EXPECT_FALSE(child.StartPiped({OwnDirectory() + "no-such-program"}, out, nullptr, &error));
    EXPECT_NE(error, 0);
}

TEST(Modules, LoadFindAndFailWithAReason) {
    const std::string dir = OwnDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), kPathSeparator);
    std::string error;
    void* module = LoadModule(dir + ZT_TEST_MODULE, &error);
    ASSERT_NE(module, nullptr) << error;
    auto answer = reinterpret_cast<int (*)()>(ModuleSymbol(module, "ZtPlatformTestAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(ModuleDirectory(reinterpret_cast<const void*>(answer)), dir);
    EXPECT_EQ(ModuleSymbol(module, "NoSuchSymbol"), nullptr);
    UnloadModule(module);

    EXPECT_EQ(LoadModule(dir + ModuleFileName("no-such-module"), &error), nullptr);
    EXPECT_NE(error.find("no-such-module"), std::string::npos) << error;
    EXPECT_NE(ModuleFileName("wickport-virtual").find("wickport-virtual"), std::string::npos);
}

TEST(Places, XdgBasesFollowTheRules) {
    if (!kPosix) GTEST_SKIP() << "XDG base directories are a Linux matter";
    struct Case {
        const char *xdg, *home, *expected;
    };
    const Case cases[] = {
        {"/x/cache", "/home/u", "/x/cache"},
        {"relative", "/home/u", "/home/u/.cache"},  // a relative base is ignored
        {nullptr, "/home/u", "/home/u/.cache"},
        {nullptr, nullptr, ""},
    };
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    for (const Case& c : cases) {
        SetEnvironment("XDG_CACHE_HOME", c.xdg);
        SetEnvironment("HOME", c.home);
        EXPECT_EQ(CacheHome(), c.expected) << (c.xdg ? c.xdg : "-");
    }
    SetEnvironment("XDG_CONFIG_HOME", nullptr);
    SetEnvironment("HOME", "/home/u");
    EXPECT_EQ(ConfigHome(), "/home/u/.config");
    SetEnvironment("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(DataHome(), "/home/u/.local/share");
    SetEnvironment("XDG_DATA_HOME", "/x/data");
    EXPECT_EQ(DataHome(), "/x/data");
    SetEnvironment("XDG_RUNTIME_DIR", "/run/user/7");
    EXPECT_EQ(UserRuntimeDirectory("zeltra-sim-serial"), "/run/user/7/zeltra-sim-serial");
    SetEnvironment("XDG_RUNTIME_DIR", nullptr);
    EXPECT_EQ(UserRuntimeDirectory("zeltra-sim-serial").rfind("/tmp/zeltra-sim-serial-", 0), 0u);
    SetEnvironment("HOME", savedHome.empty() ? nullptr : savedHome.c_str());
}

TEST(Places, WindowsBasesAreLocalAppData) {
    if (kPosix) GTEST_SKIP() << "%LOCALAPPDATA% is a Windows matter";
    SetEnvironment("LOCALAPPDATA", "C:\\Users\\op\\AppData\\Local");
    EXPECT_EQ(CacheHome(), "C:\\Users\\op\\AppData\\Local");
    EXPECT_EQ(StateHome(), "C:\\Users\\op\\AppData\\Local");
    EXPECT_EQ(DataHome(), "C:\\Users\\op\\AppData\\Local");
    EXPECT_EQ(UserRuntimeDirectory("zeltra-sim-serial"), TempDirectory() + "\\zeltra-sim-serial");
    SetEnvironment("ProgramData", "C:\\ProgramData");
    EXPECT_EQ(SystemConfigHome(), "C:\\ProgramData");
}

TEST(System, CalendarClockAndEnvironment) {
    const std::tm epoch = UtcTime(0);
    EXPECT_EQ(epoch.tm_year, 70);
    EXPECT_EQ(epoch.tm_yday, 0);
    const std::tm later = UtcTime(951782400);  // 2000-02-29, a leap day
    EXPECT_EQ(later.tm_mon, 1);
    EXPECT_EQ(later.tm_mday, 29);
    const long long now = WallClockMilliseconds();
    EXPECT_LE(std::llabs(now / 1000 - static_cast<long long>(std::time(nullptr))), 2);
    EXPECT_FALSE(ErrorText(2).empty());

    SetEnvironment("ZT_PLATFORM_TEST", "a=b c");
    ASSERT_NE(std::getenv("ZT_PLATFORM_TEST"), nullptr);
    EXPECT_STREQ(std::getenv("ZT_PLATFORM_TEST"), "a=b c");
    SetEnvironment("ZT_PLATFORM_TEST", "");
    EXPECT_EQ(GetEnvironment("ZT_PLATFORM_TEST"), std::optional<std::string>(""))
        << "set empty is not unset";
    SetEnvironment("ZT_PLATFORM_TEST", nullptr);
    EXPECT_EQ(GetEnvironment("ZT_PLATFORM_TEST"), std::nullopt);
    const char* gone = std::getenv("ZT_PLATFORM_TEST");
    EXPECT_TRUE(gone == nullptr || *gone == '\0');
}

TEST(Interrupts, ASignalSetsTheFlagInsteadOfEndingTheProcess) {
    if (!kPosix) GTEST_SKIP() << "console control events cannot be raised from inside a test";
    CatchInterrupts();
    EXPECT_EQ(InterruptSignal(), 0);
    std::raise(SIGTERM);
    EXPECT_EQ(InterruptSignal(), SIGTERM);
}
