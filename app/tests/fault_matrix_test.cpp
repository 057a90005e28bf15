// The fault matrix: every operation on a virtual adapter, once with each fault
// kind at each of the operation's report exchanges. Every run must end, within
// the operation's time-out, and no run may claim a success that the chip does
// not bear out (its NVM, the program's result, the adapter's firmware).
#include <QDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>

#include "burn_test_support.h"
#include "core/connection.h"
#include "core/mtp_engine.h"
#include "core/ordwin_binding.h"
#include "ordwin.h"
#include "wickport_test.h"

namespace cindral {
namespace {

using test::Narrow;

class NoProgress : public IProgressPort {
  public:
    void* Create(const std::u16string&, const std::u16string&, int, int) override { return this; }
    void SetPosition(void*, int, const std::u16string*) override {}
    void SetStatus(void*, const std::u16string&) override {}
    bool Cancelled(void*) override { return false; }
    void Destroy(void*) override {}
};

// Report exchanges as the virtual adapter counts them: a written report, or
// one control value or feature report call.
int g_exchanges = 0;
void CountExchange(const char* line, void*) {
    if (line[0] == '>' || line[0] == 'C' || line[0] == 'F') ++g_exchanges;
}

const char* const kKinds[] = {"drop", "short", "status", "unplug", "nopower", "hang", "late"};
constexpr int kKindCount = sizeof kKinds / sizeof kKinds[0];

// The library's read time-outs: 5 s at most while it connects, 50 s once a
// Zeltra was halted. An operation may lose two replies (the version read is
// retried once) before it gives up.
constexpr int kConnectLimitMs = 2 * 5000;
constexpr int kHaltedReadMs = 50000;

// A run away chip (the hang fault) costs a little chip time per request, not 25 s.
const char* const kAdapterOptions = ":speed=max,run_cycles=100000";

// Downloaded and run: sums and XORs the 256 bytes at code 0x0100 into RAM
// 0x66/0x67 after the marks 0x5C 0xA1, then stops at the breakpoint 0x0006.
const uint8_t kProgram[] = {0x02, 0x00, 0x10, 0x00, 0x00, 0x00, 0x80, 0xFE, 0x00, 0x00,
                            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x90, 0x01, 0x00, 0x7F,
                            0x00, 0x7E, 0x00, 0x7D, 0x00, 0xE4, 0x93, 0xFC, 0x2E, 0xFE,
                            0xEC, 0x6D, 0xFD, 0xA3, 0xDF, 0xF5, 0x75, 0x64, 0x5C, 0x75,
                            0x65, 0xA1, 0x8E, 0x66, 0x8D, 0x67, 0x02, 0x00, 0x06};

std::string HexRecords(uint16_t address, const std::vector<uint8_t>& bytes) {
    std::string out;
    for (std::size_t at = 0; at < bytes.size(); at += 16) {
        const std::size_t n = std::min<std::size_t>(16, bytes.size() - at);
        const unsigned a = address + at;
        uint8_t sum = uint8_t(n + (a >> 8) + a);
        out += Format(":%02X%04X00", unsigned(n), a);
        for (std::size_t i = 0; i < n; ++i) {
            out += Format("%02X", bytes[at + i]);
            sum = uint8_t(sum + bytes[at + i]);
        }
        out += Format("%02X\r\n", uint8_t(-sum));
    }
    return out;
}

uint32_t Crc32(const std::vector<uint8_t>& data) {
    uint32_t crc = 0xFFFFFFFF;
    for (uint8_t b : data) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

// With speed=max the chip runs only when a request looks at it, so the time
// the program waits is handed to the chip as one status request.
class ChipTimeSleep : public ISleepPort {
  public:
    ChipTimeSleep(IOrdwin& ordwin, test::NoSleep& clock) : ordwin_(ordwin), clock_(clock) {}
    void Sleep(int ms) override {
        clock_.Sleep(ms);
        int status = 0;
        ordwin_.GetTargetStatus(&status);
    }
    long long NowMs() override { return clock_.NowMs(); }

  private:
    IOrdwin& ordwin_;
    test::NoSleep& clock_;
};

class FaultMatrix : public ::testing::Test {
  protected:
    FaultMatrix()
        : bridge(ports.messages, progress, &ports.pump),
          host(ports.messages),
          engine(ordwin, ports.ports(), host, dir.Wide()),
          chipTime(ordwin, ports.sleep),
          mtp(ordwin, ports.messages, chipTime) {
        saved = QDir::currentPath();
        QDir::setCurrent(work.path());
        engine.Options().overwrite = engine.Options().directOverwrite = 1;
        WpSetTraceCallback(CountExchange, nullptr);
    }
    ~FaultMatrix() override {
        WpSetTraceCallback(nullptr, nullptr);
        ordwin.DisconnectUSB();
        QDir::setCurrent(saved);
    }

    struct Run {
        std::string fault;  // empty for the clean run
        bool claimed = false;
        std::string why;    // a false success, explained
        int exchanges = 0;  // of the operation alone
        int virtualMs = 0;  // slept through the ports and waited for lost replies
        double wallSeconds = 0;
    };

    // One operation: the set-up before it (not faulted), what it does, and
    // the check of what its success claims; both see the run's state directory.
    struct Operation {
        std::string name;
        std::string options;  // extra adapter options
        std::function<bool()> setUp;
        std::function<bool()> act;           // true when the operation claims success
        std::function<std::string()> check;  // empty when the chip bears the claim out
        int timeoutMs = 0;                   // in virtual time: what the operation may wait at most
        // What must hold after every run, failed or not.
        std::function<std::string()> always;
    };

    Run Once(const Operation& op, const std::string& fault, int faultAt) {
        static int serial = 0;
        const std::string sn = Format("VZM%05d", ++serial);
        state = state_.path().toStdString() + "/" + sn;
        std::string description = sn + kAdapterOptions + ",state=" + state + op.options;
        Run run;
        ordwin.DisconnectUSB();
        g_exchanges = 0;
        int count = 0;
        setenv("WICKPORT_VIRTUAL", description.c_str(), 1);
        ordwin.USBDebugDevices(&count);
        if (!fault.empty()) {
            // The set-up is never faulted, so its length is that of the clean run.
            run.fault = Format("%s@%d", fault.c_str(), setUpExchanges + faultAt);
            description += ",fault=" + run.fault;
            setenv("WICKPORT_VIRTUAL", description.c_str(), 1);
            ordwin.USBDebugDevices(&count);
        }
        currentSerial = sn;
        ports.messages.shown.clear();
        ports.sleep.total = 0;
        if (op.setUp && !op.setUp()) {
            run.why = "set-up failed";
            return run;
        }
        if (fault.empty()) setUpExchanges = g_exchanges;
        before = Nvm();
        uint64_t waited0 = 0, waited1 = 0;
        WpGetWaitedMs(&waited0);
        const int start = g_exchanges;
        const auto t0 = std::chrono::steady_clock::now();
        run.claimed = op.act();
        run.wallSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        run.exchanges = g_exchanges - start;
        WpGetWaitedMs(&waited1);
        run.virtualMs = ports.sleep.total + int(waited1 - waited0);
        if (run.claimed) run.why = op.check();
        if (run.why.empty() && op.always) run.why = op.always();
        return run;
    }

    // The clean run sets the operation's length; then every kind at every exchange.
    void Matrix(const Operation& op) {
        const Run clean = Once(op, "", 0);
        ASSERT_TRUE(clean.claimed)
            << op.name << ": the clean run fails " << test::Texts(ports.messages);
        ASSERT_EQ(clean.why, "") << op.name;
        ASSERT_GT(clean.exchanges, 0);
        int runs = 0, failures = 0, worstMs = 0;
        std::string worst = "none";
        for (const char* kind : kKinds) {
            for (int at = 1; at <= clean.exchanges; ++at) {
                const Run r = Once(op, kind, at);
                ++runs;
                if (!r.claimed) ++failures;
                if (r.virtualMs > worstMs) worstMs = r.virtualMs, worst = r.fault;
                ASSERT_EQ(r.why, "")
                    << op.name << " with " << r.fault << (r.claimed ? " claims success" : " fails");
                EXPECT_LE(r.virtualMs, op.timeoutMs) << op.name << " with " << r.fault;
                // Virtual time only: a run that waits real seconds is a hang.
                EXPECT_LT(r.wallSeconds, 10.0) << op.name << " with " << r.fault;
            }
        }
        std::printf(
            "fault matrix %s: %d exchanges x %d kinds = %d runs, %d failed, %d recovered; "
            "longest %d ms of virtual time (%s)\n",
            op.name.c_str(), clean.exchanges, kKindCount, runs, failures, runs - failures, worstMs,
            worst.c_str());
        std::fflush(stdout);
    }

    // As the program connects: the library's connect, then only a Zeltra is kept.
    bool Connect() { return AdapterConnection(ordwin, ports.messages).Connect(currentSerial); }

    std::vector<uint8_t> Nvm() {
        const std::string bytes = test::ReadAll(state + "/nvm.bin");
        return std::vector<uint8_t>(bytes.begin(), bytes.end());
    }

    // The NVM holds the asked bytes and nothing else changed; `partly`
    // also accepts asked bytes still unburned (a burn that stopped).
    std::string NvmHolds(const std::map<unsigned, uint8_t>& asked, bool partly = false) {
        const std::vector<uint8_t> now = Nvm();
        if (now.size() != 8192 || before.size() != 8192) return "no NVM image";
        for (unsigned a = 0; a < 8192; ++a) {
            auto it = asked.find(a);
            const uint8_t want = it == asked.end() ? before[a] : uint8_t(before[a] | it->second);
            if (now[a] != want && !(partly && now[a] == before[a]))
                return Format("NVM 0x%04X is 0x%02X, not 0x%02X", a, now[a], want);
        }
        return "";
    }

    bool BurnSucceeded() {
        for (const auto& s : ports.messages.shown)
            if (Narrow(s.text) == "Burn Succeeded") return true;
        return false;
    }

    test::TestPorts ports;
    NoProgress progress;
    OrdwinBinding ordwin;
    OrdwinHostUiBridge bridge;
    test::ProgramDir dir;
    QTemporaryDir work, state_;
    QString saved;
    test::RecordingHost host;
    NvmEngine engine;
    ChipTimeSleep chipTime;
    MtpEngine mtp;
    std::string state, currentSerial;
    std::vector<uint8_t> before;
    int setUpExchanges = 0;
    std::string expectedName;
};

TEST_F(FaultMatrix, Connect) {
    Operation op;
    op.name = "connect";
    op.timeoutMs = kConnectLimitMs;
    op.act = [&] { return Connect(); };
    op.check = [&]() -> std::string {
        uint16_t id = 0;
        const char* name = nullptr;
        if (ordwin.GetHardwareID(&id) < 0 || id != 0x24) return Format("hardware id 0x%X", id);
        if (ordwin.GetDeviceName(&name) < 0 || !name || std::string(name) != expectedName)
            return std::string("device name ") + (name ? name : "(none)");
        return "";
    };
    // The clean run names the chip; the virtual Zeltra is derivative 0xD0.
    Once(Operation{"name", "", nullptr, [&] { return Connect(); }, [] { return ""; }, 0, nullptr},
         "", 0);
    const char* name = nullptr;
    ASSERT_GE(ordwin.GetDeviceName(&name), 0);
    expectedName = name;
    setUpExchanges = 0;
    Matrix(op);
}

TEST_F(FaultMatrix, FirmwareUpdate) {
    // The same adapter connects again: up to date, it needs only a plain connect.
    Once(Operation{"plain", "", nullptr, [&] { return Connect(); }, [] { return ""; }, 0, nullptr},
         "", 0);
    const int plain = g_exchanges;
    Operation op;
    op.name = "firmware update";
    op.options = ",fw=30";
    op.timeoutMs = kConnectLimitMs;
    op.act = [&] { return Connect(); };
    op.check = [&]() -> std::string {
        ordwin.DisconnectUSB();
        const int start = g_exchanges;
        if (!Connect()) return "the updated adapter does not connect again";
        if (g_exchanges - start != plain)
            return Format(
                "the next connect takes %d exchanges, not %d: the firmware is not "
                "what the update claimed",
                g_exchanges - start, plain);
        return "";
    };
    Matrix(op);
}

TEST_F(FaultMatrix, DownloadAndRun) {
    std::vector<uint8_t> data(256);
    uint8_t sum = 0, xr = 0;
    for (unsigned i = 0; i < data.size(); ++i) {
        data[i] = uint8_t(i * 37 + 11);
        sum = uint8_t(sum + data[i]);
        xr ^= data[i];
    }
    test::WriteAll("program.hex",
                   HexRecords(0, std::vector<uint8_t>(std::begin(kProgram), std::end(kProgram))) +
                       HexRecords(0x100, data) + ":00000001FF\r\n");
    uint8_t block[4] = {};
    Operation op;
    op.name = "download and run";
    op.timeoutMs = kConnectLimitMs + 2 * kHaltedReadMs;
    op.setUp = [&] { return Connect(); };
    op.act = [&] {
        char file[] = "program.hex";
        uint8_t zero[4] = {};
        std::memset(block, 0, sizeof block);
        if (ordwin.Download(file, 0, 1, 0, -1, 0, 0) < 0 ||
            ordwin.SetRAMMemory(zero, 0x64, 4) < 0 || ordwin.SetClrBP(1, 6) < 0 ||
            ordwin.WritePC(0) < 0 || ordwin.SetTargetGo() < 0)
            return false;
        int status = 0;
        for (int poll = 0; poll < 5 && status != 1; ++poll)
            if (ordwin.GetTargetStatus(&status) < 0) return false;
        return status == 1 && ordwin.GetRAMMemory(block, 0x64, 4) >= 0;
    };
    // A data reply carries no status: one the adapter mangled into plausible
    // bytes cannot be told from the chip's. So the claim is checked on the
    // chip itself, read again once the one-shot fault is past.
    op.check = [&]() -> std::string {
        const uint8_t want[4] = {0x5C, 0xA1, sum, xr};
        uint8_t ram[4] = {};
        std::vector<uint8_t> code(sizeof kProgram), high(256);
        if (::GetRAMMemory(ram, 0x64, 4) < 0 || ::GetCodeMemory(code.data(), 0, code.size()) < 0 ||
            ::GetCodeMemory(high.data(), 0x100, 256) < 0)
            return "the chip cannot be read back after a claimed success";
        if (std::memcmp(ram, want, 4) != 0)
            return Format("result %02X %02X %02X %02X, not %02X %02X %02X %02X", ram[0], ram[1],
                          ram[2], ram[3], want[0], want[1], want[2], want[3]);
        if (!std::equal(code.begin(), code.end(), kProgram) || high != data)
            return "the code RAM does not hold the downloaded program";
        return "";
    };
    Matrix(op);
}

TEST_F(FaultMatrix, Burn) {
    test::WriteAll(dir / "boot.mem", "11 22 33 44 @0010 5A");
    NVMData file;
    file.fullPath = WidenText(dir / "boot.mem");
    file.fileName = u"boot.mem";
    file.nvmAddress = u"0x0200";
    engine.Options().bootFiles = {file};
    engine.Options().burnFile = WidenText(dir / "main.nbf");
    ASSERT_EQ(engine.Compose(), 1) << host.appended;
    std::vector<uint8_t> user(0x1FF0 - 0x200, 0);
    std::map<unsigned, uint8_t> asked = {
        {0x200, 0x11}, {0x201, 0x22}, {0x202, 0x33}, {0x203, 0x44}, {0x210, 0x5A}};
    for (auto [a, v] : asked) user[a - 0x200] = v;
    const uint32_t crc = Crc32(user);
    const uint8_t record[8] = {
        0, 0, 0x00, 0x11, uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)};
    for (unsigned i = 0; i < 8; ++i) asked[0x1FF0 + i] = record[i];

    Operation op;
    op.name = "burn";
    op.timeoutMs = 2 * (NvmEngine::kPollDeadlineMs + 2 * kHaltedReadMs);
    op.setUp = [&] { return Connect(); };
    op.act = [&] { return engine.Burn() == 1 || BurnSucceeded(); };
    op.check = [&] { return NvmHolds(asked); };
    op.always = [&] { return NvmHolds(asked, true); };
    Matrix(op);
}

TEST_F(FaultMatrix, DirectBurn) {
    engine.Options().directNvmBurnFile = WidenText(dir / "direct.nbf");
    engine.Options().directText = u"@0300 A5 5A 3C 0F";
    ASSERT_EQ(engine.DirectCompose(), 1) << host.appended;
    Operation op;
    op.name = "direct burn";
    op.timeoutMs = NvmEngine::kPollDeadlineMs + 2 * kHaltedReadMs;
    op.setUp = [&] { return Connect(); };
    op.act = [&] {
        engine.DirectBurn();
        return BurnSucceeded();
    };
    const std::map<unsigned, uint8_t> asked = {
        {0x300, 0xA5}, {0x301, 0x5A}, {0x302, 0x3C}, {0x303, 0x0F}};
    op.check = [&] { return NvmHolds(asked); };
    op.always = [&] { return NvmHolds(asked, true); };
    Matrix(op);
}

TEST_F(FaultMatrix, MtpWrite) {
    mtp::Bytes bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(0xA5 ^ (0x11 * i));
    const std::string written(bytes.begin(), bytes.end());
    Operation op;
    op.name = "MTP write";
    op.timeoutMs = MtpEngine::kRunMs + 2 * kHaltedReadMs;
    op.setUp = [&] { return Connect(); };
    op.act = [&] {
        const MtpEngine::Outcome out = mtp.WriteBytes(bytes);
        return out.status == MtpEngine::Status::kFinished &&
               Narrow(out.message) == "Write was successful.";
    };
    op.check = [&]() -> std::string {
        const std::string cells = test::ReadAll(state + "/mtp.bin");
        if (cells == written) return "";
        std::string hex;
        for (char c : cells) hex += Format("%02X", uint8_t(c));
        return "the MTP cells hold " + (hex.empty() ? std::string("nothing") : hex);
    };
    Matrix(op);
}

}  // namespace
}  // namespace cindral
