// Serial adapters through the exports, against the virtual serial adapter on
// a pseudo-terminal served from a thread of the test.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "exports/debug_context.h"
#include "ordwin.h"
#include "recording_host.h"
#include "serial_adapter.h"

namespace {

constexpr int kPort = 7;

class SerialAdapter : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = ::testing::TempDir() + "ordwin_serial_" + std::to_string(getpid());
        std::filesystem::create_directories(dir_);
        // Our own announcement directory, so no running zeltra-sim interferes.
        setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    }
    void TearDown() override {
        Disconnect(kPort);
        Stop();
        ordwin::Context()->link->SetReceiveBudget(5000);
        unsetenv("ORDWIN_COM7");
        std::filesystem::remove_all(dir_);
    }

    void Start(const zsim::AdapterOptions& options = {}) {
        std::string error;
        server_ = zsim::SerialAdapterServer::Create(dir_ + "/ttyZS0", "VZS001", options, &error);
        ASSERT_TRUE(server_) << error;
        setenv("ORDWIN_COM7", server_->Link().c_str(), 1);
        stop_ = false;
        thread_ = std::thread([this] { server_->Serve(stop_); });
    }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        server_.reset();
    }

    std::string dir_;
    std::unique_ptr<zsim::SerialAdapterServer> server_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

std::string ProgramPath() {
    return ORDWIN_TEST_PROGRAM;
}

TEST_F(SerialAdapter, ComPortsOutsideTheRangeAreRefused) {
    for (int port : {0, 513}) {
        RecordingHost host;
        EXPECT_EQ(Connect(port, 0, 1, 0), ORDWIN_E_INVALIDARG);
        EXPECT_TRUE(host.Saw("Illegal COM port " + std::to_string(port) + " selected."));
        EXPECT_TRUE(host.Saw("Could not set COM port. Check COM port settings."));
    }
    RecordingHost host;
    unsetenv("ORDWIN_COM7");
    setenv("ORDWIN_COM7", (dir_ + "/missing").c_str(), 1);
    EXPECT_EQ(Connect(kPort, 0, 1, 0), ORDWIN_E_LINK_OPEN);
    EXPECT_TRUE(host.Saw("Error opening COM7.\r\nInvalid Port selected."));
}

TEST_F(SerialAdapter, ConnectReadDownloadAndRunToABreakpoint) {
    Start({{"speed", "max"}});
    ASSERT_EQ(Connect(kPort, 1, 1, 0), 0);
    uint16_t family = 0;
    ASSERT_EQ(GetHardwareID(&family), 0);
    EXPECT_EQ(family, 0x24);

    // 130 bytes of RAM cross the line as ten 12-byte replies and one of 10.
    uint8_t pattern[130];
    for (int i = 0; i < 130; ++i) pattern[i] = static_cast<uint8_t>(i * 7 + 3);
    ASSERT_EQ(SetRAMMemory(pattern, 0x10, 130), 0);
    uint8_t ram[130] = {};
    // The previous reply's trailing byte may still be on its way: count from a settled line.
    uint64_t before = server_->BytesToHost();
    for (int i = 0; i < 200; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const uint64_t now = server_->BytesToHost();
        if (now == before && i >= 10) break;
        before = now;
    }
    ASSERT_EQ(GetRAMMemory(ram, 0x10, 130), 0);
    EXPECT_EQ(std::vector<uint8_t>(ram, ram + 130), std::vector<uint8_t>(pattern, pattern + 130));
    EXPECT_EQ(server_->BytesToHost() - before, 130u + 11u);  // one trailing byte per reply

    std::string path = ProgramPath();
    ASSERT_EQ(Download(path.data(), 0, 1, 0, -1, 0, 0), 0);
    ASSERT_EQ(SetClrBP(1, 0x0006), 0);
    ASSERT_EQ(WritePC(0), 0);
    ASSERT_EQ(SetTargetGo(), 0);
    int status = 0;
    for (int poll = 0; poll < 100 && status != 1; ++poll) ASSERT_EQ(GetTargetStatus(&status), 0);
    ASSERT_EQ(status, 1);
    uint32_t pc = 0;
    ASSERT_EQ(ReadPC(&pc), 0);
    EXPECT_EQ(pc, 0x0006u);
    uint8_t result = 0;
    ASSERT_EQ(GetRAMMemory(&result, 0x64, 1), 0);
    EXPECT_EQ(result, 0x5C);
    EXPECT_EQ(Disconnect(kPort), 0);
    EXPECT_EQ(Disconnect(kPort), ORDWIN_E_NOT_CONNECTED);
}

TEST_F(SerialAdapter, DataRepliesMustEndWithExactlyTheTrailingByte) {
    for (const char* fault : {"short", "extra"}) {
        SCOPED_TRACE(fault);
        Start({{"fault", fault}, {"speed", "max"}});
        // The replies are there at once; only the missing byte is waited for.
        ordwin::Context()->link->SetReceiveBudget(200);
        EXPECT_EQ(Connect(kPort, 1, 1, 0), ORDWIN_E_SHORT_RESPONSE);
        uint16_t family = 0;
        EXPECT_EQ(GetHardwareID(&family), ORDWIN_E_NOT_CONNECTED);
        Stop();
    }
}

