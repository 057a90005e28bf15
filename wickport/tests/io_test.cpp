// Opening, closing and traffic on the open adapter.
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "test_env.h"

namespace {

using OpenCloseTest = WickportTest;
using TransferTest = WickportTest;
using FeatureTest = WickportTest;

TEST_F(OpenCloseTest, OpenNeedsASelection) {
    ASSERT_EQ(UseAdapters("A;B"), 2);
    EXPECT_EQ(WpOpen(), WP_E_NO_DEVICE_SELECTED);
    ASSERT_EQ(WpSelectDevice("b"), WP_OK);
    EXPECT_EQ(WpOpen(), WP_OK);
    EXPECT_EQ(WpClose(), WP_OK);
    // Nothing open any more.
    EXPECT_EQ(WpClose(), WP_E_INVALID_HANDLE);
}

TEST_F(OpenCloseTest, EveryTransferNeedsAnOpenAdapter) {
    ASSERT_EQ(UseAdapters("ONE"), 1);
    uint8_t buf[64] = {1};
    int received = 99;
    uint8_t value = 0;
    EXPECT_EQ(WpWrite(buf, 3), WP_E_INVALID_HANDLE);
    EXPECT_EQ(WpRead(buf, 64, &received), WP_E_INVALID_HANDLE);
    EXPECT_EQ(received, 0);
    EXPECT_EQ(WpResetAdapter(), WP_E_INVALID_HANDLE);
    EXPECT_EQ(WpResetBootMode(), WP_E_INVALID_HANDLE);
    EXPECT_EQ(WpSetControlValue(0x40, 1), WP_E_INVALID_HANDLE);
    EXPECT_EQ(WpGetControlValue(0x42, &value), WP_E_INVALID_HANDLE);
    buf[0] = 0x49;
    EXPECT_EQ(WpSetFeatureReport(buf, 5), WP_E_INVALID_HANDLE);
    EXPECT_EQ(WpGetFeatureReport(buf, 5), WP_E_INVALID_HANDLE);
}

TEST_F(OpenCloseTest, ReopeningSwitchesToTheNewSelection) {
    ASSERT_EQ(UseAdapters("R1;R2"), 2);
    ASSERT_EQ(WpSelectDevice("R1"), WP_OK);
    ASSERT_EQ(WpOpen(), WP_OK);
    uint8_t report[5] = {0x49, 4, 3, 1, 0};
    ASSERT_EQ(WpSetFeatureReport(report, 5), WP_OK);
    ASSERT_EQ(WpSelectDevice("R2"), WP_OK);
    ASSERT_EQ(WpOpen(), WP_OK);
    // R2 never saw R1's pin mode.
    uint8_t back[5] = {0x49};
    ASSERT_EQ(WpGetFeatureReport(back, 5), WP_OK);
    EXPECT_EQ(back[1], 0);
    EXPECT_EQ(WpClose(), WP_OK);
}

TEST_F(OpenCloseTest, AnAdapterKeepsItsStateAcrossEnumerations) {
    ASSERT_EQ(UseAdapters("K1:pid=0x8045;K2"), 2);
    ASSERT_EQ(WpSelectDevice("K1"), WP_OK);
    ASSERT_EQ(WpOpen(), WP_OK);
    uint8_t report[5] = {0x49, 2, 1, 1, 0};
    ASSERT_EQ(WpSetFeatureReport(report, 5), WP_OK);
    ASSERT_EQ(WpClose(), WP_OK);

    // Same description, listed again (and moved): the same adapter.
    ASSERT_EQ(UseAdapters("K2;K1:pid=0x8045"), 2);
    ASSERT_EQ(WpSelectDevice("K1"), WP_OK);
    ASSERT_EQ(WpOpen(), WP_OK);
    uint8_t back[5] = {0x49};
    ASSERT_EQ(WpGetFeatureReport(back, 5), WP_OK);
    EXPECT_EQ(0, std::memcmp(back, report, 5));
    ASSERT_EQ(WpClose(), WP_OK);

    // A changed description is a new adapter.
    ASSERT_EQ(UseAdapters("K1:pid=0x8253"), 1);
    ASSERT_EQ(WpOpen(), WP_OK);
    uint8_t fresh[5] = {0x49};
    ASSERT_EQ(WpGetFeatureReport(fresh, 5), WP_OK);
    EXPECT_EQ(fresh[1], 0);
}

TEST_F(OpenCloseTest, AnOpenAdapterOutlivesItsRemovalFromTheList) {
    ASSERT_EQ(UseAdapters("GONE"), 1);
    ASSERT_EQ(WpOpen(), WP_OK);
    ASSERT_EQ(UseAdapters("OTHER1;OTHER2"), 2);
    uint8_t report[5] = {0x49, 1, 1, 0, 0};
    EXPECT_EQ(WpSetFeatureReport(report, 5), WP_OK);
    EXPECT_EQ(WpClose(), WP_OK);
    EXPECT_EQ(WpOpen(), WP_E_NO_DEVICE_SELECTED);
}

TEST_F(TransferTest, ReadWithoutAReplyCostsTheTimeOut) {
    // speed=max: the time-out passes on the adapter's clock, not the test's.
    ASSERT_EQ(UseAdapters("T1:speed=max"), 1);
    ASSERT_EQ(WpOpen(), WP_OK);
    ASSERT_EQ(WpSetTimeout(600000), WP_OK);
    uint8_t buf[64];
    std::memset(buf, 0xEE, sizeof buf);
    int received = 99;
    uint64_t before = 0, waited = 0;
    ASSERT_EQ(WpGetWaitedMs(&before), WP_OK);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WpRead(buf, 64, &received), WP_E_READ_TIMEOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(received, 0);
    EXPECT_EQ(buf[0], 0xEE);
    ASSERT_EQ(WpGetWaitedMs(&waited), WP_OK);
    EXPECT_EQ(waited - before, 600000u);

    // speed=real: really waited.
    WpClose();
    ASSERT_EQ(UseAdapters("T2"), 1);
    ASSERT_EQ(WpOpen(), WP_OK);
    ASSERT_EQ(WpSetTimeout(30), WP_OK);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(WpRead(buf, 64, &received), WP_E_READ_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    before = waited;
    ASSERT_EQ(WpGetWaitedMs(&waited), WP_OK);
    EXPECT_EQ(waited - before, 30u);
}

// A fixed pause passes like a lost reply's time-out: on the clock of an open
// speed=max adapter, really otherwise.
TEST_F(TransferTest, APauseTakesTheOpenAdapterClock) {
    struct Case {
        const char* list;
        bool open;
        int pauseMs;
        uint64_t countedMs;
        bool sleeps;
    };
    for (const Case& c :
         {Case{"P1:speed=max", true, 600000, 600000, false}, Case{"P2", true, 30, 30, true},
          Case{"P3:speed=max", false, 30, 0, true}}) {
        SCOPED_TRACE(c.list);
        WpClose();
        ASSERT_EQ(UseAdapters(c.list), 1);
        if (c.open) {
            ASSERT_EQ(WpOpen(), WP_OK);
        }
        uint64_t before = 0, after = 0;
        ASSERT_EQ(WpGetWaitedMs(&before), WP_OK);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(WpPause(c.pauseMs), WP_OK);
        const auto took = std::chrono::steady_clock::now() - start;
        ASSERT_EQ(WpGetWaitedMs(&after), WP_OK);
        EXPECT_EQ(after - before, c.countedMs);
        if (c.sleeps)
            EXPECT_GE(took, std::chrono::milliseconds(c.pauseMs));
        else
            EXPECT_LT(took, std::chrono::seconds(10));
    }
    EXPECT_EQ(WpPause(-1), WP_E_IO);
}

TEST_F(TransferTest, AStateDirectoryInUseRefusesTheOpenWithItsReason) {
    char tmpl[] = "/tmp/wickport-state-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    // Two descriptions of one chip: the first holds the directory, the second is listed but
    // cannot open until the first lets go.
    const std::string list = "S1:state=" + dir + ";S2:state=" + dir;
    ASSERT_EQ(UseAdapters(list.c_str()), 2);
    ASSERT_EQ(WpSelectDevice("S2"), WP_OK);
    testing::internal::CaptureStderr();
    EXPECT_EQ(WpOpen(), WP_E_INVALID_HANDLE);
    const std::string err = testing::internal::GetCapturedStderr();
    const char* why = nullptr;
    ASSERT_EQ(WpGetOpenError(&why), WP_OK);
    EXPECT_NE(std::string(why).find("in use by another program"), std::string::npos) << why;
    EXPECT_NE(err.find("S2"), std::string::npos) << err;
    ASSERT_EQ(WpSelectDevice("S1"), WP_OK);
    ASSERT_EQ(WpOpen(), WP_OK);
    ASSERT_EQ(WpGetOpenError(&why), WP_OK);
    EXPECT_STREQ(why, "");

    // Once the list drops S1, S2 brings its chip up.
    WpClose();
    ASSERT_EQ(UseAdapters(("S2:state=" + dir).c_str()), 1);
    EXPECT_EQ(WpOpen(), WP_OK);
    WpClose();
    UseAdapters("");
    std::filesystem::remove_all(dir);
}

TEST_F(TransferTest, ReplyComesBackAsAFullReportCutToTheAskedLength) {
    ASSERT_EQ(UseAdapters("V1:fw=29,speed=max"), 1);
    ASSERT_EQ(WpOpen(), WP_OK);
    const uint8_t version[3] = {0x06, 0x00, 0x00};
    ASSERT_EQ(WpWrite(version, 3), WP_OK);
    uint8_t buf[8];
    std::memset(buf, 0xEE, sizeof buf);
    int received = 0;
    ASSERT_EQ(WpRead(buf, 2, &received), WP_OK);
    EXPECT_EQ(received, 64);
    EXPECT_EQ(buf[0], 29);
    EXPECT_EQ(buf[1], 0);
    // Nothing past the asked length is touched.
    EXPECT_EQ(buf[2], 0xEE);
    // One reply per packet: the next read finds nothing.
    EXPECT_EQ(WpRead(buf, 2, &received), WP_E_READ_TIMEOUT);
}

// A reply nobody read (or one that came after its read gave up) never
// answers the next command: it is drained, and the trace counts it.
TEST_F(TransferTest, StaleRepliesAreDrainedBeforeTheNextCommandAndCloseDiscardsThem) {
    ASSERT_EQ(UseAdapters("Q1:mode=1,fw=7,speed=max,fault=late@3"), 1);
    std::vector<std::string> lines;
    WpSetTraceCallback(
        [](const char* line, void* user) {
            static_cast<std::vector<std::string>*>(user)->emplace_back(line);
        },
        &lines);
    ASSERT_EQ(WpOpen(), WP_OK);
    const uint8_t mode[3] = {0x00, 0x00, 0x00};
    const uint8_t version[3] = {0x06, 0x00, 0x00};
    ASSERT_EQ(WpWrite(mode, 3), WP_OK);
    ASSERT_EQ(WpWrite(version, 3), WP_OK);
    uint8_t buf[64];
    int received = 0;
    ASSERT_EQ(WpRead(buf, 1, &received), WP_OK);
    EXPECT_EQ(buf[0], 7);
    EXPECT_EQ(WpRead(buf, 1, &received), WP_E_READ_TIMEOUT);
    // The third exchange's reply comes just after its read timed out.
    ASSERT_EQ(WpWrite(mode, 3), WP_OK);
    EXPECT_EQ(WpRead(buf, 1, &received), WP_E_READ_TIMEOUT);
    ASSERT_EQ(WpWrite(version, 3), WP_OK);
    ASSERT_EQ(WpRead(buf, 1, &received), WP_OK);
    EXPECT_EQ(buf[0], 7);
    const std::vector<std::string> expected = {
        "> 00 00 00", "# drained 1 stale input report", "> 06 00 00", "< 07",
        "> 00 00 00", "# drained 1 stale input report", "> 06 00 00", "< 07"};
    EXPECT_EQ(lines, expected);
    WpSetTraceCallback(nullptr, nullptr);

    ASSERT_EQ(WpWrite(mode, 3), WP_OK);
    ASSERT_EQ(WpClose(), WP_OK);
    ASSERT_EQ(WpOpen(), WP_OK);
    EXPECT_EQ(WpRead(buf, 64, &received), WP_E_READ_TIMEOUT);
}

TEST_F(TransferTest, ShortAndDroppedRepliesAreReportedAsSuch) {
    ASSERT_EQ(UseAdapters("D1:fault=drop@1+short@2,speed=max"), 1);
    ASSERT_EQ(WpOpen(), WP_OK);
    const uint8_t mode[3] = {0x00, 0x00, 0x00};
    uint8_t buf[64];
    int received = 0;
    ASSERT_EQ(WpWrite(mode, 3), WP_OK);
    EXPECT_EQ(WpRead(buf, 64, &received), WP_E_READ_TIMEOUT);
    ASSERT_EQ(WpWrite(mode, 3), WP_OK);
    ASSERT_EQ(WpRead(buf, 64, &received), WP_OK);
    EXPECT_EQ(received, 16);
    EXPECT_EQ(buf[0], 2);
    ASSERT_EQ(WpWrite(mode, 3), WP_OK);
    ASSERT_EQ(WpRead(buf, 64, &received), WP_OK);
    EXPECT_EQ(received, 64);
}

TEST_F(TransferTest, NothingPastTheEndOfAShortReportReachesTheCaller) {
    // Exchanges: halt, RAM write, full RAM read, then the same read cut short.
    ASSERT_EQ(UseAdapters("SR:fault=short@4"), 1);
    ASSERT_EQ(WpOpen(), WP_OK);
    uint8_t buf[64];
    int received = 0;
    const uint8_t halt[1] = {0x25};
    ASSERT_EQ(WpWrite(halt, 1), WP_OK);
    ASSERT_EQ(WpRead(buf, 1, &received), WP_OK);
    ASSERT_EQ(buf[0], 0x0D);

    uint8_t write[3 + 24] = {0x2B, 0x30, 24};
    for (int i = 0; i < 24; ++i) write[3 + i] = static_cast<uint8_t>(0xA0 + i);
    ASSERT_EQ(WpWrite(write, sizeof write), WP_OK);
    ASSERT_EQ(WpRead(buf, 1, &received), WP_OK);
    ASSERT_EQ(buf[0], 0x0D);

    const uint8_t read[3] = {0x2A, 0x30, 24};
    ASSERT_EQ(WpWrite(read, 3), WP_OK);
    ASSERT_EQ(WpRead(buf, 24, &received), WP_OK);
    ASSERT_EQ(received, 64);
    EXPECT_EQ(buf[23], 0xA0 + 23);

    ASSERT_EQ(WpWrite(read, 3), WP_OK);
    std::memset(buf, 0xEE, sizeof buf);
    ASSERT_EQ(WpRead(buf, 24, &received), WP_OK);
    ASSERT_EQ(received, 16);
    EXPECT_EQ(buf[15], 0xA0 + 15);
    for (int i = 16; i < 24; ++i) EXPECT_EQ(buf[i], 0) << i;
    EXPECT_EQ(buf[24], 0xEE);
}

TEST_F(TransferTest, UnpluggedAdapterFailsEveryCallAndLeavesTheList) {
    ASSERT_EQ(UseAdapters("U1:fault=unplug@2;U2"), 2);
    ASSERT_EQ(WpSelectDevice("U1"), WP_OK);
    ASSERT_EQ(WpOpen(), WP_OK);
    const uint8_t mode[3] = {0x00, 0x00, 0x00};
    uint8_t buf[64];
    int received = 0;
    ASSERT_EQ(WpWrite(mode, 3), WP_OK);
    EXPECT_EQ(WpWrite(mode, 3), WP_E_IO);
    // Even the reply of the first exchange is gone with the adapter.
    EXPECT_EQ(WpRead(buf, 64, &received), WP_E_IO);
    EXPECT_EQ(received, 0);
    uint8_t report[5] = {0x49};
    uint8_t value = 0;
    EXPECT_EQ(WpGetFeatureReport(report, 5), WP_E_IO);
    EXPECT_EQ(WpSetFeatureReport(report, 5), WP_E_IO);
    EXPECT_EQ(WpGetControlValue(0x42, &value), WP_E_IO);
    EXPECT_EQ(WpSetControlValue(0x40, 1), WP_E_IO);
    EXPECT_EQ(WpResetAdapter(), WP_E_IO);
    int pid = 0;
    EXPECT_EQ(WpGetProductId(&pid), WP_E_DEVICE_NOT_FOUND);

    int count = 0;
    ASSERT_EQ(WpGetDeviceCount(&count), WP_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(SerialAt(0), "U2");
    // The only adapter left is the selected one now.
    EXPECT_EQ(Selected(), "U2");
    EXPECT_EQ(WpSelectDevice("U1"), WP_E_DEVICE_NOT_FOUND);
    // Closing releases the handle, gone or not, like closing a real adapter.
    EXPECT_EQ(WpClose(), WP_OK);
    EXPECT_EQ(WpClose(), WP_E_INVALID_HANDLE);
}

TEST_F(TransferTest, OpenFailsForAnAdapterThatVanishedSinceEnumeration) {
    ASSERT_EQ(UseAdapters("U3:fault=unplug@1"), 1);
    ASSERT_EQ(WpOpen(), WP_OK);
    uint8_t report[5] = {0x49};
    EXPECT_EQ(WpGetFeatureReport(report, 5), WP_E_IO);
    WpClose();
    // Still selected (no enumeration since), but it cannot be opened.
    EXPECT_EQ(WpOpen(), WP_E_INVALID_HANDLE);
}

TEST_F(TransferTest, RefusesBadLengthsAndBuffers) {
    ASSERT_EQ(UseAdapters("T1"), 1);
    ASSERT_EQ(WpOpen(), WP_OK);
    uint8_t buf[65] = {};
    int received = 5;
    EXPECT_EQ(WpWrite(buf, 0), WP_E_WRITE);
    EXPECT_EQ(WpWrite(buf, 65), WP_E_WRITE);
    EXPECT_EQ(WpWrite(buf, -1), WP_E_WRITE);
    EXPECT_EQ(WpWrite(nullptr, 4), WP_E_WRITE);
    EXPECT_EQ(WpRead(buf, 0, &received), WP_E_READ);
    EXPECT_EQ(received, 0);
    EXPECT_EQ(WpRead(buf, 65, &received), WP_E_READ);
    EXPECT_EQ(WpRead(nullptr, 64, &received), WP_E_READ);
    EXPECT_EQ(WpRead(buf, 64, nullptr), WP_E_READ);
    EXPECT_LT(WpSetTimeout(-1), 0);
    EXPECT_EQ(WpWrite(buf, 64), WP_OK);
}

TEST_F(FeatureTest, PinModeReportRoundTrips) {
    ASSERT_EQ(UseAdapters("F1"), 1);
    ASSERT_EQ(WpOpen(), WP_OK);
    uint8_t set[5] = {0x49, 3, 2, 1, 0};
    ASSERT_EQ(WpSetFeatureReport(set, 5), WP_OK);
    uint8_t get[5] = {0x49, 0, 0, 0, 0};
    ASSERT_EQ(WpGetFeatureReport(get, 5), WP_OK);
    EXPECT_EQ(get[0], 0x49);
    EXPECT_EQ(get[1], 3);
    EXPECT_EQ(get[2], 2);
    EXPECT_EQ(get[3], 1);
}

TEST_F(FeatureTest, RefusedReportsFailAndLeaveTheBufferAlone) {
    ASSERT_EQ(UseAdapters("F1"), 1);
    ASSERT_EQ(WpOpen(), WP_OK);
    uint8_t bogus[3] = {0x10, 7, 7};
    EXPECT_EQ(WpSetFeatureReport(bogus, 3), WP_E_WRITE);
    EXPECT_EQ(WpGetFeatureReport(bogus, 3), WP_E_READ);
    EXPECT_EQ(bogus[1], 7);
    EXPECT_EQ(WpSetFeatureReport(bogus, 0), WP_E_WRITE);
    EXPECT_EQ(WpGetFeatureReport(nullptr, 4), WP_E_READ);
    EXPECT_EQ(WpGetFeatureReport(bogus, 65), WP_E_READ);
}

TEST_F(FeatureTest, ControlValuesRoundTrip) {
    ASSERT_EQ(UseAdapters("SMALL:pid=0x8253"), 1);
    ASSERT_EQ(WpOpen(), WP_OK);
    ASSERT_EQ(WpSetControlValue(0x41, 0), WP_OK);
    ASSERT_EQ(WpSetControlValue(0x40, 2), WP_OK);
    uint8_t value = 0xEE;
    ASSERT_EQ(WpGetControlValue(0x40, &value), WP_OK);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(WpSetControlValue(0x40, 256), WP_E_WRITE);
    EXPECT_EQ(WpSetControlValue(-1, 0), WP_E_WRITE);
    EXPECT_EQ(WpGetControlValue(0x40, nullptr), WP_E_READ);
    EXPECT_LT(WpSetControlValue(0x10, 1), 0);
    EXPECT_LT(WpGetControlValue(0x10, &value), 0);
}

TEST_F(FeatureTest, ResetsReachTheOpenAdapter) {
    ASSERT_EQ(UseAdapters("RS:speed=max"), 1);
    ASSERT_EQ(WpOpen(), WP_OK);
    // A restarted adapter has forgotten the reply it still owed.
    const uint8_t mode[3] = {0x00, 0x00, 0x00};
    uint8_t buf[64];
    int received = 0;
    for (auto reset : {&WpResetAdapter, &WpResetBootMode}) {
        ASSERT_EQ(WpWrite(mode, 3), WP_OK);
        EXPECT_EQ(reset(), WP_OK);
        EXPECT_EQ(WpRead(buf, 64, &received), WP_E_READ_TIMEOUT);
        // And it answers again afterwards.
        ASSERT_EQ(WpWrite(mode, 3), WP_OK);
        EXPECT_EQ(WpRead(buf, 64, &received), WP_OK);
    }
}

}  // namespace
