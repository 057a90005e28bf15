// The composer's command line, its splitting, the hidden run and the compose
// operations of the engine, against the real composer and scripted stand-ins.
#include <unistd.h>

#include "burn_test_support.h"
#include "core/command_line.h"
#include "core/file_helpers.h"

namespace cindral {
namespace {

using test::Narrow;
using test::ProgramDir;
using test::RecordingHost;
using test::TestPorts;

NVMData File(const std::u16string& path, const std::u16string& address) {
    NVMData d;
    d.fullPath = path;
    d.fileName = path.substr(path.find_last_of(u'/') + 1);
    d.nvmAddress = address;
    d.hexFlag = HexFlagOf(d.fileName);
    return d;
}

TEST(ComposeCommandLine, MainPageExampleHasTheExactSpacing) {
    ComposeSwitches s;
    s.run = true;
    s.ramClear = true;
    s.strict = true;
    std::u16string line =
        BuildComposeCommandLine(u"/opt/c/marlspin", {File(u"/d/boot.hex", u"0x0200")},
                                {File(u"/d/app.mem", u"1024")}, u"/d/o.nbf", s);
    EXPECT_EQ(Narrow(line),
              "/opt/c/marlspin  --boot_hex=/d/boot.hex 0x0200 --app_mem=/d/app.mem 1024"
              " --nvm_burn_file=/d/o.nbf --state=run  --bf_ram_clr  --mode_strict ");
}

TEST(ComposeCommandLine, SwitchesStateAndOrder) {
    ComposeSwitches s;
    s.user = true;
    s.run = true;
    s.xoEarlyEnable = s.exeUserBoot = s.nvmDisable = s.mtpDisable = s.c2Disable = true;
    std::u16string line = BuildComposeCommandLine(
        u"m", {File(u"/a/b1.mem", u"0x0200"), File(u"/a/PROG.HEX", u"0")}, {}, u"x.nbf", s);
    EXPECT_EQ(Narrow(line),
              "m  --boot_mem=/a/b1.mem 0x0200 --boot_mem=/a/PROG.HEX 0 --nvm_burn_file=x.nbf"
              " --state=run  --bf_xo_early_enable  --bf_exe_user_boot  --bf_nvm_dis "
              " --bf_mtp_dis  --bf_c2_dis ")
        << "run wins over user; PROG.HEX is a mem file; logic OR passes no mode";
    s = ComposeSwitches{};
    s.user = true;
    EXPECT_EQ(Narrow(BuildComposeCommandLine(u"m", {}, {}, u"x.nbf", s)),
              "m  --nvm_burn_file=x.nbf --state=user ");
    EXPECT_EQ(HexFlagOf(u"boot.hex.mem"), 1) << "anywhere in the name";
    EXPECT_EQ(HexFlagOf(u"boot.Hex"), 0);
    EXPECT_EQ(HexFlagOf(u"main.ihx"), 1) << "SDCC's Intel-HEX name";
}

TEST(ComposeCommandLine, AddressTexts) {
    for (const char16_t* good : {u"0", u"1024", u"0x0200", u"0X1f", u"0xFFFFFFFF", u"4294967295"})
        EXPECT_TRUE(IsNvmAddressText(good)) << Narrow(good);
    for (const char16_t* bad :
         {u"", u"0x", u"0x0200 --bf_c2_dis", u" 0x0200", u"0x0200\t", u"-1", u"+2", u"0x1G", u"12a",
          u"0x123456789", u"12345678901", u"0x02\"00", u"\"0x0200\""})
        EXPECT_FALSE(IsNvmAddressText(bad)) << Narrow(bad);
}

// Whatever a text holds, it reaches the composer as one argument.
TEST(ComposeCommandLine, ArgumentsNeverSplit) {
    ComposeSwitches s;
    s.strict = true;
    std::vector<std::u16string> args = ComposeArguments(
        {File(u"/d/my boot.hex", u"0x0200")}, {File(u"/d/a.mem", u"7")}, u"/d/o \"x.nbf", s);
    EXPECT_EQ(args, (std::vector<std::u16string>{
                        u"--boot_hex=/d/my boot.hex", u"0x0200", u"--app_mem=/d/a.mem", u"7",
                        u"--nvm_burn_file=/d/o \"x.nbf", u"--mode_strict"}));
    args = DirectArguments(false, u"", u"@1000 AA\" --bf_c2_dis \"", u"o.nbf", false);
    EXPECT_EQ(args, (std::vector<std::u16string>{u"--dir_burn_str=@1000 AA\" --bf_c2_dis \"",
                                                 u"--nvm_burn_file=o.nbf"}));
}

TEST(ComposeCommandLine, DirectLines) {
    EXPECT_EQ(Narrow(BuildDirectCommandLine(u"m", true, u"/d/in.mem", u"", u"/d/o.nbf", true)),
              "m  --dir_burn_file=/d/in.mem --nvm_burn_file=/d/o.nbf --mode_strict ");
    EXPECT_EQ(Narrow(BuildDirectCommandLine(u"m", false, u"", u"@1F00 01  02", u"o.nbf", false)),
              "m  --dir_burn_str=\"@1F00 01  02\" --nvm_burn_file=o.nbf");
}

std::vector<std::string> Split(const std::u16string& line) {
    std::vector<std::string> out;
    for (const std::u16string& a : SplitCommandLine(line)) out.push_back(Narrow(a));
    return out;
}

TEST(ComposeCommandLine, SplitsLikeTheWindowsRuntime) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Split(u"m  --boot_hex=/b.hex 0x0200 --state=run  --mode_strict "),
              (V{"m", "--boot_hex=/b.hex", "0x0200", "--state=run", "--mode_strict"}));
    EXPECT_EQ(Split(u"m  --dir_burn_str=\"@1F00 01  02\" --nvm_burn_file=o.nbf"),
              (V{"m", "--dir_burn_str=@1F00 01  02", "--nvm_burn_file=o.nbf"}))
        << "the quoted text stays one argument, its spacing kept";
    EXPECT_EQ(Split(u"\"C:\\Program Files\\m.exe\" a\\\\\"b c\" d\\\"e f\\g \"\" \"x\"\"y\""),
              (V{"C:\\Program Files\\m.exe", "a\\b c", "d\"e", "f\\g", "", "x\"y"}));
    EXPECT_EQ(Split(u"m \"open"), (V{"m", "open"})) << "an unclosed quote runs to the end";
    EXPECT_TRUE(Split(u"   ").empty());
}

