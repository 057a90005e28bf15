#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/connection.h"
#include "core/crc_report.h"
#include "core/device_info.h"
#include "core/file_helpers.h"
#include "core/list_style.h"
#include "core/output_log.h"
#include "core/text.h"
#include "core/work_place.h"
#include "fake_ordwin.h"

namespace cindral {
namespace {

using test::FakeOrdwin;
using test::ScriptedMessages;
namespace fs = std::filesystem;

std::string Latin1(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) out.push_back(static_cast<char>(c));
    return out;
}

class TempDir {
  public:
    TempDir() {
        char tmpl[] = "/tmp/cindral-core-XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path, fs::perms::owner_all, ec);
        fs::remove_all(path, ec);
    }
    std::string File(const std::string& name, const std::string& content) const {
        std::string p = path + "/" + name;
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }
    std::string path;
};

TEST(Narrowing, KeepsLowBytesAndStopsAtBufferOrNul) {
    EXPECT_EQ(NarrowText(u"VZ0001", 128), "VZ0001");
    EXPECT_EQ(NarrowText(u"\u0141x", 128), std::string("\x41x"));
    EXPECT_EQ(NarrowText(u"abcdef", 4), "abc");
    EXPECT_EQ(NarrowText(std::u16string(u"ab\0cd", 5), 128), "ab");
    EXPECT_EQ(NarrowText(u"abc", 0), "");
    std::u16string longSerial(300, u'7');
    EXPECT_EQ(NarrowText(longSerial, kSerialBufferSize).size(), 127u);
}

TEST(Paths, Utf16ToTheSystemAndBackEvenWithALoneSurrogate) {
    EXPECT_EQ(ToPath(u"/tmp/a\u00e9\U0001F600").string(), "/tmp/a\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(FromPath(ToPath(u"/tmp/a\u00e9\U0001F600")), u"/tmp/a\u00e9\U0001F600");
    const char16_t lone[] = {u'/', u'x', 0xD800, u'y', 0};
    EXPECT_EQ(ToPath(lone).string(), "/x\xEF\xBF\xBDy") << "a name no settings file can crash";
    EXPECT_EQ(FromPath(std::filesystem::path("/x\xFF")).size(), 3u);
    EXPECT_EQ(ToPath(FromPath(std::filesystem::path("/x\xFF"))).string(), "/x\xFF")
        << "a name that is not UTF-8 is found again";
}

// Bytes the system gave (arguments, file names) come back whole through UTF-16.
TEST(Paths, Utf8ThroughUtf16KeepsEveryByte) {
    const struct {
        std::string bytes;
        std::u16string text;
    } cases[] = {
        {"plain", u"plain"},
        {"b\xC3\xB6\xC3\xB6t.hex", u"b\u00f6\u00f6t.hex"},
        {"\xE2\x82\xAC \xF0\x9F\x98\x80", u"\u20ac \U0001F600"},
        {"latin1 \xF6", u"latin1 \xDCF6"},                  // a lone byte
        {"cut \xC3", u"cut \xDCC3"},                        // ends mid-character
        {"\xC0\xAF", u"\xDCC0\xDCAF"},                      // overlong '/'
        {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},            // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},  // past U+10FFFF
        {"\xFF\xFE", u"\xDCFF\xDCFE"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FromUtf8(c.bytes), c.text) << c.bytes;
        EXPECT_EQ(ToUtf8(FromUtf8(c.bytes)), c.bytes) << c.bytes;
    }
}

TEST(FileHelpers, ExistenceDataAndRemoval) {
    TempDir dir;
    ScriptedMessages messages;
    std::u16string empty = WidenText(dir.File("empty.txt", ""));
    std::u16string full = WidenText(dir.File("full.txt", "x"));
    std::u16string missing = WidenText(dir.path + "/missing.hex");
    EXPECT_TRUE(FileExists(empty));
    EXPECT_FALSE(FileHasData(empty));
    EXPECT_TRUE(FileHasData(full));
    EXPECT_FALSE(FileExists(missing));
    EXPECT_FALSE(FileExists(WidenText(dir.path)));

    RemoveFile(missing, messages);
    EXPECT_TRUE(messages.shown.empty());
    RemoveFile(full, messages);
    EXPECT_FALSE(FileExists(full));
    EXPECT_TRUE(messages.shown.empty());
}

TEST(FileHelpers, RemovalDeniedIsReportedAndTheCallerGoesOn) {
    if (geteuid() == 0) GTEST_SKIP() << "root may delete from a read-only directory";
    TempDir dir;
    ScriptedMessages messages;
    std::string sub = dir.path + "/locked";
    fs::create_directory(sub);
    std::string file = sub + "/Burn1.hex";
    std::ofstream(file) << ":00000001FF\r\n";
    fs::permissions(sub, fs::perms::owner_read | fs::perms::owner_exec);
    RemoveFile(WidenText(file), messages);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.LastText(),
              "Error has occured removing old file: \n" + file + "\nAccess is denied");
    fs::permissions(sub, fs::perms::owner_all);
}

TEST(FileHelpers, WorkingDirectoryEndsInSeparatorAndCanBeSet) {
    TempDir dir;
    std::u16string before = GetWorkingDirectory();
    ASSERT_TRUE(SetWorkingDirectory(WidenText(dir.path)));
    std::u16string now = GetWorkingDirectory();
    EXPECT_EQ(Latin1(now), fs::canonical(dir.path).string() + "/");
    EXPECT_TRUE(SetWorkingDirectory(before));
    EXPECT_FALSE(SetWorkingDirectory(WidenText(dir.path + "/nope")));
}

TEST(WorkPlaceTest, ProgramDirectoryWhileWritableThenTheUsersCache) {
    TempDir dir;
    const std::u16string program = WidenText(dir.path + "/");
    auto choose = [&](const char* xdg, const char* home, const std::u16string& where) {
        xdg ? setenv("XDG_CACHE_HOME", xdg, 1) : unsetenv("XDG_CACHE_HOME");
        home ? setenv("HOME", home, 1) : unsetenv("HOME");
        return ChooseWorkPlace(where);
    };
    const char* savedHome = std::getenv("HOME");
    const std::string home = savedHome ? savedHome : "";
    const std::string xdg = dir.path + "/xdg";

    WorkPlace p = choose(xdg.c_str(), nullptr, program);
    EXPECT_EQ(p.directory, program);
    EXPECT_FALSE(p.fallback);
    p = choose(xdg.c_str(), nullptr, u"/nowhere/");
    EXPECT_EQ(p.directory, WidenText(xdg + "/cindral/"));
    EXPECT_TRUE(p.fallback);
    EXPECT_TRUE(p.notice) << "a refused directory of the user's is worth a line";
    // Installed: the cache, silently, even where root could write beside the program.
    for (const char16_t* installed : {u"/usr/bin/", u"/usr/local/bin/", u"/opt/zt/bin/"}) {
        p = choose(xdg.c_str(), nullptr, installed);
        EXPECT_EQ(p.directory, WidenText(xdg + "/cindral/")) << Latin1(installed);
        EXPECT_TRUE(p.fallback);
        EXPECT_FALSE(p.notice);
    }
    EXPECT_TRUE(std::filesystem::is_directory(xdg + "/cindral")) << "created when missing";
    // A relative XDG_CACHE_HOME is ignored; HOME's .cache stands in.
    p = choose("rel", dir.path.c_str(), u"/nowhere/");
    EXPECT_EQ(p.directory, WidenText(dir.path + "/.cache/cindral/"));
    // Nowhere to go: the program's directory stays and its own write error follows.
    p = choose(nullptr, nullptr, u"/nowhere/");
    EXPECT_EQ(p.directory, u"/nowhere/");
    EXPECT_FALSE(p.fallback);
    unsetenv("XDG_CACHE_HOME");
    if (savedHome) setenv("HOME", home.c_str(), 1);
}

TEST(WorkPlaceTest, SystemDirectoriesAreThosePackagesInstallInto) {
    const struct {
        const char16_t* dir;
        bool system;
    } cases[] = {
        {u"/usr/bin/", true},    {u"/usr/local/bin/", true},
        {u"/bin/", true},        {u"/sbin/", true},
        {u"/lib64/x/", true},    {u"/opt/zt/bin/", true},
        {u"/home/u/zt/", false}, {u"/tmp/build/bin/", false},
        {u"/", false},           {u"/usrx/bin/", false},
        {u"bin/", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsSystemDirectory(c.dir), c.system) << Latin1(c.dir);
}

TEST(BurnFileDialogs, NewFileIsCreatedEmptyOnlyWhenChosenCreatableAndSpaceFree) {
    TempDir dir;
    ScriptedMessages messages;
    test::ScriptedFiles files;
    const std::string old = dir.File("old.nbf", "[Compose Map]\r\nstale\r\n");
    files.answers = {std::nullopt, WidenText(dir.path + "/a b.nbf"),
                     WidenText(dir.path + "/missing/x.nbf"), WidenText(old)};
    EXPECT_FALSE(ChooseNewBurnFile(files, messages)) << "cancelled";
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(ChooseNewBurnFile(files, messages)) << "space";
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.LastText(), "Spaces are not allowed in the file name or file path.");
    EXPECT_EQ(Latin1(messages.shown[0].caption), "Error!");
    EXPECT_FALSE(fs::exists(dir.path + "/a b.nbf"));
    EXPECT_FALSE(ChooseNewBurnFile(files, messages)) << "directory missing";
    EXPECT_EQ(messages.shown.size(), 1u) << "an uncreatable file shows nothing";
    EXPECT_EQ(ChooseNewBurnFile(files, messages), WidenText(old));
    EXPECT_EQ(fs::file_size(old), 0u) << "an existing file is truncated";

    ASSERT_EQ(files.requests.size(), 4u);
    const FileDialogRequest& r = files.requests[0];
    EXPECT_EQ(Latin1(r.filter), "NVM Burn File (*.nbf)|*.nbf|All Files (*.*)|*.*||");
    EXPECT_EQ(Latin1(r.defaultExtension), "nbf");
    EXPECT_EQ(Latin1(r.proposedName), "NVM_Burn");
    EXPECT_TRUE(r.confirmOverwrite);
    EXPECT_TRUE(r.confirmCreate);
    EXPECT_FALSE(r.mustExist);
}

TEST(BurnFileDialogs, ExistingFileMustExistAndBeSpaceFree) {
    ScriptedMessages messages;
    test::ScriptedFiles files;
    files.answers = {u"/tmp/a b.mem", u"/tmp/x.mem"};
    EXPECT_FALSE(ChooseExistingFile(files, messages, u"F (*.mem)|*.mem||"));
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(ChooseExistingFile(files, messages, u"F (*.mem)|*.mem||", u"mem"),
              std::u16string(u"/tmp/x.mem"));
    EXPECT_EQ(messages.shown.size(), 1u);
    ASSERT_EQ(files.requests.size(), 2u);
    EXPECT_TRUE(files.requests[1].mustExist);
    EXPECT_EQ(Latin1(files.requests[1].filter), "F (*.mem)|*.mem||");
    EXPECT_EQ(Latin1(files.requests[1].defaultExtension), "mem");
    EXPECT_FALSE(ChooseExistingFile(files, messages, u"F")) << "cancelled";
}

class RecordingSink : public IOutputSink {
  public:
    std::vector<std::string> appended;
    void AppendAtEnd(const std::u16string& text) override { appended.push_back(Latin1(text)); }
    std::string All() const {
        std::string s;
        for (const auto& a : appended) s += a;
        return s;
    }
};

std::tm FixedTime() {
    std::tm t{};
    t.tm_hour = 7;
    t.tm_min = 5;
    t.tm_sec = 9;
    return t;
}

TEST(OutputLogTest, TimeStampsAndLineEnds) {
    RecordingSink sink;
    ScriptedMessages messages;
    OutputLog log(sink, messages, FixedTime);
    log.WriteOutputLine(u"Invoking Marlspin\n");
    log.WriteOutputText(u"plain", false, false);
    log.WriteOutputText(u"end", false, true);
    log.WriteOutputText(u"stamp", true, false);
    ASSERT_EQ(sink.appended.size(), 4u);
    EXPECT_EQ(sink.appended[0], "07:05:09 Invoking Marlspin\n\r\n");
    EXPECT_EQ(sink.appended[1], "plain");
    EXPECT_EQ(sink.appended[2], "end\r\n");
    EXPECT_EQ(sink.appended[3], "07:05:09 stamp");
}

TEST(OutputLogTest, AppendFileShowsOnlyCompleteLines) {
    TempDir dir;
    RecordingSink sink;
    ScriptedMessages messages;
    OutputLog log(sink, messages, FixedTime);
    log.AppendOutputFile(dir.File("m.log", "first\r\nsecond\nno end"));
    EXPECT_EQ(sink.appended, (std::vector<std::string>{"first\r\n", "second\n"}));
    EXPECT_TRUE(messages.shown.empty());

    sink.appended.clear();
    log.AppendOutputFile(dir.File("none.log", "no line end at all"));
    log.AppendOutputFile(dir.File("empty.log", ""));
    EXPECT_TRUE(sink.appended.empty());
    EXPECT_TRUE(messages.shown.empty());
}

TEST(OutputLogTest, LongLinesArriveWholeInPiecesAndNothingIsLost) {
    TempDir dir;
    RecordingSink sink;
    ScriptedMessages messages;
    OutputLog log(sink, messages, FixedTime);
    std::string longLine(5000, 'a');
    longLine[2046] = 'b';
    std::string tail(3000, 'z');  // no LF: must not appear
    log.AppendOutputFile(dir.File("long.log", longLine + "\n" + "short\n" + tail));
    EXPECT_EQ(sink.All(), longLine + "\nshort\n");
    for (const auto& piece : sink.appended) EXPECT_LE(piece.size(), OutputLog::kLineBufferSize);
}

TEST(OutputLogTest, MissingFileIsReportedAndNothingAppended) {
    RecordingSink sink;
    ScriptedMessages messages;
    OutputLog log(sink, messages, FixedTime);
    log.AppendOutputFile("/nonexistent/marlspin.log");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.LastText(), "Failed to open output file: /nonexistent/marlspin.log\n");
    EXPECT_TRUE(sink.appended.empty());
}

