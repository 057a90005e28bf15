// cindral-cli end to end: the real program, the real composer and library, and
// virtual chips whose NVM is read back from their state directories.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <chrono>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "burn/device_page.h"
#include "burn_test_support.h"
#include "cli_run.h"
#include "compose/main_page.h"
#include "zt/version.h"

namespace cindral {
namespace {

using namespace test;

TEST_F(Cli, ComposeBurnAndInfoOnOneChip) {
    const std::string chip = Adapter("VZC001");
    // A first look creates the factory-fresh chip.
    Result info = RunCli({"--json", "info"}, chip);
    ASSERT_EQ(info.exit, 0) << info.err;
    const std::string before = Nvm("VZC001");
    ASSERT_EQ(before.size(), 8192u);

    WriteAll(Path("boot.hex"), test::kBootHex);
    const std::string nbf = Path("out.nbf");
    Result compose = RunCli({"--json", "compose", "--boot", Path("boot.hex") + "@0x0200", "--run",
                             "--ram-clear", "-o", nbf},
                            chip);
    ASSERT_EQ(compose.exit, 0) << compose.err;
    Json c = compose.Objects().at(0);
    EXPECT_EQ(c["composer_exit"], 0);
    EXPECT_EQ(c["map"].at(0)["file"], "boot.hex");
    EXPECT_EQ(c["map"].at(0)["range"], "0x0200 .. 0x0220");
    EXPECT_FALSE(c["conflict"].get<bool>());
    EXPECT_NE(
        c["command_line"].get<std::string>().find(" --state=run  --bf_ram_clr  --mode_strict "),
        std::string::npos);

    Result burn = RunCli({"--json", "burn", nbf}, chip);
    ASSERT_EQ(burn.exit, 0) << burn.err;
    Json b = burn.Objects().at(0);
    EXPECT_EQ(b["result"], "ok");
    EXPECT_EQ(b["images_burned"], b["images"].size());
    EXPECT_EQ(b["sha256"].get<std::string>().size(), 64u);

    // The NVM holds the composed image and the boot record, and nothing else changed.
    std::string expected = before;
    for (int i = 0; i < 16; ++i) expected[0x200 + i] = static_cast<char>(i);
    expected[0x220] = 0x55;
    expected[0x1FF0] = 0x07;
    expected[0x1FF1] = 0x10;
    expected[0x1FF2] = 0x00;
    expected[0x1FF3] = 0x21;
    info = RunCli({"--json", "info", "-a", "VZC001"}, chip);
    ASSERT_EQ(info.exit, 0) << info.err;
    Json i = info.Objects().at(0);
    const std::string user = i["crc"]["user"];
    for (int k = 0; k < 4; ++k)
        expected[0x1FF4 + k] =
            static_cast<char>(std::stoul(user.substr(2 + 2 * k, 2), nullptr, 16));
    EXPECT_EQ(Nvm("VZC001"), expected);
    EXPECT_TRUE(i["crc"]["user_match"].get<bool>());
    EXPECT_TRUE(i["crc"]["trim_match"].get<bool>());
    EXPECT_EQ(i["device"]["PROT0_CTRL"], "0x07 (0000_0111)");
    EXPECT_EQ(i["chip"]["hardware_id"], "0x24");
}

// A burn file whose own map reports a conflict burns nothing without --yes.
TEST_F(Cli, MapWithAConflictNeedsYes) {
    const std::string chip = Adapter("VZC002");
    ASSERT_EQ(RunCli({"info"}, chip).exit, 0);
    const std::string before = Nvm("VZC002");
    WriteAll(Path("boot.hex"), test::kBootHex);
    const std::string nbf = Path("warned.nbf");
    ASSERT_EQ(RunCli({"compose", "--boot", Path("boot.hex") + "@0x0200", "-o", nbf}, chip).exit, 0);
    std::string text = ReadAll(nbf);
    const std::size_t row = text.find("boot.hex", text.find("[Compose Map]"));
    ASSERT_NE(row, std::string::npos);
    text.insert(text.find("\r\n", row), " Conflict");
    WriteAll(nbf, text);

    Result refused = RunCli({"burn", nbf}, chip);
    EXPECT_EQ(refused.exit, 6);
    EXPECT_NE(refused.err.find("map reports conflicts or errors"), std::string::npos)
        << refused.err;
    EXPECT_EQ(Nvm("VZC002"), before) << "nothing burned";

    Result forced = RunCli({"--yes", "burn", nbf}, chip);
    EXPECT_EQ(forced.exit, 0) << forced.err;
    EXPECT_NE(Nvm("VZC002"), before);
}

TEST_F(Cli, GangBurnSurvivesAnUnpluggedAdapter) {
    const std::string adapters =
        Adapter("VZG001") + ";" + Adapter("VZG002", ",fault=unplug@40") + ";" + Adapter("VZG003");
    const std::string nbf = Path("d.nbf"), log = Path("audit.log");
    Result compose = RunCli(
        {"direct-burn", "--text", "@1000 AA 55\n@1100 01", "-o", nbf, "--dry-run", "-a", "VZG001"},
        adapters);
    ASSERT_EQ(compose.exit, 0) << compose.err;

    Result burn = RunCli({"--json", "--log", log, "burn", nbf, "--all"}, adapters);
    EXPECT_EQ(burn.exit, 4) << burn.err;
    std::vector<Json> objects = burn.Objects();
    ASSERT_EQ(objects.size(), 4u) << burn.out;
    EXPECT_EQ(objects[3]["failed"], 1);
    std::map<std::string, bool> ok;
    for (int k = 0; k < 3; ++k) ok[objects[k]["adapter"]] = objects[k]["ok"];
    EXPECT_EQ(ok,
              (std::map<std::string, bool>{{"VZG001", true}, {"VZG002", false}, {"VZG003", true}}));
    EXPECT_EQ(Nvm("VZG001")[0x1000], '\xAA');
    EXPECT_EQ(Nvm("VZG003")[0x1100], '\x01');

    // One whole line per chip, whatever order the workers finished in.
    const std::string text = ReadAll(log);
    std::set<std::string> serials;
    std::size_t from = 0, lines = 0;
    for (std::size_t nl; (nl = text.find('\n', from)) != std::string::npos;
         from = nl + 1, ++lines) {
        Json line = Json::parse(text.substr(from, nl - from));
        serials.insert(line["adapter"].get<std::string>());
        EXPECT_EQ(line["command"], "burn");
        EXPECT_FALSE(line["time"].get<std::string>().empty());
    }
    EXPECT_EQ(from, text.size());
    EXPECT_EQ(lines, 3u);
    EXPECT_EQ(serials.size(), 3u);
}

TEST_F(Cli, InterruptHaltsTheBurnerAndExits130) {
    const std::string chip = Adapter("VZI001", ",fault=hang"), trace = Path("trace.txt");
    const std::string nbf = Path("i.nbf"), log = Path("audit.log");
    ASSERT_EQ(RunCli({"direct-burn", "--text", "@1000 AA", "-o", nbf, "--dry-run"}, chip).exit, 0);

    Options o;
    o.trace = trace;
    Child c = Start({"--log", log, "burn", nbf}, chip, o);
    // The burner runs (and never stops) once the run command went out.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ReadAll(trace).find("> 24") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kill(c.pid, SIGINT);
    Result r = Finish(c);
    EXPECT_EQ(r.exit, 130) << r.err;
    const std::string t = ReadAll(trace);
    const std::size_t go = t.rfind("> 24");
    ASSERT_NE(go, std::string::npos);
    EXPECT_NE(t.find("> 25", go), std::string::npos) << "no halt after the last run";
    Json line = Json::parse(ReadAll(log));
    EXPECT_EQ(line["result"], "interrupted, state unknown");
    EXPECT_EQ(line["exit"], 130);
}

TEST_F(Cli, SettingsComposeAsTheMainPageDoes) {
    test::FakeOrdwin ordwin;
    test::TestPorts ports;
    test::ProgramDir programDir;
    CDeviceInformation device(ordwin, ports.messages);
    device.SetConnected(1);
    CMainDlg page(ordwin, ports.ports(), device, programDir.Wide());
    WriteAll(Path("boot.hex"), test::kBootHex);
    WriteAll(Path("app.mem"), "@10 01 02 03\n");
    ports.files.answers = {WidenText(Path("boot.hex")), WidenText(Path("app.mem"))};
    page.OnAddBootFile();
    page.OnAddAppFile();
    page.SetFirstBootAddress(u"0x0200");
    page.Box(1024).click();  // Run
    page.Box(1029).click();  // RAM Clear
    page.LogicOrRadio().click();
    page.BurnFileEdit().setText(QString::fromStdString(Path("page.nbf")));
    ports.messages.answers = {MsgResult::Ok};
    page.OnCompose();
    const std::string byPage = ReadAll(Path("page.nbf"));
    ASSERT_NE(byPage.find("[Burn]"), std::string::npos) << test::Texts(ports.messages);

    SettingsWriter out;
    page.StoreMainSettings(out);
    ASSERT_TRUE(out.SaveTo(WidenText(Path("job.set"))));
    std::filesystem::rename(Path("page.nbf"), Path("kept.nbf"));
    Result r = RunCli({"compose", "--settings", Path("job.set")}, "");
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(ReadAll(Path("page.nbf")), byPage);

    // A file that ends early is refused, not half applied.
    WriteAll(Path("short.set"), ReadAll(Path("job.set")).substr(0, 40));
    EXPECT_EQ(RunCli({"compose", "--settings", Path("short.set")}, "").exit, 6);
}

TEST_F(Cli, MtpWriteReadAndHexOverlay) {
    // The writer runs on the chip's clock for its second.
    const std::string chip = "VZM001:state=" + Path("VZM001");
    auto content = [&] {
        Result r = RunCli({"--json", "mtp", "read", "--save", Path("m.hex")}, chip);
        EXPECT_EQ(r.exit, 0) << r.err;
        return r.Objects().at(0)["content"].get<std::string>();
    };
    Result w = RunCli(
        {"--log", Path("a.log"), "mtp", "write", "00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF"},
        chip);
    ASSERT_EQ(w.exit, 0) << w.err;
    EXPECT_EQ(content(), "00 11 22 33  44 55 66 77  88 99 AA BB  CC DD EE FF");
    EXPECT_EQ(ReadAll(Path("m.hex")).substr(0, 43), ":1000000000112233445566778899AABBCCDDEEFFf8");
    EXPECT_EQ(Json::parse(ReadAll(Path("a.log")))["result"], "ok");
    WriteAll(Path("p.hex"), ":02000400AA55FB\r\n:00000001FF\r\n");
    ASSERT_EQ(RunCli({"mtp", "write", "--hex", Path("p.hex")}, chip).exit, 0);
    EXPECT_EQ(content(), "00 11 22 33  AA 55 66 77  88 99 AA BB  CC DD EE FF");
    EXPECT_EQ(RunCli({"mtp", "write", "00 11"}, chip).exit, 1);
}

std::vector<Json> LogLines(const std::string& text) {
    std::vector<Json> lines;
    std::size_t from = 0;
    for (std::size_t nl; (nl = text.find('\n', from)) != std::string::npos; from = nl + 1)
        lines.push_back(Json::parse(text.substr(from, nl - from), nullptr, false));
    return lines;
}

// A burn file damaged after the composer wrote it never reaches a chip, on
// the command line as in the engine, and a gang worker burns only the file
// its parent checked.
TEST_F(Cli, DamagedBurnFileBurnsNothing) {
    const std::string chip = Adapter("VZD001");
    const std::string good = Path("good.nbf"), bad = Path("bad.nbf");
    ASSERT_EQ(
        RunCli({"direct-burn", "--text", "@1000 AA 55\n@1100 01", "-o", good, "--dry-run"}, chip)
            .exit,
        0);
    const std::string text = ReadAll(good), fresh = Nvm("VZD001");
    ASSERT_EQ(fresh.size(), 8192u);
    std::string stale = text;
    {
        // The second image's table record: its first data byte, 01, becomes 03.
        const std::size_t table = stale.find(":0F020000");
        ASSERT_NE(table, std::string::npos);
        ASSERT_EQ(stale.substr(table + 9 + 28, 2), "01");
        stale[table + 9 + 29] = '3';
    }
    auto recount = [&](const char* count) {
        std::string t = text;
        t.replace(t.find("Count=2"), 7, count);
        return t;
    };
    struct Case {
        std::string text, why;
    } cases[] = {
        {stale, "record checksum is wrong"},
        {recount("Count=1"), "records after the 1 images"},
        {recount("Count=3"), "image 3"},
    };
    for (const Case& c : cases) {
        WriteAll(bad, c.text);
        Result r = RunCli({"--json", "--log", Path("a.log"), "burn", bad, "-a", "VZD001"}, chip);
        EXPECT_EQ(r.exit, 6) << c.why << "\n" << r.err;
        ASSERT_EQ(r.Objects().size(), 1u) << r.out;
        const std::string message = r.Objects()[0]["message"];
        EXPECT_NE(message.find("the burn file is damaged: "), std::string::npos) << message;
        EXPECT_NE(message.find(c.why), std::string::npos) << message;
        EXPECT_EQ(Nvm("VZD001"), fresh) << c.why;
    }
    EXPECT_FALSE(std::filesystem::exists(Path("a.log"))) << "nothing happened to a chip";

    // A worker whose file is no longer the one its parent hashed burns nothing.
    Result w =
        RunCli({"--json", "_worker", good, "-a", "VZD001", "--sha256", std::string(64, '0')}, chip);
    EXPECT_EQ(w.exit, 6) << w.err;
    EXPECT_NE(w.out.find("the burn file changed after it was checked"), std::string::npos) << w.out;
    EXPECT_EQ(Nvm("VZD001"), fresh);

    Result ok = RunCli({"--json", "burn", good, "-a", "VZD001"}, chip);
    EXPECT_EQ(ok.exit, 0) << ok.err;
    EXPECT_EQ(Nvm("VZD001")[0x1000], '\xAA');
}

// The log is opened before any chip is touched; a line is always whole.
TEST_F(Cli, AuditLogIsCheckedFirstAndKeepsWholeLines) {
    const std::string chip = Adapter("VZL001");
    const std::string nbf = Path("l.nbf");
    ASSERT_EQ(RunCli({"direct-burn", "--text", "@1000 AA", "-o", nbf, "--dry-run"}, chip).exit, 0);
    const std::string fresh = Nvm("VZL001");
    std::filesystem::create_directory(Path("adir"));
    for (const std::string& log : {Path("missing/a.log"), Path("adir")}) {
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"burn", nbf, "-a", "VZL001"},
              std::vector<std::string>{"--yes", "erase", "-a", "VZL001"},
              std::vector<std::string>{"mtp", "write",
                                       "00 11 22 33 44 55 66 77 88 99 AA BB CC "
                                       "DD EE FF",
                                       "-a", "VZL001"}}) {
            std::vector<std::string> args = {"--json", "--log", log};
            args.insert(args.end(), command.begin(), command.end());
            Result r = RunCli(args, chip);
            EXPECT_EQ(r.exit, 6) << log << " " << command[0] << "\n" << r.err;
            EXPECT_NE(r.err.find("cannot write the log"), std::string::npos) << r.err;
        }
        EXPECT_EQ(Nvm("VZL001"), fresh) << log;
    }

    // A fragment an earlier failure left is closed off; the new line is whole.
    const std::string log = Path("audit.log");
    WriteAll(log, "{\"command\":\"burn\",\"adap");
    Result r = RunCli({"--json", "--log", log, "burn", nbf, "-a", "VZL001"}, chip);
    ASSERT_EQ(r.exit, 0) << r.err;
    std::vector<Json> lines = LogLines(ReadAll(log));
    ASSERT_EQ(lines.size(), 2u) << ReadAll(log);
    EXPECT_TRUE(lines[0].is_discarded());
    EXPECT_EQ(lines[1]["result"], "ok");
    EXPECT_EQ(Nvm("VZL001")[0x1000], '\xAA');

    // A log that takes no line: the chip's record says so and the exit is not 0.
    r = RunCli({"--json", "--log", "/dev/full", "burn", nbf, "-a", "VZL001"}, chip);
    EXPECT_EQ(r.exit, 6) << r.err;
    ASSERT_EQ(r.Objects().size(), 1u) << r.out;
    EXPECT_EQ(r.Objects()[0]["result"], "ok") << "the chip was burned; only the record is lost";
    EXPECT_FALSE(r.Objects()[0]["ok"].get<bool>());
    EXPECT_NE(r.Objects()[0].value("log_error", "").find("/dev/full"), std::string::npos);
    EXPECT_NE(r.out.find("log_error"), std::string::npos);
}

