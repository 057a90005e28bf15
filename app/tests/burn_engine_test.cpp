// The burn engine against a scripted library: calls and their order, the
// result messages, the variants of the two entry points, time-outs, the burn
// file's limits and re-entry.
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "burn_test_support.h"

namespace cindral {
namespace {

using test::Narrow;
using test::RecordingHost;
using test::TestPorts;

// Each downloaded image runs as a scripted burner: it leaves `blocks[n]` in the
// result block (success by default) and stops after `pollsToStop` polls.
class ScriptedBurner : public test::FakeOrdwin {
  public:
    std::vector<std::array<uint8_t, 4>> blocks;
    int pollsToStop = 1;
    bool neverStops = false;
    int downloadResult = 0, haltResult = 0, statusResult = 0, bpResult = 0, readResult = 0,
        pcResult = 0, goResult = 0;
    int downloads = 0, polls = 0;
    std::vector<std::string> downloadedFiles;  // content at download time
    std::vector<std::string> downloadNames;
    std::vector<std::string> downloadArgs;
    std::function<void()> onPoll;

    int Download(char* name, int erase, int quiet, int scratch, int bank, int lock,
                 int preserve) override {
        calls.push_back("Download");
        downloadNames.push_back(name);
        downloadedFiles.push_back(test::ReadAll(name));
        downloadArgs.push_back(
            Format("%d %d %d %d %d %d", erase, quiet, scratch, bank, lock, preserve));
        if (downloadResult < 0) return downloadResult;
        ++downloads;
        polls = 0;
        return 0;
    }
    int SetClrBP(int set, unsigned address) override {
        calls.push_back(Format("SetClrBP %d 0x%04X", set, address));
        return bpResult;
    }
    int WritePC(unsigned address) override {
        calls.push_back(Format("WritePC 0x%04X", address));
        return pcResult;
    }
    int SetRAMMemory(uint8_t* b, unsigned start, unsigned n) override {
        calls.push_back(Format("SetRAMMemory 0x%02X %u", start, n));
        std::memcpy(ram.data() + start, b, n);
        return 0;
    }
    int SetTargetGo() override {
        calls.push_back("SetTargetGo");
        return goResult;
    }
    int GetTargetStatus(int* status) override {
        calls.push_back("GetTargetStatus");
        if (onPoll) onPoll();
        if (statusResult < 0) return statusResult;
        *status = !neverStops && ++polls >= pollsToStop ? 1 : 0;
        if (*status) {
            std::size_t i = static_cast<std::size_t>(downloads - 1);
            std::array<uint8_t, 4> b =
                i < blocks.size() ? blocks[i] : std::array<uint8_t, 4>{0x5C, 0, 0, 0};
            std::memcpy(ram.data() + 0x64, b.data(), 4);
        }
        return 0;
    }
    int SetTargetHalt() override {
        calls.push_back("SetTargetHalt");
        return haltResult;
    }
    int GetRAMMemory(uint8_t* b, unsigned start, unsigned n) override {
        calls.push_back(Format("GetRAMMemory 0x%02X %u", start, n));
        if (readResult < 0) return readResult;
        std::memcpy(b, ram.data() + start, n);
        return 0;
    }
};

std::string Nbf(int count, int images) {
    return test::BurnFileText(count, images);
}

std::string ImageFile(int i) {
    return test::AsTemporaryFile(test::BurnerImage(
        0x0400 + static_cast<unsigned>(i), {static_cast<uint8_t>(i)}, static_cast<uint8_t>(i)));
}

class BurnEngine : public ::testing::Test {
  protected:
    BurnEngine()
        : host(ports.messages),
          engine(ordwin, ports.ports(), host, WidenText(dir.path().toStdString() + "/")) {
        saved = GetCwd();
        chdir(dir.path().toLocal8Bit().constData());
        SetPath("/b.nbf");
    }
    ~BurnEngine() override { chdir(saved.c_str()); }
    static std::string GetCwd() {
        char b[4096];
        return getcwd(b, sizeof b) ? b : "/";
    }
    // Both burn sides read the same file.
    void SetPath(const char* name) {
        path = WidenText(dir.path().toStdString() + name);
        engine.Options().burnFile = engine.Options().directNvmBurnFile = path;
    }
    void Write(const std::string& text) { test::WriteAll(Narrow(path), text); }
    std::vector<std::string> Boxes() {
        std::vector<std::string> out;
        for (const auto& s : ports.messages.shown) out.push_back(Narrow(s.text));
        return out;
    }
    std::vector<std::string> CallsFrom(const std::string& first) {
        std::vector<std::string> out;
        bool on = false;
        for (const std::string& c : ordwin.calls) {
            on = on || c == first;
            if (on && c != "GetTargetStatus") out.push_back(c);
        }
        return out;
    }