TEST(OutputLogTest, RealClockGivesTwoDigitFields) {
    RecordingSink sink;
    ScriptedMessages messages;
    OutputLog log(sink, messages);
    log.WriteOutputLine(u"x");
    ASSERT_EQ(sink.appended.size(), 1u);
    const std::string& s = sink.appended[0];
    ASSERT_EQ(s.size(), 12u);
    for (int i : {0, 1, 3, 4, 6, 7}) EXPECT_TRUE(isdigit(static_cast<unsigned char>(s[i]))) << s;
    EXPECT_EQ(s[2], ':');
    EXPECT_EQ(s[5], ':');
    EXPECT_EQ(s.substr(8), " x\r\n");
}

TEST(DeviceInfo, FormatsValues) {
    EXPECT_EQ(FormatWordValue(0x02, 0x00), "0x0200");
    EXPECT_EQ(FormatWordValue(0x11, 0xAB), "0x11ab");
    EXPECT_EQ(FormatBitsValue(0x5A), "0x5a (0101_1010)");
    EXPECT_EQ(FormatBitsValue(0x03), "0x03 (0000_0011)");
    EXPECT_EQ(FormatBitsValue(0xFF), "0xff (1111_1111)");
    EXPECT_STREQ(NibbleBits(16), "0000");
}