// A question answered No is no success: nothing erased, nothing logged as done.
TEST_F(Cli, DeclinedEraseIsNoSuccess) {
    const std::string chip = Adapter("VZR001");
    const std::string log = Path("erase.log");
    Result no = RunCli({"--json", "--log", log, "erase", "-a", "VZR001"}, chip);
    EXPECT_EQ(no.exit, 1) << no.err;
    ASSERT_EQ(no.Objects().size(), 1u);
    EXPECT_EQ(no.Objects()[0]["result"], "declined");
    EXPECT_FALSE(no.Objects()[0]["ok"].get<bool>());
    Result yes = RunCli({"--json", "--log", log, "--yes", "erase", "-a", "VZR001"}, chip);
    EXPECT_EQ(yes.exit, 0) << yes.err;
    std::vector<Json> lines = LogLines(ReadAll(log));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["result"], "declined");
    EXPECT_EQ(lines[1]["result"], "ok");
}

// A burn file that wrote the user-region reference CRC succeeds only when the
// chip's user CRC matches it afterwards; a direct burn only reports the CRC.
TEST_F(Cli, UserCrcThatMissesTheWrittenReferenceFailsTheBurn) {
    const std::string chip = Adapter("VZK001");
    const std::string direct = Path("d.nbf"), nbf = Path("k.nbf"), log = Path("k.log");
    Result d = RunCli({"--json", "direct-burn", "--text", "@1000 AA", "-o", direct}, chip);
    ASSERT_EQ(d.exit, 0) << d.err;
    EXPECT_FALSE(d.Objects().back()["crc"]["user_match"].get<bool>());
    EXPECT_FALSE(d.Objects().back().contains("crc_check"));

    // The composer's reference leaves out the byte burned before.
    WriteAll(Path("boot.hex"), test::kBootHex);
    ASSERT_EQ(RunCli({"compose", "--boot", Path("boot.hex") + "@0x0200", "-o", nbf}, chip).exit, 0);
    Result b = RunCli({"--json", "--log", log, "burn", nbf, "-a", "VZK001"}, chip);
    EXPECT_EQ(b.exit, 4) << b.err;
    ASSERT_EQ(b.Objects().size(), 1u) << b.out;
    const Json rec = b.Objects()[0];
    EXPECT_EQ(rec["result"], "failed");
    EXPECT_FALSE(rec["crc_check"]["ok"].get<bool>());
    EXPECT_NE(rec["message"].get<std::string>().find("User CRC check failed"), std::string::npos)
        << rec["message"];
    const Json line = Json::parse(ReadAll(log));
    EXPECT_EQ(line["result"], "failed");
    EXPECT_NE(line["message"].get<std::string>().find("differs from the reference"),
              std::string::npos);

    // On a fresh chip the same file burns and its CRC holds.
    const std::string fresh = Adapter("VZK002");
    Result ok = RunCli({"--json", "burn", nbf, "-a", "VZK002"}, fresh);
    EXPECT_EQ(ok.exit, 0) << ok.err;
    EXPECT_TRUE(ok.Objects().at(0)["crc_check"]["ok"].get<bool>());
}