TEST(ComposeCommandLine, ExitCodeTexts) {
    EXPECT_EQ(NvmEngine::ComposerErrorText(2), u"First Boot File Address Error");
    EXPECT_EQ(NvmEngine::ComposerErrorText(12), u"Unhandled exception.");
    EXPECT_EQ(NvmEngine::ComposerErrorText(13), u"Undefined Error");
    EXPECT_EQ(NvmEngine::ComposerErrorText(0), u"Undefined Error");
}

class ComposeEngine : public ::testing::Test {
  protected:
    ComposeEngine() : host(ports.messages), engine(ordwin, ports.ports(), host, dir.Wide()) {}
    // The Main and Direct Burn sides write the same burn file here.
    void BurnFile(const std::u16string& path) {
        engine.Options().burnFile = engine.Options().directNvmBurnFile = path;
    }
    test::FakeOrdwin ordwin;
    TestPorts ports;
    ProgramDir dir;
    RecordingHost host;
    NvmEngine engine;
    std::vector<NVMData>& boot = engine.Options().bootFiles;
    std::vector<NVMData>& app = engine.Options().appFiles;
    std::u16string& directFile = engine.Options().directBurnFile;
    std::u16string& directText = engine.Options().directText;
};

TEST_F(ComposeEngine, ComposesWithTheRealComposerInItsOwnDirectory) {
    test::WriteAll(dir / "boot.hex", test::kBootHex);
    test::WriteAll(dir / "app.mem", "@10 C0 C1\n");
    boot = {File(WidenText(dir / "boot.hex"), u"0x0200")};
    app = {File(WidenText(dir / "app.mem"), u"0x0400")};
    // Relative: resolved against the program directory while the composer runs.
    BurnFile(u"out.nbf");
    engine.Options().strict = 1;
    const std::u16string before = GetWorkingDirectory();
    ASSERT_EQ(engine.Compose(), 1) << test::Texts(ports.messages) << host.appended;
    EXPECT_EQ(GetWorkingDirectory(), before) << "the working directory is restored";
    EXPECT_TRUE(ports.messages.shown.empty()) << test::Texts(ports.messages);
    ASSERT_EQ(host.lines.size(), 2u);
    EXPECT_EQ(host.lines[0], "Invoking Marlspin\n");
    EXPECT_EQ(host.lines[1], Narrow(engine.ComposeCommandLine()));
    EXPECT_EQ(host.lines[1].rfind(dir.Path() + "marlspin  --boot_hex=", 0), 0u) << host.lines[1];
    EXPECT_NE(host.appended.find("Composing in strict mode"), std::string::npos) << host.appended;
    const std::string nbf = test::ReadAll(dir / "out.nbf");
    EXPECT_NE(nbf.find("boot.hex 0x0200 0x0220 0x0021 33 OK\r\n"), std::string::npos) << nbf;
    EXPECT_NE(nbf.find("app.mem 0x0410 0x0411 0x0002 2 OK\r\n"), std::string::npos) << nbf;
    EXPECT_EQ(test::ReadAll(dir / "marlspin.log"), host.appended);
}