TEST(DeviceInfo, ReadsRowsInOrderFromTheirAddresses) {
    FakeOrdwin ordwin;
    ordwin.xdata[0x11F3] = 0x11;
    ordwin.xdata[0x11F4] = 0x00;
    ordwin.xdata[0x11F5] = 0x02;
    ordwin.xdata[0x11F6] = 0x40;
    ordwin.xdata[0x11FD] = 0x03;
    ordwin.xdata[0x11FE] = 0x10;
    ordwin.xdata[0x4025] = 0x02;
    ordwin.xdata[0x11D6] = 0xC7;
    ordwin.xdata[0x11FF] = 0x05;
    ordwin.sfr[0xDD] = 0x41;
    ordwin.sfr[0xDA] = 0x47;
    DeviceReading r = ReadDeviceInformation(ordwin);
    EXPECT_EQ(r.values[0], "0x1100");
    EXPECT_EQ(r.values[1], "0x0240");
    EXPECT_EQ(r.values[2], "0x0310");
    EXPECT_EQ(r.values[3], "0x02");
    EXPECT_EQ(r.values[4], "0xc7");
    EXPECT_EQ(r.values[5], "0x05 (0000_0101)");
    EXPECT_EQ(r.values[6], "0x41 (0100_0001)");
    EXPECT_EQ(r.values[7], "0x47 (0100_0111)");
    EXPECT_EQ(r.protectionByte, 0x47);
    EXPECT_EQ(r.nvmUserStartText, "0x0240");
    EXPECT_EQ(ordwin.calls, (std::vector<std::string>{
                                "GetXRAMMemory", "GetXRAMMemory", "GetXRAMMemory", "GetXRAMMemory",
                                "GetXRAMMemory", "GetXRAMMemory", "GetSFRByte", "GetSFRByte"}));
}

