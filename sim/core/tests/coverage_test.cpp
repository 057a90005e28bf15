// Runs every reference program on the counting build of the core and checks
// that together they execute every opcode (0xA5, reserved, excepted).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "programs.h"
#include "support.h"

namespace zsim::coretest {
namespace {

TEST(OpcodeCoverage, ReferenceProgramsExecuteEveryOpcode) {
    if (!ZSIM_HAVE_PROGRAMS) GTEST_SKIP() << "sdcc missing at configure time";
    uint64_t hits[256] = {};
    for (const std::string& name : ProgramNames()) {
        Snapshot s;
        std::string error;
        ASSERT_TRUE(RunCore(ProgramPath(name), 0, &s, &error, hits)) << name << ": " << error;
    }
    std::string missing;
    for (int op = 0; op < 256; ++op) {
        if (op == 0xA5 || hits[op] != 0) continue;
        char buf[8];
        std::snprintf(buf, sizeof buf, " %02X", op);
        missing += buf;
    }
    EXPECT_EQ(missing, "") << "opcodes never executed";
}

TEST(OpcodeCoverage, CountsEachExecutedInstruction) {
    std::vector<uint8_t> code(65536, 0x00);
    code[0] = 0x04;  // INC A
    code[1] = 0x04;
    code[2] = 0xA5;
    FlatBus bus;
    Mcs51 core(bus, code.data());
    uint64_t hits[256] = {};
    core.opcode_hits = hits;
    for (int i = 0; i < 5; ++i) core.Step();
    EXPECT_EQ(hits[0x04], 2u);
    EXPECT_EQ(hits[0xA5], 1u);
    EXPECT_EQ(hits[0x00], 2u);
}

}  // namespace
}  // namespace zsim::coretest