TEST_F(ComposeEngine, RefusalsBeforeTheComposerRuns) {
    dir.ScriptComposer("echo ran > ran.txt");
    host.connected = 0;
    EXPECT_EQ(engine.Compose(), 0);
    EXPECT_EQ(ports.messages.LastText(), "Please connect to device prior to Compose execution.");

    host.connected = 1;
    BurnFile(WidenText(dir / "old.nbf"));
    test::WriteAll(dir / "old.nbf", "keep");
    ports.messages.answers = {MsgResult::Cancel};
    EXPECT_EQ(engine.Compose(), 0);
    EXPECT_EQ(ports.messages.LastText(), "NVM Burn File " + dir.Path() +
                                             "old.nbf exists!\nPress OK to overwrite the file "
                                             "and continue.\n");
    EXPECT_EQ(ports.messages.shown.back().buttons, MsgButtons::OkCancel);
    EXPECT_EQ(ports.messages.shown.back().icon, MsgIcon::Question);
    EXPECT_EQ(test::ReadAll(dir / "old.nbf"), "keep");

    engine.Options().directFromFile = 1;
    ports.messages.answers = {MsgResult::Cancel};
    EXPECT_EQ(engine.DirectCompose(), 0);
    EXPECT_EQ(ports.messages.LastText(), "NVM Burn File " + dir.Path() +
                                             "old.nbf exists!\nPress OK to overwrite the file "
                                             "and continue.\n")
        << "the overwrite question comes first";
    engine.Options().directOverwrite = 1;
    EXPECT_EQ(engine.DirectCompose(), 0);
    EXPECT_EQ(ports.messages.LastText(), "Direct Burn File Selection Required!\n");
    directFile = WidenText(dir / "missing.mem");
    EXPECT_EQ(engine.DirectCompose(), 0);
    EXPECT_EQ(ports.messages.LastText(), "Direct Burn File does not exist!\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "ran.txt"));
    EXPECT_TRUE(host.lines.empty());
}

TEST_F(ComposeEngine, ExitCodeBoxComesBeforeTheOutput) {
    boot = {File(u"/nonexistent/boot.hex", u"0x0200")};
    BurnFile(WidenText(dir / "o.nbf"));
    EXPECT_EQ(engine.Compose(), 0);
    ASSERT_EQ(ports.messages.shown.size(), 1u);
    // The composer's own reason follows the code's name.
    EXPECT_EQ(ports.messages.LastText(),
              "Return code: 5: Boot HEX Input Error\n\nmarlspin: error: /nonexistent/boot.hex: "
              "cannot open it: No such file or directory");
    EXPECT_EQ(ports.messages.shown.back().icon, MsgIcon::Error);
    ASSERT_EQ(host.boxesBeforeAppend, std::vector<std::size_t>{1});
    EXPECT_NE(host.appended.find("boot.hex"), std::string::npos) << host.appended;

    dir.ScriptComposer("echo odd; exit 13");
    EXPECT_EQ(engine.Compose(), 0);
    EXPECT_EQ(ports.messages.LastText(), "Return code: 13: Undefined Error");
}

TEST_F(ComposeEngine, SilentComposerFailsWithoutABox) {
    dir.ScriptComposer("exit 0");
    BurnFile(u"o.nbf");
    EXPECT_EQ(engine.Compose(), 0);
    EXPECT_TRUE(ports.messages.shown.empty()) << test::Texts(ports.messages);
    EXPECT_EQ(host.boxesBeforeAppend.size(), 1u) << "the empty output is still appended";
}

TEST_F(ComposeEngine, StandardErrorAndOutputBothLandInTheLog) {
    dir.ScriptComposer("pwd; echo to-error >&2; echo \"$#:$1:$2\"");
    directText = u"@1F00 01  02";
    BurnFile(u"o.nbf");
    EXPECT_EQ(engine.DirectCompose(), 1) << test::Texts(ports.messages);
    std::string cwd = dir.Path();
    cwd.pop_back();
    EXPECT_EQ(host.appended,
              cwd + "\nto-error\n2:--dir_burn_str=@1F00 01  02:--nvm_burn_file=o.nbf\n");
}

// An address as a shared settings file may carry it: refused before the composer runs.
TEST_F(ComposeEngine, AddressCarryingOptionsNeverReachesTheComposer) {
    dir.ScriptComposer("touch ran; echo composed");
    BurnFile(WidenText(dir / "o.nbf"));
    boot = {File(u"/d/boot.hex", u"0x0200")};
    app = {File(u"/d/app.mem", u"0x0400 --bf_c2_dis --bf_nvm_dis")};
    EXPECT_EQ(engine.Compose(), 0);
    EXPECT_EQ(test::Texts(ports.messages),
              "Invalid NVM address: 0x0400 --bf_c2_dis --bf_nvm_dis\nAn NVM address is one number: "
              "0x and hexadecimal digits, or decimal digits.|");
    EXPECT_FALSE(std::filesystem::exists(dir / "ran"));
    app.clear();
    EXPECT_EQ(engine.Compose(), 1) << test::Texts(ports.messages);
    EXPECT_TRUE(std::filesystem::exists(dir / "ran"));
}

TEST_F(ComposeEngine, InstallationDirectoryWithASpace) {
    const std::string spaced = dir / "my tools/";
    std::filesystem::create_directory(spaced);
    test::WriteAll(spaced + "marlspin", "#!/bin/sh\necho \"$#\"\n");
    std::filesystem::permissions(spaced + "marlspin", std::filesystem::perms::owner_all);
    NvmEngine other(ordwin, ports.ports(), host, WidenText(spaced));
    other.Options().directText = u"@1F00 01";
    other.Options().directNvmBurnFile = u"o.nbf";
    EXPECT_EQ(other.DirectCompose(), 1) << test::Texts(ports.messages);
    EXPECT_EQ(host.appended, "2\n");
}

TEST_F(ComposeEngine, EventsRunWhileTheComposerRuns) {
    dir.ScriptComposer("sleep 0.1; echo done");
    engine.SetComposerSliceMs(5);
    directText = u"@1F00 01";
    BurnFile(u"o.nbf");
    EXPECT_EQ(engine.DirectCompose(), 1);
    EXPECT_GT(ports.pump.count, 0);
}

TEST_F(ComposeEngine, ProcessThatCannotStartAndLogThatCannotBeCreated) {
    std::filesystem::remove(dir / "marlspin");
    BurnFile(u"o.nbf");
    directText = u"@1F00 01";
    EXPECT_EQ(engine.DirectCompose(), 0);
    ASSERT_EQ(ports.messages.shown.size(), 1u);
    EXPECT_EQ(ports.messages.LastText(), "Warning - Could not create process (2)!!\n\r\r" +
                                             Narrow(engine.DirectCommandLine()) +
                                             "\n\r\rConfirm command path.");

    dir.ScriptComposer("echo hi");
    std::filesystem::remove(dir / "marlspin.log");
    std::filesystem::create_directory(dir / "marlspin.log");
    EXPECT_EQ(engine.DirectCompose(), 0);
    EXPECT_EQ(ports.messages.LastText(), "Error has occured creating output file: \n" + dir.Path() +
                                             "marlspin.log\n" + std::strerror(EISDIR));
}

TEST_F(ComposeEngine, DirectComposeWritesOneRowPerRun) {
    directText = u"@0300 01 02 @0310 03";
    BurnFile(WidenText(dir / "d.nbf"));
    engine.Options().directStrict = 1;
    ASSERT_EQ(engine.DirectCompose(), 1) << host.appended;
    const std::string nbf = test::ReadAll(dir / "d.nbf");
    EXPECT_NE(nbf.find("direct 0x0300 0x0301 0x0002 2 OK\r\ndirect 0x0310 0x0310 0x0001 1 OK\r\n"),
              std::string::npos)
        << nbf;
    EXPECT_NE(nbf.find("Count=2\r\n"), std::string::npos);
}

}  // namespace
}  // namespace cindral