TEST(DeviceInfo, FailedReadsLeaveEmptyCells) {
    FakeOrdwin ordwin;
    ordwin.xdataFail[0x11F5] = kNotConnected;
    ordwin.sfrFail[0xDA] = kNotConnected;
    ordwin.sfr[0xDA] = 0x07;
    DeviceReading r = ReadDeviceInformation(ordwin);
    EXPECT_EQ(r.values[1], "");
    EXPECT_EQ(r.nvmUserStartText, "");
    EXPECT_EQ(r.values[7], "");
    EXPECT_EQ(r.protectionByte, 0);
    EXPECT_EQ(r.values[0], "0x0000");
}

std::vector<std::string> Texts(const std::vector<ReportLine>& lines) {
    std::vector<std::string> out;
    for (const auto& l : lines) out.push_back(l.text + (l.lineEnd ? "<EOL>" : ""));
    return out;
}

void SetBlock(FakeOrdwin& o, uint32_t userRef, uint32_t trimRef) {
    for (int i = 0; i < 72; ++i) o.ram[0x70 + i] = static_cast<uint8_t>(i * 3 + 1);
    for (int i = 0; i < 4; ++i) {
        o.ram[0x70 + 72 + i] = static_cast<uint8_t>(userRef >> (24 - 8 * i));
        o.ram[0x70 + 76 + i] = static_cast<uint8_t>(trimRef >> (24 - 8 * i));
    }
}