// Each adapter says whether it is virtual; the environment does not decide it.
TEST_F(Cli, ListTellsRealAdaptersFromVirtualOnes) {
    Options o;
    o.env = {std::string("LD_PRELOAD=") + HIDAPI_ZSIM,
             // A preloaded library comes before the sanitizer's runtime.
             std::string("ASAN_OPTIONS=") +
                 (std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "") +
                 ":verify_asan_link_order=0",
             "WICKPORT_USB_IDS=1209:8a51", "ZSIM_HID=VZH001:speed=max"};
    Result real = RunCli({"--json", "list"}, kRealAdapters, o);
    ASSERT_EQ(real.exit, 0) << real.err;
    ASSERT_EQ(real.Objects().size(), 1u) << real.out;
    EXPECT_EQ(real.Objects()[0]["serial"], "VZH001");
    EXPECT_FALSE(real.Objects()[0]["virtual"].get<bool>());
    Result virt = RunCli({"--json", "list"}, Adapter("VZH002"));
    ASSERT_EQ(virt.Objects().size(), 1u) << virt.out;
    EXPECT_TRUE(virt.Objects()[0]["virtual"].get<bool>());
    EXPECT_EQ(virt.Objects()[0]["product_id"], "0x8A51");
}

// A file name that is not UTF-8 is burned from the bytes read, not reopened.
TEST_F(Cli, BurnFileNameThatIsNotUtf8) {
    const std::string chip = Adapter("VZU001");
    const std::string good = Path("u.nbf"), odd = Path("b\xE9\xFF.nbf");
    ASSERT_EQ(RunCli({"direct-burn", "--text", "@1000 AA", "-o", good, "--dry-run"}, chip).exit, 0);
    std::filesystem::copy_file(good, odd);
    Result r = RunCli({"burn", odd, "-a", "VZU001"}, chip);
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(Nvm("VZU001")[0x1000], '\xAA');
}