    QTemporaryDir dir;
    std::string saved;
    ScriptedBurner ordwin;
    TestPorts ports;
    RecordingHost host;
    NvmEngine engine;
    std::u16string path;
};

using V = std::vector<std::string>;

TEST_F(BurnEngine, CallsInOrderForEachImageAndTheTemporaryFiles) {
    Write(Nbf(2, 2));
    ordwin.pollsToStop = 3;
    EXPECT_EQ(engine.Burn(), 1);
    const V perImage = {"SetClrBP 1 0x0006", "WritePC 0x0000", "SetRAMMemory 0x64 4", "SetTargetGo",
                        "GetRAMMemory 0x64 4"};
    V expected{"Download"};
    expected.insert(expected.end(), perImage.begin(), perImage.end());
    expected.push_back("Download");
    expected.insert(expected.end(), perImage.begin(), perImage.end());
    EXPECT_EQ(CallsFrom("Download"), expected);
    EXPECT_EQ(ordwin.Count("GetTargetStatus"), 6);
    EXPECT_EQ(ordwin.downloadNames, (V{"Burn1.hex", "Burn2.hex"}));
    EXPECT_EQ(ordwin.downloadArgs, (V{"0 0 0 -1 0 0", "0 0 0 -1 0 0"}));
    EXPECT_EQ(ordwin.downloadedFiles[1], ImageFile(2));
    EXPECT_FALSE(QFile::exists(dir.path() + "/Burn1.hex"));
    EXPECT_FALSE(QFile::exists(dir.path() + "/Burn2.hex"));
    EXPECT_EQ(Boxes(), V{"Burn Succeeded"}) << "Burn shows success after the last image only";
    EXPECT_EQ(host.lines, V{"Processing burn file...\n"});
    EXPECT_EQ(ports.sleep.total, 3 * 2 * 1000) << "one second per poll, slept in slices";
    EXPECT_EQ(ports.pump.count, 3 * 2 * 10) << "events run between the slices";
}

TEST_F(BurnEngine, InstalledProgramKeepsItsImagesInTheCacheAndSaysSo) {
    const std::string cache = dir.path().toStdString() + "/cache";
    setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    NvmEngine installed(ordwin, ports.ports(), host, u"/nowhere/");
    installed.Options().burnFile = path;
    Write(Nbf(2, 2));
    EXPECT_EQ(installed.Burn(), 1);
    unsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(ordwin.downloadNames,
              (V{cache + "/cindral/Burn1.hex", cache + "/cindral/Burn2.hex"}));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(cache + "/cindral/Burn1.hex")));
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("Burn*")}).isEmpty())
        << "nothing lands in the current directory";
    ASSERT_EQ(host.lines.size(), 2u);
    EXPECT_EQ(host.lines[1],
              "Program directory /nowhere/ is not writable: marlspin.log and the "
              "temporary burner files are in " +
                  cache + "/cindral/\n");
}

TEST_F(BurnEngine, ConflictOnTheSecondOfThree) {
    Write(Nbf(3, 3));
    ordwin.blocks = {{0x5C, 0, 0, 0}, {0xFA, 0x02, 0x12, 0x34}, {0x5C, 0, 0, 0}};
    EXPECT_EQ(engine.Burn(), 0);
    EXPECT_EQ(Boxes(), V{"Bit Conflict\nError Code: 0x02\nBit Failure Address: 0x1234"});
    EXPECT_EQ(ordwin.downloads, 2) << "image 3 is never downloaded";

    ports.messages.shown.clear();
    ordwin.downloads = 0;
    EXPECT_EQ(engine.DirectBurn(), 1);
    EXPECT_EQ(Boxes(), (V{"Burn Succeeded",
                          "Bit Conflict\nError Code: 0x02\nBit Failure Address: "
                          "0x1234",
                          "Burn Succeeded"}));
    EXPECT_EQ(host.lines.back(), "Direct burn in progress...\n");
}