TEST(CrcReportTest, MatchingAndDifferingRegions) {
    FakeOrdwin o;
    o.SetRegionCrc(0xF9, 0xDEADBEEF);
    o.SetRegionCrc(0xFA, 0x12345678);
    o.SetRegionCrc(0xFB, 0xCAFEF00D);
    SetBlock(o, 0x12345679, 0xDEADBEEF);
    auto lines = Texts(RunCrcReport(o));
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[0], "\nNVM TRIM CRC32: 0xDEADBEEF<EOL>");
    EXPECT_EQ(lines[1], "PT  TRIM CRC32: 0xDEADBEEF");
    EXPECT_EQ(lines[2], ".. OK\n<EOL>");
    EXPECT_EQ(lines[3], "NVM USER CRC32: 0x12345678<EOL>");
    EXPECT_EQ(lines[4], "PT  USER CRC32: 0x12345679");
    EXPECT_EQ(lines[5], ".. DIFF\n<EOL>");
    EXPECT_EQ(lines[6], "ROM CRC32:      0xCAFEF00D\n<EOL>");
    EXPECT_EQ(lines[7], "PT DATA: <EOL>");
    EXPECT_EQ(lines[8], "0000:   01 04 07 0A 0D 10 13 16<EOL>");
    EXPECT_EQ(lines[17], "0048:   12 34 56 79 DE AD BE EF<EOL>");
    EXPECT_EQ(o.indirect[0xB4], 0x0D);
    EXPECT_EQ(o.calls,
              (std::vector<std::string>{"GetPageCRC:249", "GetPageCRC:248", "GetPageCRC:250",
                                        "GetPageCRC:248", "GetPageCRC:251", "GetPageCRC:248",
                                        "IndSetSFRByte", "IndGetSFRByte", "GetRAMMemory"}));
}

