// The parsers of WICKPORT_VIRTUAL and WICKPORT_USB_IDS on their own, where the
// exact options handed to the simulator can be seen.
#include <gtest/gtest.h>

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
    zsim::AdapterOptions expected = {{"target", "pristine"}, {"fw", "30"}};
    EXPECT_EQ(list[1].options, expected);
    EXPECT_EQ(list[2].serial, "VZ3");
    EXPECT_TRUE(list[2].options.empty());
}

TEST(VirtualListParse, KeepsValuesWithSeparatorsOfTheirOwn) {
    auto list = ParseVirtualList("A:state=/tmp/x=y,fault=drop@3+unplug@9,target=24/D0", nullptr);
    ASSERT_EQ(list.size(), 1u);
    zsim::AdapterOptions expected = {
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

TEST(SerialCompare, IgnoresLetterCaseOnly) {
    EXPECT_TRUE(SameSerial("vz00ab", "VZ00AB"));
    EXPECT_FALSE(SameSerial("VZ1", "VZ10"));
    EXPECT_FALSE(SameSerial("VZ1", "VZ2"));
}

}  // namespace
}  // namespace wickport