TEST_F(Cli, ExitCodesOfRefusedCommands) {
    WriteAll(Path("empty.nbf"), "[Compose Map]\r\n;\r\n");
    WriteAll(Path("empty.hex"), "");
    WriteAll(Path("past.hex"), ":02000F00AABB8A\r\n:00000001FF\r\n");
    WriteAll(Path("stale.hex"), ":01000F00AC45\r\n:00000001FF\r\n");
    WriteAll(Path("boot.hex"), test::kBootHex);
    const std::string two = Adapter("VZE001") + ";" + Adapter("VZE002");
    struct Case {
        std::vector<std::string> args;
        std::string adapters;
        int exit;
    } cases[] = {
        {{"burn"}, "", 1},
        {{"frobnicate"}, "", 1},
        {{"info"}, "", 2},
        {{"info"}, two, 2},
        {{"info", "-a", "NOPE"}, two, 2},
        {{"burn", Path("missing.nbf"), "-a", "VZE001"}, two, 6},
        {{"burn", Path("empty.nbf"), "-a", "VZE001"}, two, 6},
        {{"compose", "--boot", Path("missing.hex"), "-o", Path("x.nbf")}, "", 6},
        {{"compose", "--boot", Path("boot.hex") + "@zz", "-o", Path("x.nbf")}, "", 1},
        {{"compose", "--boot", Path("boot.hex") + "@0x0200 --bf_c2_dis --bf_nvm_dis", "-o",
          Path("x.nbf")},
         "",
         1},
        {{"mtp", "read"}, two, 2},
        // MTP hex files that would write what nobody asked for.
        {{"mtp", "write", "--hex", Path("empty.hex"), "-a", "VZE001"}, two, 6},
        {{"mtp", "write", "--hex", Path("past.hex"), "-a", "VZE001"}, two, 6},
        {{"mtp", "write", "--hex", Path("stale.hex"), "-a", "VZE001"}, two, 6},
    };
    for (const Case& c : cases) {
        Result r = RunCli(c.args, c.adapters);
        EXPECT_EQ(r.exit, c.exit) << c.args.at(0) << " " << (c.args.size() > 1 ? c.args[1] : "")
                                  << "\n"
                                  << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(Path("x.nbf"))) << "the composer never ran";
}

