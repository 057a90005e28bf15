// Direct tests of the core, for behaviour the differential test cannot check
// (ucsim differs from the MCS-51 there) and for the chip-facing interface.
#include "mcs51.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "support.h"

namespace zsim {
namespace {

using coretest::FlatBus;

class CoreTest : public ::testing::Test {
  protected:
    CoreTest() : code_(65536, 0x00), core_(bus_, code_.data()) {}

    void Load(std::initializer_list<uint8_t> bytes, uint16_t at = 0) {
        for (uint8_t b : bytes) code_[at++] = b;
    }
    // Runs n instructions and returns the cycles they took.
    int Run(int n) {
        int c = 0;
        for (int i = 0; i < n; ++i) c += core_.Step();
        return c;
    }
    uint8_t A() const { return core_.Sfr(Mcs51::ACC); }
    bool Cy() const { return core_.Psw() & 0x80; }
    bool Ac() const { return core_.Psw() & 0x40; }
    bool Ov() const { return core_.Psw() & 0x04; }

    std::vector<uint8_t> code_;
    FlatBus bus_;
    Mcs51 core_;
};

TEST_F(CoreTest, ResetValuesKeepRam) {
    core_.iram[0x42] = 0x99;
    core_.SetSfr(Mcs51::B, 0x12);
    core_.pc = 0x1234;
    core_.idle = true;
    core_.Reset();
    EXPECT_EQ(core_.pc, 0);
    EXPECT_EQ(core_.Sfr(Mcs51::SP), 0x07);
    for (uint8_t p : {Mcs51::P0, Mcs51::P1, Mcs51::P2, Mcs51::P3}) EXPECT_EQ(core_.Sfr(p), 0xFF);
    EXPECT_EQ(core_.Sfr(Mcs51::B), 0);
    EXPECT_EQ(core_.Sfr(Mcs51::PSW), 0);
    EXPECT_FALSE(core_.idle);
    EXPECT_EQ(core_.iram[0x42], 0x99);
}

TEST_F(CoreTest, OutOfRangeSfrAccessStaysInTheSfrFile) {
    core_.SetSfr(0x10, 0x42);  // not an SFR address: folds onto 0x90 instead of past the array
    EXPECT_EQ(core_.Sfr(0x90), 0x42);
    EXPECT_EQ(core_.Sfr(0x10), 0x42);
    core_.HookSfr(0x10, true);  // ignored: only 0x80..0xFF can be hooked
    EXPECT_EQ(core_.ReadDirect(0x10), core_.iram[0x10]);
    EXPECT_EQ(bus_.sfr_reads, 0);
    EXPECT_EQ(core_.Reg(9), core_.Reg(1));
}

TEST_F(CoreTest, BitOpsOnRs0Rs1SwitchTheBank) {
    Load({
        0xD2, 0xD3,  // SETB RS0          -> bank 1
        0x78, 0x11,  // MOV R0,#0x11
        0xD2, 0xD4,  // SETB RS1          -> bank 3
        0x78, 0x33,  // MOV R0,#0x33
        0xC2, 0xD3,  // CLR RS0           -> bank 2
        0x78, 0x22,  // MOV R0,#0x22
        0xB2, 0xD4,  // CPL RS1           -> bank 0
        0x78, 0x00,  // MOV R0,#0x00
        0xD3,        // SETB C
        0x92, 0xD3,  // MOV RS0,C         -> bank 1
        0x08,        // INC R0
    });
    Run(11);
    EXPECT_EQ(core_.iram[0x08], 0x12);
    EXPECT_EQ(core_.iram[0x18], 0x33);
    EXPECT_EQ(core_.iram[0x10], 0x22);
    EXPECT_EQ(core_.iram[0x00], 0x00);
    EXPECT_EQ(core_.Reg(0), 0x12);
    core_.SetReg(7, 0x77);
    EXPECT_EQ(core_.iram[0x0F], 0x77);
}

TEST_F(CoreTest, ParityAlwaysFollowsA) {
    Load({
        0x74, 0x01,        // MOV A,#1        (odd: P=1)
        0x75, 0xD0, 0x00,  // MOV PSW,#0      tries to clear P
        0xA2, 0xD0,        // MOV C,P
        0xE4,              // CLR A
        0x75, 0xD0, 0x01,  // MOV PSW,#1      tries to set P
        0x85, 0xD0, 0x40,  // MOV 0x40,PSW
        0x20, 0xD0, 0x02,  // JB P,+2         must not jump
        0x74, 0x07,        // MOV A,#7
    });
    Run(3);
    EXPECT_EQ(core_.Psw() & 1, 1);
    EXPECT_TRUE(Cy());  // C took P, which is 1 whatever was written
    EXPECT_EQ(core_.ReadDirect(Mcs51::PSW) & 1, 1);
    Run(3);
    EXPECT_EQ(core_.iram[0x40] & 1, 0);
    EXPECT_EQ(core_.Psw() & 1, 0);
    Run(1);
    EXPECT_EQ(core_.pc, 17);
    Run(1);
    EXPECT_EQ(core_.Psw() & 1, 1);
}

TEST_F(CoreTest, MovcAndFetchWrapAt64K) {
    code_[0x0000] = 0xCD;
    code_[0x0001] = 0xAB;
    Load({0x90, 0xFF, 0xF0,  // MOV DPTR,#0xFFF0
          0x74, 0x11,        // MOV A,#0x11
          0x93},             // MOVC A,@A+DPTR  -> code[0x0001]
         0x0100);
    core_.pc = 0x0100;
    Run(3);
    EXPECT_EQ(A(), 0xAB);
    // MOVC A,@A+PC at 0xFFFE: pc after it is 0xFFFF, +1 wraps to 0x0000.
    code_[0xFFFE] = 0x83;
    code_[0xFFFF] = 0x04;  // INC A
    core_.pc = 0xFFFE;
    core_.SetSfr(Mcs51::ACC, 0x01);
    Run(1);
    EXPECT_EQ(A(), 0xCD);
    EXPECT_EQ(core_.pc, 0xFFFF);
    Run(1);  // the fetch past 0xFFFF continues at 0x0000
    EXPECT_EQ(A(), 0xCE);
    EXPECT_EQ(core_.pc, 0x0000);
}

TEST_F(CoreTest, StackWrapsThroughAll256Bytes) {
    Load({
        0x75, 0x81, 0xFE,  // MOV SP,#0xFE
        0x74, 0x5A,        // MOV A,#0x5A
        0xC0, 0xE0,        // PUSH ACC -> iram[0xFF]
        0xC0, 0xE0,        // PUSH ACC -> iram[0x00]
        0x12, 0x01, 0x00,  // LCALL 0x0100 -> 0x0C at [0x01], 0x00 at [0x02]
    });
    Load({0xD0, 0xF0, 0xD0, 0xF0, 0xD0, 0xF0, 0xD0, 0xF0, 0xD0, 0xF0}, 0x0100);
    Run(5);
    EXPECT_EQ(core_.iram[0xFF], 0x5A);
    EXPECT_EQ(core_.iram[0x00], 0x5A);
    EXPECT_EQ(core_.iram[0x01], 0x0C);
    EXPECT_EQ(core_.iram[0x02], 0x00);
    EXPECT_EQ(core_.Sfr(Mcs51::SP), 0x02);
    EXPECT_EQ(core_.pc, 0x0100);
    Run(4);  // four POPs walk back below zero
    EXPECT_EQ(core_.Sfr(Mcs51::SP), 0xFE);
    EXPECT_EQ(core_.Sfr(Mcs51::B), 0x5A);
}

TEST_F(CoreTest, PushAndPopOfSpFollowTheMcs51) {
    Load({
        0x75, 0x81, 0x30,  // MOV SP,#0x30
        0xC0, 0x81,        // PUSH SP: stores the incremented SP
        0xD0, 0x81,        // POP SP: SP takes the popped byte
    });
    Run(2);
    EXPECT_EQ(core_.iram[0x31], 0x31);
    core_.iram[0x31] = 0x50;
    Run(1);
    EXPECT_EQ(core_.Sfr(Mcs51::SP), 0x50);
}

TEST_F(CoreTest, DivByZeroSetsOvAndClearsCy) {
    Load({
        0x74, 0x12,        // MOV A,#0x12
        0x75, 0xF0, 0x00,  // MOV B,#0
        0xD3,              // SETB C
        0x84,              // DIV AB
        0x75, 0xF0, 0x05,  // MOV B,#5
        0xD3,              // SETB C
        0x84,              // DIV AB
    });
    Run(4);
    EXPECT_TRUE(Ov());
    EXPECT_FALSE(Cy());
    Run(3);
    EXPECT_FALSE(Ov());
    EXPECT_FALSE(Cy());
    EXPECT_EQ(A(), 0x12 / 5);
    EXPECT_EQ(core_.Sfr(Mcs51::B), 0x12 % 5);
}

TEST_F(CoreTest, AddAndSubbFlagsOnBoundaries) {
    struct Case {
        uint8_t op, a, v;
        bool cin;
        uint8_t r;
        bool cy, ac, ov;
    };
    const Case cases[] = {
        {0x24, 0x7F, 0x01, false, 0x80, false, true, true},  // ADD: signed overflow
        {0x24, 0x80, 0x80, false, 0x00, true, false, true},  // ADD: both carries out
        {0x24, 0xFF, 0x01, false, 0x00, true, true, false},  // ADD: carry, no overflow
        {0x34, 0x0E, 0x01, true, 0x10, false, true, false},  // ADDC: carry-in makes AC
        {0x94, 0x00, 0x01, false, 0xFF, true, true, false},  // SUBB: borrow
        {0x94, 0x80, 0x01, false, 0x7F, false, true, true},  // SUBB: signed overflow
        {0x94, 0x7F, 0xFF, false, 0x80, true, false, true},  // SUBB: borrow and overflow
        {0x94, 0x10, 0x0F, true, 0x00, false, true, false},  // SUBB: borrow-in
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "op " << int(c.op) << " a " << int(c.a));
        core_.Reset();
        Load({0x74, c.a, uint8_t(c.cin ? 0xD3 : 0xC3), c.op, c.v});
        Run(3);
        EXPECT_EQ(A(), c.r);
        EXPECT_EQ(Cy(), c.cy);
        EXPECT_EQ(Ac(), c.ac);
        EXPECT_EQ(Ov(), c.ov);
    }
}

TEST_F(CoreTest, DecimalAdjust) {
    struct Case {
        uint8_t a, v, r;
        bool cy;
    };
    const Case cases[] = {
        {0x56, 0x67, 0x23, true}, {0x99, 0x01, 0x00, true},  {0x09, 0x08, 0x17, false},
        {0x90, 0x90, 0x80, true}, {0x45, 0x45, 0x90, false},
    };
    for (const Case& c : cases) {
        core_.Reset();
        Load({0x74, c.a, 0x24, c.v, 0xD4});  // MOV A,#a; ADD A,#v; DA A
        Run(3);
        EXPECT_EQ(A(), c.r) << int(c.a) << "+" << int(c.v);
        EXPECT_EQ(Cy(), c.cy) << int(c.a) << "+" << int(c.v);
    }
}

TEST_F(CoreTest, IdleStopsExecutionUntilCleared) {
    Load({
        0x43, 0x87, 0x01,  // ORL PCON,#1
        0x04,              // INC A
    });
    EXPECT_EQ(Run(1), 2);
    EXPECT_TRUE(core_.idle);
    const uint64_t before = core_.cycles;
    EXPECT_EQ(core_.Step(), 1);
    EXPECT_EQ(core_.Step(), 1);
    EXPECT_EQ(core_.pc, 3);
    EXPECT_EQ(A(), 0);
    EXPECT_EQ(core_.cycles, before + 2);
    core_.idle = false;
    Run(1);
    EXPECT_EQ(A(), 1);
    // A plain MOV to PCON enters idle too; bit 0 clear does not.
    core_.Reset();
    Load({0x75, 0x87, 0x80, 0x75, 0x87, 0x01});
    Run(1);
    EXPECT_FALSE(core_.idle);
    Run(1);
    EXPECT_TRUE(core_.idle);
    core_.Reset();
    EXPECT_FALSE(core_.idle);
}

TEST_F(CoreTest, HookedSfrsGoThroughTheBus) {
    constexpr uint8_t kHooked = 0xC8;  // bit-addressable
    core_.HookSfr(kHooked, true);
    bus_.hooked[kHooked & 0x7F] = 0x40;
    Load({
        0xE5, 0xC8,        // MOV A,0xC8           read
        0x75, 0xC8, 0x0F,  // MOV 0xC8,#0x0F       write
        0xD2, 0xCF,        // SETB 0xC8.7          read + write
        0x05, 0xC8,        // INC 0xC8             read + write
        0xA2, 0xC8,        // MOV C,0xC8.0         read
        0x78, 0xC8,        // MOV R0,#0xC8
        0xF6,              // MOV @R0,A            upper RAM, not the SFR
        0x75, 0xC9, 0x22,  // MOV 0xC9,#0x22       unhooked
    });
    Run(1);
    EXPECT_EQ(A(), 0x40);
    EXPECT_EQ(bus_.sfr_reads, 1);
    Run(1);
    EXPECT_EQ(bus_.sfr_writes, 1);
    EXPECT_EQ(bus_.hooked[kHooked & 0x7F], 0x0F);
    EXPECT_EQ(core_.Sfr(kHooked), 0x00);  // storage untouched
    Run(1);
    EXPECT_EQ(bus_.hooked[kHooked & 0x7F], 0x8F);
    Run(1);
    EXPECT_EQ(bus_.hooked[kHooked & 0x7F], 0x90);
    EXPECT_EQ(bus_.sfr_reads, 3);
    EXPECT_EQ(bus_.sfr_writes, 3);
    Run(1);
    EXPECT_FALSE(Cy());
    Run(2);
    EXPECT_EQ(core_.iram[0xC8], 0x40);
    EXPECT_EQ(bus_.sfr_writes, 3);
    Run(1);
    EXPECT_EQ(core_.Sfr(0xC9), 0x22);
    EXPECT_EQ(bus_.sfr_writes, 3);
    EXPECT_EQ(core_.ReadDirect(kHooked), 0x90);
    core_.WriteDirect(kHooked, 0x01);
    EXPECT_EQ(bus_.hooked[kHooked & 0x7F], 0x01);
    core_.HookSfr(kHooked, false);
    EXPECT_EQ(core_.ReadDirect(kHooked), 0x00);
}

TEST_F(CoreTest, ReadModifyWriteOnPortsReadsTheLatch) {
    core_.HookSfr(Mcs51::P1, true);
    Load({
        0x75, 0x90, 0xF0,  // MOV P1,#0xF0     latch 0xF0
        0xE5, 0x90,        // MOV A,P1         pins
        0x43, 0x90, 0x01,  // ORL P1,#1        latch | 1
        0xB2, 0x97,        // CPL P1.7         from the latch
    });
    Run(1);
    EXPECT_EQ(core_.Sfr(Mcs51::P1), 0xF0);
    bus_.hooked[Mcs51::P1 & 0x7F] = 0x00;  // something holds the pins low
    Run(1);
    EXPECT_EQ(A(), 0x00);
    Run(1);
    EXPECT_EQ(bus_.hooked[Mcs51::P1 & 0x7F], 0xF1);
    EXPECT_EQ(core_.Sfr(Mcs51::P1), 0xF1);
    bus_.hooked[Mcs51::P1 & 0x7F] = 0x00;
    Run(1);
    EXPECT_EQ(core_.Sfr(Mcs51::P1), 0x71);
    EXPECT_EQ(bus_.hooked[Mcs51::P1 & 0x7F], 0x71);
}

TEST_F(CoreTest, MovxAtRiTakesThePageFromP2) {
    Load({
        0x75, 0xA0, 0x12,  // MOV P2,#0x12
        0x79, 0x34,        // MOV R1,#0x34
        0x74, 0x77,        // MOV A,#0x77
        0xF3,              // MOVX @R1,A
        0x90, 0x12, 0x34,  // MOV DPTR,#0x1234
        0xE4,              // CLR A
        0xE0,              // MOVX A,@DPTR
    });
    Run(7);
    EXPECT_EQ(bus_.xdata[0x1234], 0x77);
    EXPECT_EQ(A(), 0x77);
}

TEST_F(CoreTest, CycleCounts) {
    struct Case {
        std::vector<uint8_t> bytes;
        int cycles;
    };
    const Case cases[] = {
        {{0x00}, 1},              // NOP
        {{0xA5}, 1},              // reserved: a NOP
        {{0x04}, 1},              // INC A
        {{0x75, 0x40, 0x01}, 2},  // MOV dir,#imm
        {{0x85, 0x40, 0x41}, 2},  // MOV dir,dir
        {{0x53, 0x40, 0x0F}, 2},  // ANL dir,#imm
        {{0xA3}, 2},              // INC DPTR
        {{0xE0}, 2},              // MOVX
        {{0x93}, 2},              // MOVC
        {{0x12, 0x00, 0x00}, 2},  // LCALL
        {{0x80, 0x00}, 2},        // SJMP
        {{0xA4}, 4},              // MUL
        {{0x84}, 4},              // DIV
        {{0xD8, 0x00}, 2},        // DJNZ R0
        {{0xC5, 0x40}, 1},        // XCH A,dir
        {{0xA2, 0x00}, 1},        // MOV C,bit
        {{0x92, 0x00}, 2},        // MOV bit,C
    };
    uint64_t total = 0;
    for (const Case& c : cases) {
        core_.Reset();
        for (std::size_t i = 0; i < c.bytes.size(); ++i) code_[i] = c.bytes[i];
        EXPECT_EQ(core_.Step(), c.cycles) << "opcode " << int(c.bytes[0]);
        total += uint64_t(c.cycles);
    }
    EXPECT_EQ(core_.cycles, total);
}

TEST_F(CoreTest, AjmpAndAcallUseThePageAfterTheFetch) {
    code_[0x07FE] = 0x21;  // AJMP (page 1) 0x10: pc after fetch is 0x0800
    code_[0x07FF] = 0x10;
    code_[0x0910] = 0xF1;  // ACALL (page 7) 0x23 -> 0x0F23
    code_[0x0911] = 0x23;
    core_.pc = 0x07FE;
    Run(1);
    EXPECT_EQ(core_.pc, 0x0910);
    Run(1);
    EXPECT_EQ(core_.pc, 0x0F23);
    EXPECT_EQ(core_.Sfr(Mcs51::SP), 0x09);
    EXPECT_EQ(core_.iram[0x08], 0x12);
    EXPECT_EQ(core_.iram[0x09], 0x09);
    core_.Ret();
    EXPECT_EQ(core_.pc, 0x0912);
    EXPECT_EQ(core_.Sfr(Mcs51::SP), 0x07);
}

TEST_F(CoreTest, JbcClearsOnlyWhenSetAndJumpsRelative) {
    Load({
        0x10, 0x00, 0x10,  // JBC 0x00,+0x10
    });
    Run(1);
    EXPECT_EQ(core_.pc, 3);
    core_.iram[0x20] = 0x01;
    core_.pc = 0;
    Run(1);
    EXPECT_EQ(core_.pc, 0x13);
    EXPECT_EQ(core_.iram[0x20], 0x00);
    code_[0x13] = 0x80;  // SJMP -0x15 back to 0
    code_[0x14] = 0xEB;
    Run(1);
    EXPECT_EQ(core_.pc, 0x0000);
}

}  // namespace
}  // namespace zsim
