// Runs each reference program on our core and on ucsim and compares the
// registers, internal RAM, the XDATA log and the machine cycles taken.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "programs.h"
#include "support.h"

namespace zsim::coretest {
namespace {

bool ToolsPresent() {
    return ZSIM_HAVE_PROGRAMS && std::string(ZSIM_S51_PATH).size() > 0;
}

std::string Hex(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", v);
    return buf;
}

// Lists up to a few differing bytes of one memory, empty when equal.
template <typename A, typename B>
std::string DiffBytes(const char* what, const A& ours, const B& ref, std::size_t n) {
    std::string out;
    int shown = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (ours[i] == ref[i]) continue;
        if (shown++ < 8)
            out += std::string(what) + "[" + Hex(unsigned(i)) + "] core " + Hex(ours[i]) +
                   " ucsim " + Hex(ref[i]) + "\n";
    }
    if (shown > 8) out += std::to_string(shown - 8) + " more differences in " + what + "\n";
    return out;
}

class Differential : public ::testing::TestWithParam<std::string> {};

TEST_P(Differential, MatchesUcsim) {
    if (!ZSIM_HAVE_PROGRAMS) GTEST_SKIP() << "sdcc missing at configure time";
    if (!ToolsPresent()) GTEST_SKIP() << ZSIM_S51_ABSENT;
    const std::string path = ProgramPath(GetParam());
    Snapshot ours, ref;
    std::string error;
    ASSERT_TRUE(RunCore(path, kXdataCompared, &ours, &error)) << error;
    ASSERT_TRUE(RunUcsim(ZSIM_S51_PATH, path, kXdataCompared, &ref, &error)) << error;

    EXPECT_EQ(ours.pc, ref.pc);
    EXPECT_EQ(ours.cycles, ref.cycles) << "machine cycles to the halt";
    struct Reg {
        const char* name;
        uint8_t addr;
    };
    for (const Reg& r : {Reg{"A", 0xE0}, Reg{"B", 0xF0}, Reg{"PSW", 0xD0}, Reg{"SP", 0x81},
                         Reg{"DPL", 0x82}, Reg{"DPH", 0x83}}) {
        EXPECT_EQ(Hex(ours.sfr[r.addr - 0x80]), Hex(ref.sfr[r.addr - 0x80])) << r.name;
    }
    EXPECT_EQ(DiffBytes("iram", ours.iram, ref.iram, 256), "");
    EXPECT_EQ(DiffBytes("xdata", ours.xdata, ref.xdata, kXdataCompared), "");
}

INSTANTIATE_TEST_SUITE_P(Programs, Differential, ::testing::ValuesIn(ProgramNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Differential);

TEST(DifferentialSet, EnoughProgramsBuilt) {
    if (!ZSIM_HAVE_PROGRAMS) GTEST_SKIP() << "sdcc missing at configure time";
    EXPECT_GE(ProgramNames().size(), 20u);
}

// The ucsim output parser sees a foreign program's text: it must reject what
// it does not recognise instead of comparing garbage.
TEST(UcsimOutput, ParsesDumpsAndRejectsIncompleteOnes) {
    std::string text =
        "Stop at 0x007ff0: (104) Breakpoint\n"
        "0x7ff0 F  80 fe    SJMP   0x7ff0\n"
        "Simulated 240 ticks (1e-05 sec)\n"
        "Host usage: 0.250000 sec, rate=0.000040\n";
    for (int a = 0; a < 0x180; a += 8) {
        char line[80];
        const int base = a < 0x100 ? a : a - 0x100 + 0x80;
        std::snprintf(line, sizeof line, "0x%02x %02x 00 00 00 00 00 00 %02x ........\n", base,
                      a & 0xFF, 0x11);
        text += line;
    }
    Snapshot s;
    std::string error;
    ASSERT_TRUE(ParseUcsimOutput(text, 0, &s, &error)) << error;
    EXPECT_EQ(s.pc, 0x7FF0);
    EXPECT_EQ(s.cycles, 20u);
    EXPECT_DOUBLE_EQ(s.host_seconds, 0.25);
    EXPECT_EQ(s.iram[0x08], 0x08);
    EXPECT_EQ(s.iram[0x0F], 0x11);
    EXPECT_EQ(s.sfr[0x00], 0x00);  // line "0x80 00 ..." of the SFR dump
    EXPECT_EQ(s.sfr[0x08], 0x08);

    EXPECT_FALSE(ParseUcsimOutput(text, 8, &s, &error));  // XDATA dump missing
    EXPECT_NE(error.find("incomplete"), std::string::npos);
    EXPECT_FALSE(ParseUcsimOutput("", 0, &s, &error));
    EXPECT_FALSE(ParseUcsimOutput("Stop at 0x000003: (105) Invalid instruction\n", 0, &s, &error));
    EXPECT_FALSE(ParseUcsimOutput(std::string(5000, '\xff'), 0, &s, &error));
    std::string bad = text;
    bad.replace(bad.find("0x10 10"), 4, "0x18");
    EXPECT_FALSE(ParseUcsimOutput(bad, 0, &s, &error));
}

TEST(IntelHex, LoadsDataAndRejectsMalformedRecords) {
    std::vector<uint8_t> code;
    std::string error;
    ASSERT_TRUE(LoadIntelHex(":0300100001020CDE\r\n:00000001FF\r\n", &code, &error)) << error;
    EXPECT_EQ(code[0x10], 0x01);
    EXPECT_EQ(code[0x12], 0x0C);
    const char* bad[] = {
        ":0300100001020CDF\n:00000001FF\n",  // checksum
        ":0400100001020CDE\n:00000001FF\n",  // count larger than the data
        ":03001000010\n:00000001FF\n",       // truncated
        "0300100001020CDE\n",                // no colon
        ":0300100001020CDE\n",               // no end record
        ":02FFFF00AABB9C\n:00000001FF\n",    // past 0xFFFF
        ":02000004FFFFFC\n:00000001FF\n",    // extended linear address
        ":0G00000000\n",                     // not hex
    };
    for (const char* text : bad) EXPECT_FALSE(LoadIntelHex(text, &code, &error)) << text;
}

}  // namespace
}  // namespace zsim::coretest
