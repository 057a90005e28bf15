// The real-adapter path end to end: Ordwin's exports, Wickport's hidapi
// backend and hidapi's calls, answered by libhidapi-zsim.so (preloaded by the
// test's environment) in both report layouts and without a readable
// descriptor. Time-outs pass on the virtual adapters' clocks (speed=max), so
// lost replies cost no real seconds.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ordwin.h"
#include "wickport.h"
#include "wickport_test.h"

namespace {

struct Layout {
    const char* name;      // reports= value
    const char* expected;  // start of the layout line in the trace
    bool features;         // the descriptor has the pin and control reports
};

std::map<uint16_t, uint8_t> ProgramBytes() {
    std::ifstream in(ORDWIN_TEST_PROGRAM);
    std::map<uint16_t, uint8_t> bytes;
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 11 || line[0] != ':' || line.substr(7, 2) != "00") continue;
        const unsigned n = std::stoul(line.substr(1, 2), nullptr, 16);
        const unsigned at = std::stoul(line.substr(3, 4), nullptr, 16);
        for (unsigned i = 0; i < n; ++i)
            bytes[uint16_t(at + i)] = uint8_t(std::stoul(line.substr(9 + 2 * i, 2), nullptr, 16));
    }
    return bytes;
}

class RealPath : public ::testing::TestWithParam<Layout> {
  protected:
    void SetUp() override {
        ASSERT_EQ(getenv("WICKPORT_VIRTUAL"), nullptr) << "the real path needs no virtual list";
        ASSERT_NE(getenv("LD_PRELOAD"), nullptr) << "run with libhidapi-zsim.so preloaded";
        setenv("WICKPORT_USB_IDS", "1209:8a51,1209:8045", 1);
        WpSetTraceCallback(
            [](const char* line, void* self) {
                static_cast<RealPath*>(self)->trace_.emplace_back(line);
            },
            this);
    }
    void TearDown() override {
        DisconnectUSB();
        WpSetTraceCallback(nullptr, nullptr);
    }

    // One adapter of this layout; a new serial makes a fresh chip.
    std::string Use(const std::string& options) {
        static int n = 0;
        char serial[16];
        std::snprintf(serial, sizeof serial, "ZR%04d", ++n);
        const std::string text =
            std::string(serial) + ":speed=max,reports=" + GetParam().name + options;
        setenv("ZSIM_HID", text.c_str(), 1);
        int count = -1;
        EXPECT_EQ(USBDebugDevices(&count), 0);
        EXPECT_EQ(count, 1);
        trace_.clear();
        return serial;
    }

    bool TraceHas(const std::string& start) const {
        return std::any_of(trace_.begin(), trace_.end(),
                           [&](const std::string& l) { return l.rfind(start, 0) == 0; });
    }

    int Load() {
        char path[] = ORDWIN_TEST_PROGRAM;
        return Download(path, 0, 1, 0, -1, 0, 0);
    }

    // Runs the downloaded program to its breakpoint and checks what it leaves.
    void RunAndCheck() {
        ASSERT_EQ(SetClrBP(1, 0x0006), 0);
        ASSERT_EQ(WritePC(0), 0);
        ASSERT_EQ(SetTargetGo(), 0);
        int status = 0;
        for (int poll = 0; poll < 20 && status != 1; ++poll) ASSERT_EQ(GetTargetStatus(&status), 0);
        ASSERT_EQ(status, 1);
        uint8_t block[2] = {};
        ASSERT_EQ(GetRAMMemory(block, 0x64, 2), 0);
        unsigned a = 0, b = 1, sum = 0;
        for (int i = 0; i < 12; ++i) {
            sum += a;
            const unsigned next = (a + b) & 0xFF;
            a = b;
            b = next;
        }
        EXPECT_EQ(block[0], 0x5C);
        EXPECT_EQ(block[1], sum & 0xFF);
    }

    void ReadBack() {
        const auto bytes = ProgramBytes();
        ASSERT_FALSE(bytes.empty());
        std::vector<uint8_t> code(bytes.rbegin()->first + 1);
        ASSERT_EQ(GetCodeMemory(code.data(), 0, int(code.size())), 0);
        for (const auto& [at, value] : bytes) EXPECT_EQ(code[at], value) << at;
    }

    std::vector<std::string> trace_;
};

TEST_P(RealPath, ConnectsDownloadsRunsAndReadsBack) {
    const std::string sn = Use("");
    int backend = -1;
    ASSERT_EQ(WpGetBackend(&backend), WP_OK);
    EXPECT_EQ(backend, WP_BACKEND_HID);
    ASSERT_EQ(ConnectUSB(sn.c_str(), 1, 0, 1), 0);
    EXPECT_TRUE(TraceHas(std::string("# report layout: ") + GetParam().expected))
        << (trace_.empty() ? "" : trace_.front());
    ASSERT_EQ(Load(), 0);
    ReadBack();
    RunAndCheck();

    // Feature reports exist only where the descriptor declares them.
    uint8_t a = 0, b = 0, c = 0;
    const char* why = nullptr;
    if (GetParam().features) {
        ASSERT_EQ(SetPinMode(3, 2, 1), 0);
        ASSERT_EQ(GetPinMode(&a, &b, &c), 0);
        EXPECT_EQ(a * 100 + b * 10 + c, 321);
    } else {
        EXPECT_EQ(SetPinMode(3, 2, 1), static_cast<int32_t>(0x81010004));
        ASSERT_EQ(WpGetLastError(&why), WP_OK);
        EXPECT_STREQ(why, "the adapter has no feature report");
    }
}