TEST(CrcReportTest, OneDifferingByteOfTheTrimIsDiff) {
    FakeOrdwin o;
    o.SetRegionCrc(0xF9, 0xDEADBEEF);
    SetBlock(o, 0, 0xDEADBEEE);
    auto lines = Texts(RunCrcReport(o));
    EXPECT_EQ(lines[2], ".. DIFF\n<EOL>");
}

TEST(CrcReportTest, AFailingCallStopsTheSequenceAndIsReported) {
    FakeOrdwin o;
    o.SetRegionCrc(0xF9, 0x11111111);
    o.SetRegionCrc(0xFA, 0x22222222);
    o.failPageCrcCall = 3;
    SetBlock(o, 0x22222222, 0x11111111);
    auto lines = Texts(RunCrcReport(o));
    ASSERT_EQ(lines.size(), 19u);
    EXPECT_EQ(lines[0], "Error occurred performing CRC operations.\n<EOL>");
    EXPECT_EQ(lines[1], "\nNVM TRIM CRC32: 0x11111111<EOL>");
    // Nothing after the failure was read: the block and later values print as zeros.
    EXPECT_EQ(lines[4], "NVM USER CRC32: 0x00000000<EOL>");
    EXPECT_EQ(lines[2], "PT  TRIM CRC32: 0x00000000");
    EXPECT_EQ(o.Count("GetRAMMemory"), 0);
    EXPECT_EQ(o.Count("IndSetSFRByte"), 0);
}

TEST(Connection, ListsAdaptersSkippingFailures) {
    FakeOrdwin o;
    ScriptedMessages m;
    AdapterConnection c(o, m);
    o.adapters = {"B", "A", "C"};
    o.serialResult[1] = static_cast<int32_t>(0x81040008);
    EXPECT_EQ(c.ListAdapters(), (std::vector<std::string>{"B", "C"}));
    o.devicesResult = static_cast<int32_t>(0x81040006);
    EXPECT_TRUE(c.ListAdapters().empty());
    EXPECT_TRUE(m.shown.empty());
}

TEST(Connection, ZeltraConnectsOverC2WithDialogs) {
    FakeOrdwin o;
    ScriptedMessages m;
    AdapterConnection c(o, m);
    EXPECT_TRUE(c.Connect("VZ0001"));
    EXPECT_EQ(o.lastSerial, "VZ0001");
    EXPECT_EQ(o.lastProtocol, 1);
    EXPECT_EQ(o.lastOption, 0);
    EXPECT_EQ(o.lastDisable, 0);
    EXPECT_EQ(o.connectedFlag, 1);
    EXPECT_TRUE(m.shown.empty());
}

TEST(Connection, FailureShowsTheLibraryText) {
    FakeOrdwin o;
    ScriptedMessages m;
    AdapterConnection c(o, m);
    o.connectResult = static_cast<int32_t>(0x8100000B);
    o.errorText = "USB device could not be opened.";
    EXPECT_FALSE(c.Connect("VZ0001"));
    EXPECT_EQ(m.LastText(), "Connect Failure: USB device could not be opened.");
    EXPECT_EQ(o.Count("GetHardwareID"), 0);

    o.connectResult = static_cast<int32_t>(0x81030003);
    o.errorText = "Unable to set up and open COM Port.";
    EXPECT_FALSE(c.Connect("VZ0001"));
    EXPECT_EQ(m.LastText(),
              "Connect Failure: the USB adapter VZ0001 is in use by another program or cannot be "
              "opened.");
}