TEST_F(Cli, EveryProgramAnswersVersion) {
    for (const char* name : {"cindral-cli", "cindral", "marlspin", "zeltra-sim", "ordwin-smoke"}) {
        const std::string program = std::string(CINDRAL_TEST_BIN_DIR) + name;
        Options o;
        o.program = program.c_str();
        // cindral answers without a display.
        o.env = {"QT_QPA_PLATFORM=xcb", "DISPLAY="};
        Result r = RunCli({"--version"}, "", o);
        EXPECT_EQ(r.exit, 0) << name << r.err;
        EXPECT_EQ(r.out, std::string(name) + " " ZT_VERSION "\n");
    }
}

TEST_F(Cli, GlobalOptionsAfterTheCommand) {
    const std::string chip = Adapter("VZF001"), log = Path("after.log"), nbf = Path("f.nbf");
    ASSERT_EQ(RunCli({"direct-burn", "--text", "@1000 5A", "-o", nbf, "--dry-run"}, chip).exit, 0);

    Result list = RunCli({"list", "--json"}, chip);
    ASSERT_EQ(list.exit, 0) << list.err;
    EXPECT_EQ(list.Objects().at(0)["serial"], "VZF001");

    Result burn = RunCli({"burn", nbf, "-a", "VZF001", "--log", log, "-q", "--json"}, chip);
    ASSERT_EQ(burn.exit, 0) << burn.err;
    EXPECT_EQ(burn.err, "") << "-q after the command silences it";
    EXPECT_EQ(Json::parse(ReadAll(log))["result"], "ok");
    EXPECT_EQ(Nvm("VZF001")[0x1000], '\x5A');

    Result info = RunCli({"info", "-q"}, chip);
    EXPECT_EQ(info.exit, 0) << info.err;
    Result mtp = RunCli({"mtp", "read", "--json"}, chip);
    ASSERT_EQ(mtp.exit, 0) << mtp.err;
    EXPECT_EQ(mtp.Objects().at(0)["command"], "mtp read");
    // An option of the program's own is still refused where it means nothing.
    EXPECT_EQ(RunCli({"list", "--bogus"}, chip).exit, 1);
}