TEST_P(RealPath, SmallAdapterControlValuesTravelAsFeatureReports) {
    if (!GetParam().features) GTEST_SKIP() << "an unnumbered interface has no control values";
    const std::string sn = Use(",pid=0x8045");
    ASSERT_EQ(ConnectUSB(sn.c_str(), 1, 0, 1), 0);
    EXPECT_TRUE(TraceHas("C< 43 ") || TraceHas("C< 44 ")) << "firmware asked through controls";
    ASSERT_EQ(Load(), 0);
    ReadBack();
}

// A transfer that fails says why, in the message the user sees.
TEST_P(RealPath, AShortReportExplainsItselfInTheMessage) {
    for (int at : {5, 7}) {  // a status reply (target reset), a data reply (hardware id)
        const std::string sn = Use(",fault=short@" + std::to_string(at));
        const int result = ConnectUSB(sn.c_str(), 1, 0, 1);
        ASSERT_LT(result, 0);
        const std::string text = GetErrorMsg(result);
        const bool numbered = std::string(GetParam().name) == "numbered";
        EXPECT_NE(text.find(numbered ? "(input report of 17 bytes, 65 expected)"
                                     : "(input report of 16 bytes, 64 expected)"),
                  std::string::npos)
            << at << ": " << text;
        EXPECT_TRUE(TraceHas("# failed: input report of ")) << at;
        // A later failure without a reason shows the bare text.
        EXPECT_EQ(std::string(GetErrorMsg(ORDWIN_E_NO_RESPONSE)),
                  "Target did not respond and may\nbe disconnected.");
    }
}

TEST_P(RealPath, AnOutdatedAdapterIsNotUpdated) {
    const std::string sn = Use(",fw=22");
    EXPECT_EQ(ConnectUSB(sn.c_str(), 1, 0, 1), ORDWIN_E_FIRMWARE_UPDATE);
    for (const std::string& line : trace_) {
        // Probes only: nothing that selects, prepares or writes a page.
        if (line.rfind("> ", 0) != 0) continue;
        EXPECT_TRUE(line == "> 00 00 00" || line == "> 01 0c 00" || line == "> 06 00 00") << line;
    }
}

// Each fault at a spread of the exchanges of a connect and download:
// whatever the operation answers, the next connect works and reads back the
// truth, and no reply is ever taken for another command's.
TEST_P(RealPath, SurvivesFaultsIncludingLateReplies) {
    const std::string clean = Use("");
    ASSERT_EQ(ConnectUSB(clean.c_str(), 1, 0, 1), 0);
    ASSERT_EQ(Load(), 0);
    std::vector<std::string> sent;
    for (const std::string& l : trace_)
        if (l[0] == '>' || l[0] == 'C' || l[0] == 'F') sent.push_back(l);
    const int total = int(sent.size());
    // The version read, which the connect repeats once after a time-out.
    const int version = 1 + int(std::find(sent.begin(), sent.end(), "> 06 00 00") - sent.begin());
    DisconnectUSB();
    ASSERT_GT(total, 10);
    int drains = 0;
    for (const char* kind : {"drop", "short", "status", "late"}) {
        for (int step = 0; step <= 5; ++step) {
            const int at = step == 5 ? version : 1 + (total - 1) * step / 4;
            SCOPED_TRACE(std::string(kind) + "@" + std::to_string(at));
            const std::string sn = Use(",fault=" + std::string(kind) + "@" + std::to_string(at));
            const int first = ConnectUSB(sn.c_str(), 1, 0, 1);
            const int loaded = first == 0 ? Load() : -1;
            if (loaded == 0) ReadBack();
            // Still connected after a failure: the next exchanges get their
            // own replies, not one that came late.
            if (Connected() == 1) {
                uint8_t pattern[8] = {1, 2, 3, 4, 5, 6, 7, uint8_t(at)};
                uint8_t back[8] = {};
                const int wrote = SetXRAMMemory(pattern, 0x0300, 8);
                if (wrote == 0 && GetXRAMMemory(back, 0x0300, 8) == 0) {
                    EXPECT_EQ(0, std::memcmp(back, pattern, 8));
                }
            }
            DisconnectUSB();
            // A late reply is drained before the command after it (unless the
            // adapter was reopened, which forgets it).
            if (TraceHas("# drained 1 stale input report")) ++drains;
            ASSERT_EQ(ConnectUSB(sn.c_str(), 1, 0, 1), 0);
            ASSERT_EQ(Load(), 0);
            ReadBack();
            DisconnectUSB();
        }
    }
    EXPECT_GE(drains, 1);
}

INSTANTIATE_TEST_SUITE_P(Layouts, RealPath,
                         ::testing::Values(Layout{"unnumbered", "unnumbered: output 0x00", false},
                                           Layout{"numbered", "numbered: output 0x01", true},
                                           // No readable descriptor: the assumed framing.
                                           Layout{"none", "assumed (no descriptor)", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