TEST_F(BurnEngine, ResultMessages) {
    auto msg = [](std::array<uint8_t, 4> b, bool direct) {
        return Narrow(BurnResultMessage(b.data(), direct));
    };
    EXPECT_EQ(msg({0x5C, 7, 7, 7}, false), "Burn Succeeded");
    EXPECT_EQ(msg({0xFA, 1, 0, 0}, false), "XDATA address Overflow\nError Code: 0x01");
    EXPECT_EQ(msg({0xFA, 3, 0x1F, 0xA0}, false),
              "Burn threshold error - verify 6.5V presence\nError Code: 0x03\nBit Failure "
              "Address: 0x1FA0");
    EXPECT_EQ(msg({0xFA, 3, 0x1F, 0xA0}, true),
              "Exceeded Burn Threshold\nError Code: 0x03\nBit Failure Address: 0x1FA0");
    EXPECT_EQ(msg({0xFA, 4, 0, 0}, true), "Burn outside valid NVM address\nError Code: 0x04");
    EXPECT_EQ(msg({0xFA, 0xAB, 0, 0}, true), "Undefined Burn Failure: 0xab");
    EXPECT_EQ(msg({0x12, 0xCD, 0, 0}, true), "Undefined Burn Result!: 0x12-0xcd");
}

TEST_F(BurnEngine, NothingToBurn) {
    for (const std::string& text :
         {std::string("[Compose Map]\r\n;\r\n"), std::string("[Burn]\r\nCount=0\r\n;\r\n"),
          std::string(" [Burn]\r\nCount=1\r\n;\r\nI\r\n:00000001FF\r\n"), std::string()}) {
        Write(text);
        ports.messages.shown.clear();
        EXPECT_EQ(engine.Burn(), 0) << text;
        EXPECT_EQ(engine.DirectBurn(), 0) << text;
        EXPECT_EQ(Boxes(), (V{"The burn file holds no burner images.",
                              "The burn file holds no burner images."}))
            << text;
    }
    EXPECT_EQ(ordwin.downloads, 0);
}

// One good image's records with one line replaced; the table names one
// segment of `length` bytes at NVM 0x0400 and holds `data`.
std::string ImageWith(std::vector<uint8_t> table, std::vector<uint8_t> data, bool code = true) {
    table.insert(table.end(), data.begin(), data.end());
    return (code ? test::HexRecords(0, {0x02}) : std::string()) + test::HexRecords(0x0200, table) +
           ":00000001FF\r\n";
}

const std::vector<uint8_t> kTable = {'Z',  'B',  1,    0,    0,    1, 0x02,
                                     0x0E, 0x04, 0x00, 0x00, 0x01, 0, 0};

std::vector<uint8_t> TableWith(std::size_t at, uint8_t value) {
    std::vector<uint8_t> t = kTable;
    t[at] = value;
    return t;
}