TEST_F(Cli, HelpListsExitCodesAndExamples) {
    Result r = RunCli({"--help"}, "");
    EXPECT_EQ(r.exit, 0);
    for (const char* want : {"Exit status:", "  3    the composer", "  130  interrupted",
                             "Examples:", "cindral-cli compose --boot", "cindral-cli burn "})
        EXPECT_NE(r.out.find(want), std::string::npos) << want;
    // A command's own help stays short.
    Result burn = RunCli({"burn", "--help"}, "");
    EXPECT_EQ(burn.out.find("Exit status:"), std::string::npos);
}

TEST_F(Cli, FirstContactSaysWhereAdapterIdsGo) {
    const std::string config = "XDG_CONFIG_HOME=" + Path("config");
    struct Case {
        std::vector<std::string> env;
        const char* says;
    } cases[] = {
        {{config}, "/etc/wickport/usb-ids"},
        {{config, "WICKPORT_USB_IDS=dead:beef"}, "'ordwin-smoke udev-rule'"},
    };
    for (const Case& c : cases) {
        Options o;
        o.env = c.env;
        Result r = RunCli({"list"}, kRealAdapters, o);
        EXPECT_EQ(r.exit, 0);
        EXPECT_EQ(r.out, "no adapter attached\n");
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("--simulate"), std::string::npos) << r.err;
        EXPECT_EQ(RunCli({"list", "-q"}, kRealAdapters, o).err, "");
    }
}