TEST_F(SerialAdapter, AutomaticBaudUsesTheLinesRateOnlyInItsRange) {
    const struct {
        int lineRate;
        int expected;
    } cases[] = {{57600, 57600}, {38400, 38400}, {9600, 115200}, {2400, 115200}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lineRate);
        Start();
        ASSERT_TRUE(server_->SetLineBaud(c.lineRate));
        ASSERT_EQ(Connect(kPort, 1, 1, 4), 0);  // 9600 configured
        EXPECT_EQ(server_->HandshakeBaud(), c.expected);
        EXPECT_EQ(Disconnect(kPort), 0);
        Stop();
    }
}

TEST_F(SerialAdapter, OutdatedAdapterIsUpdatedAndThenConnects) {
    // fw=22: an old version in the right mode; mode=2: first switched to its
    // update mode, then written with byte-by-byte read-back.
    for (const char* mode : {"3", "2"}) {
        SCOPED_TRACE(mode);
        Start({{"fw", "22"}, {"mode", mode}, {"speed", "max"}});
        RecordingHost host;
        host.answer = ORDWIN_ID_OK;
        ASSERT_EQ(Connect(kPort, 0, 1, 0), 0);
        EXPECT_EQ(host.progressRange, std::make_pair(0, 16));
        EXPECT_EQ(host.progressPositions.size(), 17u);
        EXPECT_GT(server_->BytesFromHost(), 17u * 512u);
        ASSERT_EQ(Disconnect(kPort), 0);
        // Now running the expected firmware: nothing more to write.
        const uint64_t before = server_->BytesFromHost();
        ASSERT_EQ(Connect(kPort, 1, 1, 0), 0);
        EXPECT_LT(server_->BytesFromHost() - before, 512u);
        Stop();
    }
}

TEST_F(SerialAdapter, FlashEraseOverSerial) {
    Start({{"speed", "max"}});
    ASSERT_EQ(Connect(kPort, 1, 1, 0), 0);
    std::string path = ProgramPath();
    ASSERT_EQ(Download(path.data(), 0, 1, 0, -1, 0, 0), 0);
    uint8_t code[4] = {};
    ASSERT_EQ(GetCodeMemory(code, 0, 4), 0);
    EXPECT_NE(code[0], 0xFF);
    EXPECT_EQ(FLASHErase(kPort, 1, 1), ORDWIN_E_CONNECTED);
    ASSERT_EQ(Disconnect(kPort), 0);
    ASSERT_EQ(FLASHErase(kPort, 1, 1), 0);
    ASSERT_EQ(Connect(kPort, 1, 1, 0), 0);
    ASSERT_EQ(GetCodeMemory(code, 0, 4), 0);
    EXPECT_EQ(std::vector<uint8_t>(code, code + 4), std::vector<uint8_t>(4, 0xFF));
}

TEST_F(SerialAdapter, VanishedPortEndsTheOperationAndClosesTheLink) {
    Start();
    ASSERT_EQ(Connect(kPort, 1, 1, 0), 0);
    Stop();  // the cable is pulled
    uint8_t ram[16] = {};
    const int first = GetRAMMemory(ram, 0, 16);
    EXPECT_TRUE(first == ORDWIN_E_SHORT_RESPONSE || first == ORDWIN_E_WRITE_INCOMPLETE ||
                first == ORDWIN_E_NOT_CONNECTED)
        << std::hex << first;
    EXPECT_FALSE(ordwin::Context()->link->IsLinkOpen());
}

// With speed=real the line carries 10 bits a byte at the rate the host set:
// a transfer takes at least its bytes' line time (a lower bound, whatever the
// machine's load).
TEST_F(SerialAdapter, TheLineIsPacedAtItsBaudRate) {
    Start();
    ASSERT_TRUE(server_->SetLineBaud(38400));
    ASSERT_EQ(Connect(kPort, 1, 1, 4), 0);  // automatic: the line's 38400
    const uint64_t baud = static_cast<uint64_t>(ordwin::Context()->link->OpenBaudRate());
    ASSERT_EQ(baud, 38400u);
    uint8_t ram[130] = {};
    const uint64_t in0 = server_->BytesFromHost(), out0 = server_->BytesToHost();
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(GetRAMMemory(ram, 0x10, 130), 0);
    const auto elapsed = std::chrono::steady_clock::now() - t0;
    const uint64_t bytes = server_->BytesFromHost() - in0 + server_->BytesToHost() - out0;
    EXPECT_GT(bytes, 140u);
    // The last reply's trailing byte may still be on the line.
    EXPECT_GE(elapsed, std::chrono::microseconds((bytes - 1) * 10 * 1000000 / baud));
    EXPECT_EQ(Disconnect(kPort), 0);
}

TEST_F(SerialAdapter, RealSerialAdaptersGetNoFirmware) {
    // The same pseudo-terminal, but not announced as a virtual adapter.
    Start({{"fw", "22"}});
    std::filesystem::remove_all(dir_ + "/zeltra-sim-serial");
    const uint64_t before = server_->BytesFromHost();
    EXPECT_EQ(Connect(kPort, 1, 1, 0), ORDWIN_E_FIRMWARE_UPDATE);
    EXPECT_LT(server_->BytesFromHost() - before, 64u);
}

}  // namespace