// A damaged file is refused whole before anything reaches the chip, with the
// image and line named.
TEST_F(BurnEngine, DamagedBurnFileBurnsNothing) {
    const std::string good = Nbf(2, 2);
    // Image 2's header is line 11; its code record line 12, its table line 13.
    const std::string image2 = good.substr(good.find("Image 2 t\r\n") + 11);
    auto withImage2 = [&](const std::string& records) {
        std::string t = good;
        t.replace(t.find(image2), image2.size() - 3, records);
        return t;
    };
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    std::string staleChecksum = good;
    {
        // One data byte of image 2's table changed, its checksum left as it was.
        const std::size_t table = staleChecksum.find(":0F020000", staleChecksum.find("Image 2"));
        staleChecksum[table + 9 + 2 * 14 + 1] = '3';
    }
    struct Case {
        std::string text;
        std::string why;
    } cases[] = {
        {staleChecksum, "image 2 (line 11): line 13: record checksum is wrong"},
        {replaced("Count=2", "Count=3"), "image 3 (line 15): incomplete: it has no end record"},
        {replaced("Count=2", "Count=1"), "line 12: records after the 1 images the count at line 5"},
        {replaced("Count=2", "Count=0"), "line 8: records after the 0 images"},
        {replaced("Count=2", "Count=-2"), "line 5: the image count is not a number"},
        {replaced("Count=2", "Count="), "line 5: the image count is not a number"},
        {replaced("Count=2", "Count=2x"), "line 5: the image count is not a number"},
        {withImage2(":0100000G02FD\r\n:00000001FF\r\n"),
         "line 12: record with a character that is not a hexadecimal digit"},
        {withImage2(":0100000002F\r\n:00000001FF\r\n"), "line 12: record with an odd number"},
        {withImage2(":0200000002FC\r\n:00000001FF\r\n"), "line 12: record whose byte count"},
        {withImage2(":000000\r\n:00000001FF\r\n"), "line 12: record too short"},
        {withImage2(test::HexRecords(0, {2})),
         "image 2 (line 11): incomplete: it has no end record"},
        {withImage2(":00000001FF\r\n" + test::HexRecords(0, {2}) + ":00000001FF\r\n"),
         "line 13: a record after the end record"},
        {withImage2(":020000040000FA\r\n:00000001FF\r\n"), "line 12: record type 04 is not used"},
        {withImage2(":0100000102FC\r\n"), "line 12: end record with data"},
        {withImage2(test::HexRecords(0x7FFF, {1, 2}) + ":00000001FF\r\n"),
         "line 12: data beyond code RAM"},
        {withImage2(test::HexRecords(0, {2}) + ":00000001FF\r\n"), "no parameter table at 0x0200"},
        {withImage2(ImageWith(kTable, {7}, false)), "no burner code at its entry address"},
        {withImage2(ImageWith(TableWith(1, 'X'), {7})), "wrong signature or layout"},
        {withImage2(ImageWith(TableWith(2, 2), {7})), "wrong signature or layout"},
        {withImage2(ImageWith(TableWith(3, 2), {7})), "unknown burn mode 02"},
        {withImage2(ImageWith(TableWith(5, 0), {7})), "names no segment"},
        {withImage2(ImageWith(TableWith(5, 2), {7})), "parameter table is cut short"},
        {withImage2(ImageWith(TableWith(7, 0x08), {7})), "segment data overlaps the parameter"},
        {withImage2(ImageWith(TableWith(11, 2), {7})), "the data of segment 1 is missing"},
        {withImage2(ImageWith(TableWith(11, 0), {7})), "segment 1 has a length of 0 bytes"},
        {withImage2(ImageWith(TableWith(8, 0x1F), {7})), ""},
        {withImage2(ImageWith(TableWith(8, 0x20), {7})), "segment 1 runs past the end of NVM"},
    };
    for (const Case& c : cases) {
        for (bool direct : {false, true}) {
            Write(c.text);
            ports.messages.shown.clear();
            ordwin.calls.clear();
            const int r = direct ? engine.DirectBurn() : engine.Burn();
            if (c.why.empty()) {
                EXPECT_EQ(r, 1) << "the good control case";
                continue;
            }
            EXPECT_EQ(r, 0) << c.why;
            EXPECT_EQ(ordwin.calls, V{}) << c.why << ": nothing is sent to the chip";
            ASSERT_EQ(ports.messages.shown.size(), 1u) << c.why;
            const std::string box = ports.messages.LastText();
            EXPECT_EQ(box.rfind("The burn file is damaged and was not burned: ", 0), 0u) << box;
            EXPECT_NE(box.find(c.why), std::string::npos) << box;
        }
    }
}

