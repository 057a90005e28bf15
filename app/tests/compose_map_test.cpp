// The reader of the composer's report in a burn file.
#include "core/compose_map.h"

#include <gtest/gtest.h>

#include "burn_test_support.h"

namespace cindral {
namespace {

std::vector<std::string> Rows(const std::string& text) {
    std::vector<std::string> out;
    for (const ComposeMapRow& r : ParseComposeMap(WidenText(text)))
        out.push_back(test::Narrow(r.map.fileName + u"|" + r.map.nvmRange + u"|" + r.map.length +
                                   u"|" + r.map.status + (r.conflict ? u"|C" : u"") +
                                   (r.error ? u"|E" : u"")));
    return out;
}

using V = std::vector<std::string>;

TEST(ComposeMap, ColumnsAndFlags) {
    EXPECT_EQ(Rows("; x\r\n[Compose Map]\r\n"
                   "app.hex 0x0100 0x01FF 0x0100 256 Conflict\r\n"
                   "  b.mem   0x0200  0x0201 0x0002 2   Error: outside user NVM\r\n"
                   "c.mem 0x0300 0x0300 0x0001 1 Overlay\r\n"
                   ";\r\nafter 0x1 0x2 0x3 4 OK\r\n"),
              (V{"app.hex|0x0100 .. 0x01FF|0x0100 (256)|Conflict|C",
                 "b.mem|0x0200 .. 0x0201|0x0002 (2)|Error: outside user NVM|E",
                 "c.mem|0x0300 .. 0x0300|0x0001 (1)|Overlay"}));
    EXPECT_EQ(Rows("[Compose Map]\r\nx 1 2 3 4 Conflict and Error\r\n"),
              (V{"x|1 .. 2|3 (4)|Conflict and Error|C|E"}));
    EXPECT_EQ(Rows("[Compose Map]\r\nx 1 2 3 4 conflict\r\n"), (V{"x|1 .. 2|3 (4)|conflict"}))
        << "the status test is case-sensitive";
}

TEST(ComposeMap, EndConditions) {
    EXPECT_TRUE(Rows("no map here\r\nx 1 2 3 4 OK\r\n").empty());
    EXPECT_TRUE(Rows("[Compose Map]").empty()) << "header at the very end";
    EXPECT_TRUE(Rows("[Compose Map]\r").empty());
    EXPECT_EQ(Rows("[Compose Map]\r\na 1 2 3 4 OK\r\n\r\nb 1 2 3 4 OK\r\n"),
              (V{"a|1 .. 2|3 (4)|OK"}))
        << "an empty line ends the map";
    EXPECT_EQ(Rows("[Compose Map]\r\na 1 2 3 4 OK\r\nb 1 2 3 4 O;K\r\n"), (V{"a|1 .. 2|3 (4)|OK"}))
        << "a ';' anywhere ends it";
    EXPECT_EQ(Rows("[Compose Map]\r\na 1 2 3 4 OK\r\nb 1 2 3 4 O"), (V{"a|1 .. 2|3 (4)|OK"}))
        << "a cut-short last line is not shown";
    EXPECT_EQ(Rows("x [Compose Map]\r\na 1 2 3 4 OK\n"), (V{"a|1 .. 2|3 (4)|OK"}));
}

TEST(ComposeMap, ShortLinesShowWhatTheyHave) {
    EXPECT_EQ(
        Rows("[Compose Map]\r\nonly\r\na 0x1\r\nb 0x1 0x2 0x3\r\nc 1 2 3 4\r\n     \r\n"
             "d 1 2 3 4 OK\r\n"),
        (V{"only|||", "a|0x1||", "b|0x1 .. 0x2|0x3|", "c|1 .. 2|3 (4)|", "d|1 .. 2|3 (4)|OK"}));
}

}  // namespace
}  // namespace cindral