TEST_F(Cli, ComposeOntoAnExistingBurnFileNamesOverwrite) {
    WriteAll(Path("boot.hex"), test::kBootHex);
    const std::string nbf = Path("twice.nbf");
    const std::vector<std::string> compose = {"compose", "--boot", Path("boot.hex") + "@0x0200",
                                              "-o", nbf};
    ASSERT_EQ(RunCli(compose, "").exit, 0);
    const std::string first = ReadAll(nbf);
    Result again = RunCli(compose, "");
    EXPECT_EQ(again.exit, 3);
    EXPECT_NE(again.err.find("exists: add --overwrite"), std::string::npos) << again.err;
    EXPECT_EQ(again.err.find("Press OK"), std::string::npos) << again.err;
    EXPECT_EQ(ReadAll(nbf), first);
    std::vector<std::string> replace = compose;
    replace.push_back("--overwrite");
    EXPECT_EQ(RunCli(replace, "").exit, 0);
    Result direct = RunCli({"direct-burn", "--text", "@1000 AA", "-o", nbf, "--dry-run"}, "");
    EXPECT_EQ(direct.exit, 3);
    EXPECT_NE(direct.err.find("--overwrite"), std::string::npos) << direct.err;
}

TEST_F(Cli, ProgressPerAdapterAsTheTerminalAllows) {
    const std::string one = Adapter("VZP001"), two = one + ";" + Adapter("VZP002");
    const std::string nbf = Path("p.nbf");
    ASSERT_EQ(RunCli({"direct-burn", "--text", "@1000 AA", "-o", nbf, "--dry-run"}, one).exit, 0);

    // Not a terminal: plain lines, each whole.
    Result plain = RunCli({"burn", nbf}, one);
    ASSERT_EQ(plain.exit, 0) << plain.err;
    EXPECT_NE(plain.err.find("VZP001: image 1 of 1"), std::string::npos) << plain.err;
    EXPECT_EQ(plain.err.find('\r'), std::string::npos);
    EXPECT_EQ(RunCli({"burn", nbf, "-q"}, one).err, "");

    // A terminal: one line redrawn in place, with the elapsed time, ended once.
    Result drawn = RunOnTerminal({"burn", nbf}, one);
    ASSERT_EQ(drawn.exit, 0) << drawn.err;
    EXPECT_NE(drawn.err.find("\r\x1b[KVZP001  image 1 of 1"), std::string::npos) << drawn.err;
    EXPECT_NE(drawn.err.find("0:0"), std::string::npos) << drawn.err;
    EXPECT_EQ(drawn.err.find("VZP001: image"), std::string::npos) << drawn.err;
    EXPECT_EQ(RunOnTerminal({"burn", nbf, "-q"}, one).err, "");

    // A gang: the parent draws a line per adapter and moves up over them.
    Result gang = RunOnTerminal({"burn", nbf, "--all"}, two);
    ASSERT_EQ(gang.exit, 0) << gang.err;
    EXPECT_NE(gang.err.find("\x1b[2A"), std::string::npos) << gang.err;
    for (const char* serial : {"VZP001  image 1 of 1", "VZP002  image 1 of 1"})
        EXPECT_NE(gang.err.find(serial), std::string::npos) << gang.err;
    EXPECT_EQ(gang.err.find("\x1e"), std::string::npos) << "reports stay between the processes";
    EXPECT_NE(gang.out.find("2 adapter(s), 0 failed"), std::string::npos) << gang.out;
}

}  // namespace
}  // namespace cindral