// The reference CRC a burn file writes into the boot record must be what the
// chip's user region gives afterwards; otherwise the burn has failed.
TEST_F(BurnEngine, UserCrcWrittenByTheFileIsCheckedAfterTheBurn) {
    std::string text = "[Burn]\r\nCount=2\r\n;\r\nImage 1\r\n" + test::BurnerImage(0x0400, {1, 2}) +
                       "Image 2 boot record\r\n" +
                       test::BurnerImage(0x1FF0, {0x03, 0x02, 0x00, 0x02, 0xAA, 0xBB, 0xCC, 0xDD}) +
                       ";\r\n";
    Write(text);
    ordwin.pageCrc[0xFA] = {0xAA, 0xBB};
    ordwin.pageCrc[0xFA + 0x100] = {0xCC, 0x00};
    EXPECT_EQ(engine.Burn(), 0);
    EXPECT_EQ(Boxes(), (V{"User CRC check failed: the chip's user CRC 0xAABBCC00 differs from the "
                          "reference 0xAABBCCDD the burn file wrote.\nBurn failed."}));
    EXPECT_TRUE(
        host.Logged("User CRC check failed: the chip's user CRC 0xAABBCC00 differs from "
                    "the reference 0xAABBCCDD the burn file wrote.\n"));

    ports.messages.shown.clear();
    ordwin.pageCrc[0xFA + 0x100] = {0xCC, 0xDD};
    EXPECT_EQ(engine.Burn(), 1);
    EXPECT_EQ(Boxes(), V{"Burn Succeeded"});

    ports.messages.shown.clear();
    ordwin.failPageCrcCall = ordwin.pageCrcCalls + 3;
    EXPECT_EQ(engine.Burn(), 0);
    EXPECT_EQ(Boxes(), (V{"User CRC check failed: the chip's user CRC could not be read.\nBurn "
                          "failed."}));

    // A file that does not write the reference leaves the CRC to the report.
    ordwin.calls.clear();
    Write(Nbf(1, 1));
    EXPECT_EQ(engine.DirectBurn(), 1);
    for (const std::string& call : ordwin.calls)
        EXPECT_EQ(call.find("GetPageCRC"), std::string::npos);
}

// The bytes handed over are the bytes burned, whatever the path names by now.
TEST_F(BurnEngine, BytesGivenAreTheBytesBurned) {
    Write(Nbf(1, 1));
    const std::string given = Nbf(2, 2);
    EXPECT_EQ(engine.BurnBytes(given, false), 1);
    EXPECT_EQ(ordwin.downloadedFiles, (V{ImageFile(1), ImageFile(2)}));
    std::string damaged = given;
    damaged.replace(damaged.find("Count=2"), 7, "Count=1");
    EXPECT_EQ(engine.BurnBytes(damaged, true), 0);
    EXPECT_EQ(ordwin.downloads, 2);
}

// A chip that answers slowly does not stretch the deadline: it is time, not polls.
TEST_F(BurnEngine, DeadlineIsMeasuredOnTheClock) {
    Write(Nbf(1, 1));
    ordwin.neverStops = true;
    ordwin.onPoll = [&] { ports.sleep.total += 4000; };  // each status call takes 4 s
    EXPECT_EQ(engine.Burn(), 0);
    EXPECT_EQ(ordwin.Count("GetTargetStatus"), 5);
    EXPECT_TRUE(host.Logged("Breakpoint was not triggered...hardware in unknown state!\n"));

    ordwin.calls.clear();
    ordwin.onPoll = nullptr;
    ports.sleep.total = 0;
    engine.SetPollIntervalMs(10);
    EXPECT_EQ(engine.DirectBurn(), 0);
    EXPECT_EQ(ordwin.Count("GetTargetStatus"), 2500);
    EXPECT_EQ(ports.sleep.total, 25000);
}

TEST_F(BurnEngine, ImageCountLimits) {
    Write(Nbf(100, 100));
    EXPECT_EQ(engine.Burn(), 0);
    EXPECT_EQ(Boxes(),
              V{"Number of files in NBF file exceeds maximun of 99 files.  Burn aborted.\n"});
    Write(Nbf(99, 99));
    EXPECT_EQ(engine.Burn(), 1);
    EXPECT_EQ(ordwin.downloads, 99);
    EXPECT_EQ(ordwin.downloadNames.back(), "Burn99.hex");

    ports.messages.shown.clear();
    Write(Nbf(10, 10));
    EXPECT_EQ(engine.DirectBurn(), 0);
    EXPECT_EQ(Boxes(),
              V{"Number of files in NBF file exceeds maximun of 9 files.  Burn aborted.\n"});
    EXPECT_EQ(ordwin.downloads, 99);
    Write(Nbf(9, 9));
    EXPECT_EQ(engine.DirectBurn(), 1);
    EXPECT_EQ(ordwin.downloadNames.back(), "Burn9.hex");
}

