// The MTP writer on virtual chips through the real library: what it writes, the
// codes it leaves, and a writer that does not finish. Each test gets a fresh
// chip whose MTP cells are read back from its state directory.
#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "burn_test_support.h"
#include "core/mtp_engine.h"
#include "core/ordwin_binding.h"

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

// The chips run against wall time; a twentieth of the writer's second is plenty
// for a program of a few thousand cycles.
class ShortSleep : public ISleepPort {
  public:
    void Sleep(int ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms / 20));
        slept += ms;
    }
    long long NowMs() override { return slept; }
    long long slept = 0;
};

class ChipMtp : public ::testing::Test {
  protected:
    ChipMtp()
        : bridge(ports.messages, progress, &ports.pump), engine(ordwin, ports.messages, sleep) {
        saved = QDir::currentPath();
        QDir::setCurrent(work.path());
    }
    ~ChipMtp() override {
        ordwin.DisconnectUSB();
        QDir::setCurrent(saved);
    }

    // A fresh chip; `prepare` may lay files into its state directory first.
    void Connect(const std::string& options = "", const std::string& nvm = "") {
        static int serial = 0;
        sn = Format("VZM%03d", ++serial);
        state = root.path().toStdString() + "/" + sn;
        if (!nvm.empty()) {
            QDir().mkpath(QString::fromStdString(state));
            test::WriteAll(state + "/nvm.bin", nvm);
        }
        setenv("WICKPORT_VIRTUAL", (sn + ":state=" + state + options).c_str(), 1);
        Reconnect();
    }
    void Reconnect() {
        ordwin.DisconnectUSB();
        int count = 0;
        ordwin.USBDebugDevices(&count);
        ASSERT_GE(ordwin.ConnectUSB(sn.c_str(), 1, 0, 0), 0);
        ports.messages.shown.clear();
    }
    std::string Cells() { return test::ReadAll(state + "/mtp.bin"); }

    test::TestPorts ports;
    NoProgress progress;
    ShortSleep sleep;
    OrdwinBinding ordwin;
    OrdwinHostUiBridge bridge;
    MtpEngine engine;
    QTemporaryDir work, root;
    QString saved;
    std::string sn, state;
};

mtp::Bytes Ramp() {
    mtp::Bytes b{};
    for (int i = 0; i < 16; ++i) b[static_cast<std::size_t>(i)] = static_cast<uint8_t>(0x11 * i);
    return b;
}

TEST_F(ChipMtp, WrittenBytesReachTheCellsAndSurviveANewConnection) {
    Connect();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(engine.Read(), mtp::Bytes{});
    MtpEngine::Outcome out = engine.WriteBytes(Ramp());
    EXPECT_EQ(out.status, MtpEngine::Status::kFinished);
    EXPECT_EQ(test::Texts(ports.messages), "Write was successful.|");
    EXPECT_FALSE(QFile::exists(QStringLiteral("Burn1.hex")));
    EXPECT_EQ(engine.Read(), Ramp());
    const mtp::Bytes ramp = Ramp();
    EXPECT_EQ(Cells(), std::string(ramp.begin(), ramp.end()));
    Reconnect();
    EXPECT_EQ(engine.Read(), Ramp());
}

// The writer's own checks and the chip's refusals, each on a fresh chip.
TEST_F(ChipMtp, WriterCodes) {
    std::string mtpDisabled(8192, '\0');
    mtpDisabled[0x1FF1] = 0x08;
    struct Case {
        const char* name;
        std::string options, nvm;
        uint8_t offset, length;
        MtpEngine::Status status;
        const char* message;
        const char* cells;  // the 16 cells afterwards, as hex
    } cases[] = {
        {"all", "", "", 0, 16, MtpEngine::Status::kFinished, "Write was successful.",
         "00112233445566778899aabbccddeeff"},
        {"part", "", "", 4, 8, MtpEngine::Status::kFinished, "Write was successful.",
         "000000000011223344556677"
         "00000000"},
        {"offset", "", "", 0x10, 1, MtpEngine::Status::kFinished, "Bad offset parameter.",
         "00000000000000000000000000000000"},
        {"no length", "", "", 0, 0, MtpEngine::Status::kFinished, "Bad length parameter.",
         "00000000000000000000000000000000"},
        {"past the end", "", "", 8, 9, MtpEngine::Status::kFinished, "Bad length parameter.",
         "00000000000000000000000000000000"},
        {"worn out", ",mtp_endurance=0", "", 0, 16, MtpEngine::Status::kFinished,
         "Programming error.", "00000000000000000000000000000000"},
        {"disabled", "", mtpDisabled, 0, 16, MtpEngine::Status::kFinished, "Programming error.",
         "00000000000000000000000000000000"},
        // speed=max runs the chip through the pause before the halt too.
        {"speed=max", ",speed=max", "", 0, 16, MtpEngine::Status::kFinished,
         "Write was successful.", "00112233445566778899aabbccddeeff"},
    };
    const std::u16string ramp = mtp::ContentDigits(mtp::FormatContent(Ramp()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Connect(c.options, c.nvm);
        ASSERT_FALSE(HasFatalFailure());
        std::string writer = MtpWriterResource();
        ASSERT_EQ(mtp::PatchWriter(writer, ramp, c.offset, c.length), mtp::PatchError::kNone);
        MtpEngine::Outcome out = engine.Write(writer);
        EXPECT_EQ(out.status, c.status);
        EXPECT_EQ(test::Texts(ports.messages), std::string(c.message) + "|");
        std::string cells;
        for (char b : Cells()) cells += Format("%02x", static_cast<uint8_t>(b));
        EXPECT_EQ(cells, c.cells);
        ordwin.DisconnectUSB();
    }
}

// A writer stuck before its final loop is not judged by its result byte.
TEST_F(ChipMtp, AWriterThatHangsTimesOut) {
    Connect();
    ASSERT_FALSE(HasFatalFailure());
    // mov 0x0D,#5 then sjmp $, with the parameter record after it.
    std::string writer =
        ":05000000750D0580FEF6\r\n" + MtpWriterResource().substr(0, 49) + ":00000001FF\r\n";
    MtpEngine::Outcome out = engine.Write(writer);
    EXPECT_EQ(out.status, MtpEngine::Status::kTimedOut);
    EXPECT_EQ(test::Texts(ports.messages),
              "MTP write timed out. The MTP content is unknown; read it back.|");
}

}  // namespace
}  // namespace cindral
