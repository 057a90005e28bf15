// The reader of the burn sections of an NVM burn file.
#include "core/burn_file.h"

#include <gtest/gtest.h>

namespace cindral {
namespace {

const std::string kRec1 = ":0100000002FD";
const std::string kEnd = ":00000001FF";

TEST(BurnFile, SectionsCountsAndImages) {
    const std::string text =
        "; c\r\n[Compose Map]\r\nx 1 2 3 4 OK\r\n;\r\n[Burn]\r\nCount=2\r\n;\r\n"
        "Image 1 a\r\n" +
        kRec1 + "\r\n" + kEnd +
        "\r\n"
        "Image 2 b\r\n" +
        kEnd + "\r\n;\r\n";
    auto sections = ParseBurnFile(text);
    ASSERT_EQ(sections.size(), 1u);
    const BurnSection& s = sections[0];
    EXPECT_TRUE(s.countGiven);
    EXPECT_EQ(s.count, 2);
    ASSERT_EQ(s.images.size(), 2u);
    EXPECT_EQ(s.images[0].header, "Image 1 a");
    EXPECT_EQ(s.images[0].records, kRec1 + "\r" + kEnd + "\r") << "records end in CR alone";
    EXPECT_EQ(s.images[1].header, "Image 2 b");
    EXPECT_TRUE(s.Complete());
}

TEST(BurnFile, NoSectionAndSectionNotAtLineStart) {
    EXPECT_TRUE(ParseBurnFile("").empty());
    EXPECT_TRUE(ParseBurnFile("[Compose Map]\r\n;\r\n").empty());
    EXPECT_TRUE(ParseBurnFile(" [Burn]\r\nCount=1\r\n;\r\nI\r\n" + kEnd + "\r\n").empty());
    EXPECT_TRUE(ParseBurnFile("x[Burn]\r\nCount=1\r\n").empty());
    EXPECT_EQ(ParseBurnFile("[Burn] trailing\r\nCount=0\r\n").size(), 1u)
        << "anything may follow the section name";
}

TEST(BurnFile, CountValues) {
    EXPECT_EQ(ParseCountValue(" \t+42x"), 42);
    EXPECT_EQ(ParseCountValue("-3"), -3);
    EXPECT_EQ(ParseCountValue("abc"), 0);
    EXPECT_EQ(ParseCountValue("99999999999999999999999"), 9223372036854775807LL);
    auto noEquals = ParseBurnFile("[Burn]\r\n7\r\n");
    ASSERT_EQ(noEquals.size(), 1u);
    EXPECT_EQ(noEquals[0].count, 7) << "without '=' the whole line is the value";
    EXPECT_FALSE(noEquals[0].Complete());
    auto empty = ParseBurnFile("[Burn]\r\nCount=\r\n;\r\nImage 1\r\n" + kEnd + "\r\n");
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_FALSE(empty[0].countGiven);
    EXPECT_EQ(empty[0].count, 0);
    EXPECT_TRUE(empty[0].images.empty());
    auto cut = ParseBurnFile("[Burn]");
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_FALSE(cut[0].countGiven);
    auto huge = ParseBurnFile("[Burn]\r\nCount=999999999999\r\n;\r\nI\r\n" + kEnd);
    ASSERT_EQ(huge.size(), 1u);
    EXPECT_EQ(huge[0].images.size(), 1u) << "images stop where the data does";
    EXPECT_FALSE(huge[0].Complete());
}

TEST(BurnFile, LastLineWithoutLineEndAndShortHeaders) {
    auto s = ParseBurnFile("[Burn]\r\nCount=2\r\n;\r\nI\r\n" + kEnd + "\r\n\r\n" + kRec1 + "\r\n" +
                           kEnd);
    ASSERT_EQ(s.size(), 1u);
    ASSERT_EQ(s[0].images.size(), 2u);
    EXPECT_EQ(s[0].images[1].header, "") << "an empty header line";
    EXPECT_EQ(s[0].images[1].records, kRec1 + "\r" + kEnd + "\r");
    EXPECT_TRUE(s[0].Complete());
    // A record cut off before its end record leaves the image incomplete.
    auto cut = ParseBurnFile("[Burn]\r\nCount=1\r\n;\r\nI\r\n:10000000000102");
    ASSERT_EQ(cut.size(), 1u);
    ASSERT_EQ(cut[0].images.size(), 1u);
    EXPECT_FALSE(cut[0].Complete());
    // Bare LF line ends read the same.
    auto lf = ParseBurnFile("[Burn]\nCount=1\n;\nI\n" + kEnd + "\n");
    ASSERT_EQ(lf.size(), 1u);
    EXPECT_EQ(lf[0].images.at(0).records, kEnd + "\r");
}

TEST(BurnFile, FurtherSections) {
    const std::string one = "[Burn]\r\nCount=1\r\n;\r\nI\r\n" + kEnd + "\r\n";
    auto two = ParseBurnFile(one + ";\r\n" + one);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[1].images.size(), 1u);
    // The line right after the records is never a section line.
    auto glued = ParseBurnFile(one + one);
    EXPECT_EQ(glued.size(), 1u);
}

}  // namespace
}  // namespace cindral