TEST_F(BurnEngine, LastLineWithoutLineEnd) {
    std::string text = Nbf(1, 1);
    Write(text.substr(0, text.rfind("\r\n;\r\n")));
    EXPECT_EQ(engine.Burn(), 1);
    EXPECT_EQ(ordwin.downloadedFiles.at(0), ImageFile(1));
    EXPECT_EQ(Boxes(), V{"Burn Succeeded"});
}

TEST_F(BurnEngine, BurnerThatNeverStopsIsHaltedAndNotASuccess) {
    Write(Nbf(2, 2));
    ordwin.neverStops = true;
    ordwin.ram[0x64] = 0x5C;  // an earlier run's success
    EXPECT_EQ(engine.Burn(), 0);
    EXPECT_EQ(ordwin.Count("GetTargetStatus"), 25);
    EXPECT_EQ(ports.sleep.total, 25000);
    EXPECT_EQ(CallsFrom("SetRAMMemory 0x64 4"),
              (V{"SetRAMMemory 0x64 4", "SetTargetGo", "SetTargetHalt"}));
    EXPECT_TRUE(host.Logged("Breakpoint was not triggered...hardware in unknown state!\n"));
    EXPECT_EQ(ordwin.ram[0x64], 0) << "the stale block was cleared before the run";
    ASSERT_EQ(ports.messages.shown.size(), 1u);
    EXPECT_EQ(ports.messages.LastText().find("Burn Succeeded"), std::string::npos);
    EXPECT_NE(ports.messages.LastText().find("timed out"), std::string::npos);
    EXPECT_EQ(ordwin.downloads, 1) << "nothing more is burned on a chip in an unknown state";

    ports.messages.shown.clear();
    EXPECT_EQ(engine.DirectBurn(), 0);
    EXPECT_EQ(ordwin.downloads, 2);

    ordwin.haltResult = kNotConnected;
    ports.messages.shown.clear();
    EXPECT_EQ(engine.Burn(), 0);
    EXPECT_TRUE(host.Logged("Halting the target failed!\n"));
    EXPECT_EQ(Boxes(), V{"Burn aborted: halting the target failed (image 1 of 2)."});
}

TEST_F(BurnEngine, EveryFailedStepEndsWithABoxNamingIt) {
    Write(Nbf(2, 2));
    struct Case {
        int ScriptedBurner::*result;
        const char* log;
        const char* step;
    };
    for (const Case& c :
         {Case{&ScriptedBurner::downloadResult, "File Download failed!\n",
               "downloading the burner"},
          Case{&ScriptedBurner::bpResult, "Setting a breakpoint failed!\n",
               "setting the breakpoint"},
          Case{&ScriptedBurner::pcResult, "Writing the PC failed!\n", "writing the PC"},
          Case{&ScriptedBurner::goResult, "Setting the target to run failed!\n",
               "starting the burner"},
          Case{&ScriptedBurner::readResult, "Error reading result from RAM!\n",
               "reading the result block"}}) {
        for (bool direct : {false, true}) {
            SCOPED_TRACE(std::string(c.step) + (direct ? " direct" : ""));
            ordwin.*c.result = kNotConnected;
            ports.messages.shown.clear();
            host.lines.clear();
            EXPECT_EQ(direct ? engine.DirectBurn() : engine.Burn(), 0);
            EXPECT_TRUE(host.Logged(c.log));
            EXPECT_EQ(Boxes(),
                      V{"Burn aborted: " + std::string(c.step) + " failed (image 1 of 2)."});
            ordwin.*c.result = 0;
        }
    }
}

