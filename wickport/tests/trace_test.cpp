// The report trace: file format, following WICKPORT_TRACE, the in-process hook.
#include <fcntl.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "test_env.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class TraceTest : public WickportTest {
  protected:
    void SetUp() override {
        WickportTest::SetUp();
        path_ = ::testing::TempDir() + "wickport_trace_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
        std::remove(path_.c_str());
    }
    void TearDown() override {
        WickportTest::TearDown();
        std::remove(path_.c_str());
    }
    std::string path_;
};

void Collect(const char* line, void* user) {
    static_cast<std::vector<std::string>*>(user)->push_back(line);
}

TEST_F(TraceTest, WritesOneFlushedLinePerReport) {
    ASSERT_EQ(UseAdapters("TR:pid=0x8045,fw=30,speed=max"), 1);
    ASSERT_EQ(WpOpen(), WP_OK);
    setenv("WICKPORT_TRACE", path_.c_str(), 1);

    const uint8_t version[3] = {0x06, 0x00, 0x00};
    ASSERT_EQ(WpWrite(version, 3), WP_OK);
    // Readable while the library still holds the file open.
    EXPECT_EQ(ReadFile(path_), "> 06 00 00\n");

    // The caller's length decides how much of the reply is traced.
    uint8_t buf[64];
    int received = 0;
    ASSERT_EQ(WpRead(buf, 4, &received), WP_OK);
    EXPECT_EQ(received, 64);
    // No reply, no line.
    EXPECT_EQ(WpRead(buf, 64, &received), WP_E_READ_TIMEOUT);
    uint8_t mode[5] = {0x49, 1, 2, 0, 0};
    ASSERT_EQ(WpSetFeatureReport(mode, 5), WP_OK);
    uint8_t back[5] = {0x49};
    ASSERT_EQ(WpGetFeatureReport(back, 5), WP_OK);
    ASSERT_EQ(WpSetControlValue(0x40, 0xAB), WP_OK);
    uint8_t value = 0;
    ASSERT_EQ(WpGetControlValue(0x40, &value), WP_OK);

    EXPECT_EQ(ReadFile(path_),
              "> 06 00 00\n"
              "< 1e 00 00 00\n"
              "F> 49 01 02 00 00\n"
              "F< 49 01 02 00 00\n"
              "C> 40 ab\n"
              "C< 40 ab\n");
}

TEST_F(TraceTest, FullAndShortReportsShowWhatArrived) {
    ASSERT_EQ(UseAdapters("TS:fault=short@2"), 1);
    ASSERT_EQ(WpOpen(), WP_OK);
    std::vector<std::string> lines;
    WpSetTraceCallback(&Collect, &lines);
    const uint8_t mode[3] = {0x00, 0x00, 0x00};
    uint8_t buf[64];
    int received = 0;
    ASSERT_EQ(WpWrite(mode, 3), WP_OK);
    ASSERT_EQ(WpRead(buf, 64, &received), WP_OK);
    ASSERT_EQ(WpWrite(mode, 3), WP_OK);
    ASSERT_EQ(WpRead(buf, 64, &received), WP_OK);
    EXPECT_EQ(received, 16);
    ASSERT_EQ(lines.size(), 4u);
    std::string full = "< 02";
    for (int i = 1; i < 64; ++i) full += " 00";
    EXPECT_EQ(lines[1], full);
    EXPECT_EQ(lines[3], full.substr(0, 2 + 16 * 3 - 1));
}

TEST_F(TraceTest, AppendsAndFollowsTheVariable) {
    {
        std::ofstream out(path_);
        out << "earlier\n";
    }
    ASSERT_EQ(UseAdapters("TR"), 1);
    ASSERT_EQ(WpOpen(), WP_OK);
    setenv("WICKPORT_TRACE", path_.c_str(), 1);
    const uint8_t one[1] = {0x22};
    ASSERT_EQ(WpWrite(one, 1), WP_OK);
    unsetenv("WICKPORT_TRACE");
    uint8_t reply[64];
    int received = 0;
    ASSERT_EQ(WpRead(reply, 2, &received), WP_OK);
    const uint8_t two[2] = {0x23, 0x01};
    ASSERT_EQ(WpWrite(two, 2), WP_OK);
    ASSERT_EQ(WpRead(reply, 2, &received), WP_OK);
    EXPECT_EQ(ReadFile(path_), "earlier\n> 22\n");

    std::string second = path_ + ".2";
    setenv("WICKPORT_TRACE", second.c_str(), 1);
    ASSERT_EQ(WpWrite(two, 2), WP_OK);
    EXPECT_EQ(ReadFile(second), "> 23 01\n");
    std::remove(second.c_str());
}

TEST_F(TraceTest, ChildProcessesDoNotInheritTheTraceFile) {
    ASSERT_EQ(UseAdapters("TR"), 1);
    ASSERT_EQ(WpOpen(), WP_OK);
    setenv("WICKPORT_TRACE", path_.c_str(), 1);
    const uint8_t packet[1] = {0x22};
    ASSERT_EQ(WpWrite(packet, 1), WP_OK);

    int found = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        auto target = std::filesystem::read_symlink(entry.path(), ec);
        if (ec || target != std::filesystem::path(path_)) continue;
        ++found;
        int fd = std::stoi(entry.path().filename().string());
        EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    }
    EXPECT_EQ(found, 1);
}

TEST_F(TraceTest, UnwritablePathIsReportedOnceAndTrafficGoesOn) {
    ASSERT_EQ(UseAdapters("TR"), 1);
    ASSERT_EQ(WpOpen(), WP_OK);
    setenv("WICKPORT_TRACE", "/nonexistent-dir/trace.txt", 1);
    const uint8_t packet[1] = {0x22};
    testing::internal::CaptureStderr();
    EXPECT_EQ(WpWrite(packet, 1), WP_OK);
    EXPECT_EQ(WpWrite(packet, 1), WP_OK);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("/nonexistent-dir/trace.txt"), std::string::npos);
    EXPECT_EQ(err.find("cannot open"), err.rfind("cannot open")) << err;
}

TEST_F(TraceTest, CallbackSeesTheSameLinesWithoutAFile) {
    ASSERT_EQ(UseAdapters("TR"), 1);
    ASSERT_EQ(WpOpen(), WP_OK);
    std::vector<std::string> lines;
    WpSetTraceCallback(&Collect, &lines);
    const uint8_t packet[4] = {0x01, 0x02, 0x10, 0xf0};
    ASSERT_EQ(WpWrite(packet, 4), WP_OK);
    // Refused calls send nothing and so trace nothing.
    EXPECT_EQ(WpWrite(packet, 0), WP_E_WRITE);
    WpSetTraceCallback(nullptr, nullptr);
    ASSERT_EQ(WpWrite(packet, 1), WP_OK);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "> 01 02 10 f0");
}

}  // namespace
