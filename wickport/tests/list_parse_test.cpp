// The parsers of WICKPORT_VIRTUAL and WICKPORT_USB_IDS on their own, where the
// exact options handed to the simulator can be seen.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "adapter_list.h"

namespace wickport {
namespace {

TEST(VirtualListParse, SplitsSerialsAndTrimmedOptions) {
    std::vector<std::string> problems;
    auto list = ParseVirtualList(" VZ1 ; VZ2 : target = pristine , fw=30 ;VZ3:;", &problems);
    EXPECT_TRUE(problems.empty());
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].serial, "VZ1");
    EXPECT_TRUE(list[0].options.empty());
    EXPECT_EQ(list[1].serial, "VZ2");
    VirtualOptions expected = {{"target", "pristine"}, {"fw", "30"}};
    EXPECT_EQ(list[1].options, expected);
    EXPECT_EQ(list[2].serial, "VZ3");
    EXPECT_TRUE(list[2].options.empty());
}

TEST(VirtualListParse, KeepsValuesWithSeparatorsOfTheirOwn) {
    auto list = ParseVirtualList("A:state=/tmp/x=y,fault=drop@3+unplug@9,target=24/D0", nullptr);
    ASSERT_EQ(list.size(), 1u);
    VirtualOptions expected = {
        {"state", "/tmp/x=y"}, {"fault", "drop@3+unplug@9"}, {"target", "24/D0"}};
    EXPECT_EQ(list[0].options, expected);
}

TEST(VirtualListParse, ExplainsEverySkippedDescription) {
    std::vector<std::string> problems;
    auto list = ParseVirtualList("OK1;:pid=1;N1:pid;N2:=3;N3:a=1,,b=2;N 4;ok1;" +
                                     std::string(128, 'L') + ";" + std::string(127, 'M'),
                                 &problems);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].serial, "OK1");
    EXPECT_EQ(list[1].serial, std::string(127, 'M'));
    ASSERT_EQ(problems.size(), 7u);
    EXPECT_NE(problems[0].find("no serial"), std::string::npos);
    EXPECT_NE(problems[5].find("twice"), std::string::npos);
    EXPECT_NE(problems[6].find("127"), std::string::npos);
}

TEST(VirtualListParse, ControlCharactersAreShownEscaped) {
    std::vector<std::string> problems;
    ParseVirtualList(std::string("X\x01Y", 3), &problems);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("X\\x01Y"), std::string::npos) << problems[0];
}

TEST(UsbIdParse, ReadsHexPairsAndSkipsTheRest) {
    std::vector<std::string> problems;
    auto ids = ParseUsbIds(" 10c4:EA61 ,0x1234:0x00ff,,12345:1,1:,g:1,abcd", &problems);
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(ids[0].vendor, 0x10c4);
    EXPECT_EQ(ids[0].product, 0xea61);
    EXPECT_EQ(ids[1].vendor, 0x1234);
    EXPECT_EQ(ids[1].product, 0x00ff);
    EXPECT_EQ(problems.size(), 4u);
}

TEST(UsbIdParse, IdFilesHaveOneIdALineWithComments) {
    std::vector<std::string> problems;
    auto ids = ParseUsbIdFile(
        "# adapters\n10c4:8253\n  0x10C4:0x8045  # the small one\n\n1:2,3:4\r\nfffe:fffd\r\n",
        "usb-ids", &problems);
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_EQ(ids[0].product, 0x8253);
    EXPECT_EQ(ids[1].product, 0x8045);
    EXPECT_EQ(ids[2].vendor, 0xfffe);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].rfind("usb-ids:5: ", 0), 0u) << problems[0];
}

TEST(UsbIdParse, ConfiguredIdsComeFromTheVariableThenTheFilesEachOnce) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("wickport-ids-" + std::to_string(getpid()));
    fs::create_directories(dir / "sub");
    std::ofstream(dir / "user") << "10c4:8253\n1234:5678\n";
    std::ofstream(dir / "big") << std::string(70000, '#');
    ::mkfifo((dir / "fifo").c_str(), 0600);
    std::vector<std::string> problems;
    auto ids =
        ConfiguredUsbIds("10C4:8253,aaaa:bbbb",
                         {(dir / "missing").string(), (dir / "sub").string(),
                          (dir / "big").string(), (dir / "fifo").string(), (dir / "user").string()},
                         &problems);
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_EQ(ids[0].product, 0x8253);
    EXPECT_EQ(ids[1].product, 0xbbbb);
    EXPECT_EQ(ids[2].product, 0x5678);
    // A missing file is no problem; a directory, an oversized file and a FIFO are.
    EXPECT_EQ(problems.size(), 3u);
    fs::remove_all(dir);
}

TEST(UsbIdParse, UserFileFollowsTheBaseDirectoryRules) {
    // The udev rule the package installs reads this very file.
    EXPECT_EQ(SystemIdFile(), "/etc/wickport/usb-ids");
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string keep = saved ? saved : "";
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(UsbIdFiles(), (std::vector<std::string>{"/cfg/wickport/usb-ids", SystemIdFile()}));
    setenv("XDG_CONFIG_HOME", "relative", 1);
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(UsbIdFiles(),
              (std::vector<std::string>{"/home/u/.config/wickport/usb-ids", SystemIdFile()}));
    if (saved) {
        setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
}

TEST(SerialCompare, IgnoresLetterCaseOnly) {
    EXPECT_TRUE(SameSerial("vz00ab", "VZ00AB"));
    EXPECT_FALSE(SameSerial("VZ1", "VZ10"));
    EXPECT_FALSE(SameSerial("VZ1", "VZ2"));
}

}  // namespace
}  // namespace wickport