TEST_F(BurnEngine, FailingCallsAreLoggedAndEndTheCall) {
    Write(Nbf(2, 2));
    ordwin.downloadResult = kNotConnected;
    EXPECT_EQ(engine.Burn(), 0);
    EXPECT_TRUE(host.Logged("File Download failed!\n"));
    EXPECT_FALSE(QFile::exists(dir.path() + "/Burn1.hex")) << "a failed download leaves no file";
    EXPECT_EQ(ordwin.Count("SetTargetGo"), 0);

    ordwin.downloadResult = 0;
    ordwin.bpResult = kNotConnected;
    EXPECT_EQ(engine.DirectBurn(), 0);
    EXPECT_TRUE(host.Logged("Setting a breakpoint failed!\n"));
    EXPECT_FALSE(QFile::exists(dir.path() + "/Burn1.hex"));

    ordwin.bpResult = 0;
    ordwin.readResult = kNotConnected;
    EXPECT_EQ(engine.Burn(), 0);
    EXPECT_TRUE(host.Logged("Error reading result from RAM!\n"));
    EXPECT_EQ(ordwin.downloads, 2) << "Burn stops after the failed read";
    EXPECT_EQ(engine.DirectBurn(), 0);
    EXPECT_EQ(ordwin.downloads, 3) << "DirectBurn returns at once";

    // A failing status call ends the polling silently; the block is then judged.
    ordwin.readResult = 0;
    ordwin.statusResult = kNotConnected;
    ordwin.ram[0x64] = 0x5C;
    ports.messages.shown.clear();
    EXPECT_EQ(engine.DirectBurn(), 1);
    EXPECT_EQ(Boxes(),
              (V{"Undefined Burn Result!: 0x00-0x00", "Undefined Burn Result!: 0x00-0x00"}));
    EXPECT_EQ(ordwin.Count("SetTargetHalt"), 0);
    EXPECT_TRUE(ports.messages.shown.size() == 2);
}

TEST_F(BurnEngine, EngineOwnRefusals) {
    host.connected = 0;
    Write(Nbf(1, 1));
    EXPECT_EQ(engine.Burn(), 0);
    EXPECT_EQ(Boxes(), V{"Please connect to device prior to burn execution."});
    EXPECT_TRUE(host.lines.empty());
    host.connected = 1;
    SetPath("/missing.nbf");
    EXPECT_EQ(engine.Burn(), 0);
    EXPECT_EQ(ports.messages.LastText(), "Failed to open NVB file: " + Narrow(path) + "\n");
    EXPECT_EQ(host.lines, V{"Processing burn file...\n"});
    // A pipe never ends: it is refused like a missing file instead of read.
    SetPath("/pipe.nbf");
    ASSERT_EQ(mkfifo(Narrow(path).c_str(), 0600), 0);
    EXPECT_EQ(engine.Burn(), 0);
    EXPECT_EQ(ports.messages.LastText(), "Failed to open NVB file: " + Narrow(path) + "\n");
    // A directory where the temporary file should go.
    SetPath("/b.nbf");
    QDir(dir.path()).mkdir(QStringLiteral("Burn1.hex"));
    EXPECT_EQ(engine.DirectBurn(), 0);
    EXPECT_EQ(ports.messages.LastText(), "Failed to open hex file: Burn1.hex\n");
    EXPECT_EQ(ordwin.downloads, 0);
}

TEST_F(BurnEngine, NoSecondOperationWhileOneRuns) {
    Write(Nbf(1, 1));
    ordwin.pollsToStop = 2;
    int nested = -1, nestedCompose = -1;
    bool busySeen = false;
    ordwin.onPoll = [&] {
        if (nested != -1) return;
        busySeen = engine.Gate().Busy();
        nested = engine.Burn();
        nestedCompose = engine.Compose();
    };
    EXPECT_EQ(engine.Burn(), 1);
    EXPECT_TRUE(busySeen);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(nestedCompose, 0);
    EXPECT_EQ(ordwin.downloads, 1);
    EXPECT_EQ(Boxes(), V{"Burn Succeeded"});
    EXPECT_FALSE(engine.Gate().Busy());
}

}  // namespace
}  // namespace cindral