TEST(Connection, OtherTargetsAreRefusedAndDisconnected) {
    FakeOrdwin o;
    ScriptedMessages m;
    AdapterConnection c(o, m);
    o.hardwareId = 0x10;
    EXPECT_FALSE(c.Connect("VZ0009"));
    ASSERT_EQ(m.shown.size(), 1u);
    EXPECT_EQ(m.LastText(), "Connection failure:\nInvalid target: C8051F310");
    EXPECT_EQ(m.shown[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(o.connectedFlag, 0);
}

TEST(Connection, NoConnectionIsKeptWhenTheTargetCannotBeIdentified) {
    FakeOrdwin o;
    ScriptedMessages m;
    AdapterConnection c(o, m);
    o.hardwareIdResult = kNotConnected;
    EXPECT_FALSE(c.Connect("VZ0001"));
    EXPECT_EQ(o.connectedFlag, 0);
    EXPECT_EQ(o.Count("DisconnectUSB"), 1);

    o.hardwareIdResult = 0;
    o.hardwareId = 0x07;
    o.deviceNameResult = kNotConnected;
    EXPECT_FALSE(c.Connect("VZ0001"));
    EXPECT_EQ(o.connectedFlag, 0);
    EXPECT_EQ(o.Count("DisconnectUSB"), 2);
    EXPECT_TRUE(m.shown.empty());
}

TEST(Connection, DisconnectFailureIsReported) {
    FakeOrdwin o;
    ScriptedMessages m;
    AdapterConnection c(o, m);
    o.disconnectResult = static_cast<int32_t>(0x81000009);
    EXPECT_FALSE(c.Disconnect());
    EXPECT_EQ(m.LastText(), "Disconnect Failure\n");
    o.disconnectResult = 0;
    EXPECT_TRUE(c.Disconnect());
    // A library that already dropped the target has nothing left to let go.
    m.shown.clear();
    o.disconnectResult = kNotConnected;
    bool letGo = false;
    EXPECT_TRUE(c.Disconnect(&letGo));
    EXPECT_TRUE(letGo);
    EXPECT_TRUE(m.shown.empty());
}

TEST(ListStyle, PriorityCellThenRowThenColumn) {
    iLS_item item;
    item.subItems.push_back(std::make_unique<iLS_item>());
    iLS_item column;
    column.textColour = 0x00FF0000;
    column.SetFlags(kStyleTextColour | kStyleItalic);
    EXPECT_EQ(ResolveStyle(&item, 1, &column, false).text, 0x00FF0000u);

    item.Row().textColour = kRed;
    EXPECT_EQ(ResolveStyle(&item, 1, &column, false).text, 0x00FF0000u)
        << "a row colour without its flag is not used";
    item.Row().SetFlags(kStyleTextColour);
    ResolvedStyle s = ResolveStyle(&item, 1, &column, false);
    EXPECT_EQ(s.text, kRed);
    EXPECT_TRUE(s.hasFont);
    EXPECT_EQ(s.fontBits, static_cast<uint32_t>(kStyleItalic));

    item.subItems[0]->textColour = 0x0000FF00;
    item.subItems[0]->SetFlags(kStyleTextColour | kStyleBold);
    s = ResolveStyle(&item, 1, &column, false);
    EXPECT_EQ(s.text, 0x0000FF00u);
    EXPECT_EQ(s.fontBits, static_cast<uint32_t>(kStyleBold | kStyleItalic));
    EXPECT_EQ(ResolveStyle(&item, 0, nullptr, false).text, kRed);
    EXPECT_EQ(ResolveStyle(&item, 7, nullptr, false).text, kRed) << "column past the records";
}

TEST(ListStyle, SelectedAlternativesAndBlockingBits) {
    iLS_item item;
    item.Row().textColour = kRed;
    item.Row().SetFlags(kStyleTextColour);
    EXPECT_EQ(ResolveStyle(&item, 0, nullptr, true).text, kRed);
    item.Row().selectedStyle = std::make_unique<iLS_item>();
    EXPECT_FALSE(ResolveStyle(&item, 0, nullptr, true).text.has_value());

    iLS_item blocked;
    blocked.SetFlags(kStyleNoLowerText);
    blocked.Row().textColour = kRed;
    blocked.Row().SetFlags(kStyleTextColour);
    EXPECT_FALSE(ResolveStyle(&blocked, 0, nullptr, false).text.has_value());
    EXPECT_FALSE(ResolveStyle(nullptr, 0, nullptr, false).text.has_value());
}

}  // namespace
}  // namespace cindral
