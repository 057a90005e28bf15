// Memory, registers, execution control and breakpoints of the virtual Zeltra
// through the exports.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ordwin.h"
#include "recording_host.h"
#include "virtual_fixture.h"

namespace {

using Packets = std::vector<std::string>;

class Target : public VirtualAdapters {
  protected:
    void SetUp() override {
        VirtualAdapters::SetUp();
        Use(list_.c_str());
        ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
        ClearTrace();
    }

    // Puts code at 0 and halts there.
    void LoadCode(const std::vector<uint8_t>& code, int quiet = 1) {
        ASSERT_EQ(SetCodeMemory(const_cast<uint8_t*>(code.data()), 0,
                                static_cast<unsigned>(code.size()), quiet),
                  0);
        ASSERT_EQ(WritePC(0), 0);
        ClearTrace();
    }

    std::string list_ = "VZ0001:speed=max";
};

TEST_F(Target, RamKeepsR0ToR2InTheShadowRegisters) {
    const uint8_t values[8] = {0x10, 0x21, 0x32, 0x43, 0x54, 0x65, 0x76, 0x87};
    ASSERT_EQ(SetRAMMemory(const_cast<uint8_t*>(values), 0, 8), 0);
    uint8_t back[8] = {};
    ASSERT_EQ(GetRAMMemory(back, 0, 8), 0);
    EXPECT_EQ(std::vector<uint8_t>(back, back + 8), std::vector<uint8_t>(values, values + 8));
    // The raw RAM read answers 0xA5 for 0..2 while halted; the shadows win.
    ClearTrace();
    uint8_t three[3] = {};
    ASSERT_EQ(GetRAMMemory(three, 0, 3), 0);
    EXPECT_EQ(Sent(), (Packets{"2a 00 03", "28 24 02", "28 26 02"}));
    EXPECT_EQ(three[0], 0x10);
    EXPECT_EQ(three[2], 0x32);

    // R0..R2 survive a run and a halt: a program that only loops.
    const std::vector<uint8_t> loop = {0x80, 0xFE};  // sjmp $
    LoadCode(loop);
    ASSERT_EQ(SetTargetGo(), 0);
    ASSERT_EQ(SetTargetHalt(), 0);
    ASSERT_EQ(GetRAMMemory(back, 0, 8), 0);
    EXPECT_EQ(std::vector<uint8_t>(back, back + 8), std::vector<uint8_t>(values, values + 8));
}

TEST_F(Target, OddRamWriteTouchesOnlyItsRange) {
    uint8_t fill[16];
    for (int i = 0; i < 16; ++i) fill[i] = static_cast<uint8_t>(0xC0 + i);
    ASSERT_EQ(SetRAMMemory(fill, 0x40, 16), 0);
    const uint8_t three[3] = {1, 2, 3};
    ClearTrace();
    ASSERT_EQ(SetRAMMemory(const_cast<uint8_t*>(three), 0x44, 3), 0);
    EXPECT_EQ(Sent(), (Packets{"2b 44 02 01 02", "2b 46 01 03"}));
    // The target byte after the range was changed behind the image's back.
    const uint8_t poke = 0x99;
    ASSERT_EQ(SetSFRByte(0x47, poke), 0);  // direct space below 0x80 is RAM
    ASSERT_EQ(SetRAMMemory(const_cast<uint8_t*>(three), 0x44, 3), 0);
    uint8_t back[16] = {};
    ASSERT_EQ(GetRAMMemory(back, 0x40, 16), 0);
    EXPECT_EQ(back[4], 1);
    EXPECT_EQ(back[6], 3);
    EXPECT_EQ(back[7], 0x99) << "the byte past the range is left alone";
    EXPECT_EQ(back[8], 0xC8);
    // At the top of RAM as well.
    ASSERT_EQ(SetRAMMemory(const_cast<uint8_t*>(three), 0xFD, 3), 0);
    ASSERT_EQ(GetRAMMemory(back, 0xFD, 3), 0);
    EXPECT_EQ(back[2], 3);
}

TEST_F(Target, RamRangeAndStateChecks) {
    uint8_t buffer[300] = {};
    EXPECT_EQ(GetRAMMemory(buffer, 0, 256), 0);
    EXPECT_EQ(GetRAMMemory(buffer, 1, 256), ORDWIN_E_INVALIDARG);
    EXPECT_EQ(GetRAMMemory(nullptr, 0, 1), ORDWIN_E_INVALIDARG);
    EXPECT_EQ(GetRAMMemory(buffer, 0, 0), ORDWIN_E_INVALIDARG);
    EXPECT_EQ(GetRAMMemory(buffer, 0xFFFFFFFFu, 2), ORDWIN_E_INVALIDARG) << "no wrap-around";
    EXPECT_EQ(GetXRAMMemory(buffer, 0xFFF0, 0x20), ORDWIN_E_INVALIDARG) << "past 0xFFFF";

    RecordingHost host;
    LoadCode({0x80, 0xFE}, 0);
    ASSERT_EQ(SetTargetGo(), 0);
    ClearTrace();
    EXPECT_EQ(GetRAMMemory(buffer, 0x30, 4), ORDWIN_E_NOT_HALTED);
    EXPECT_EQ(GetXRAMMemory(buffer, 0, 4), ORDWIN_E_NOT_HALTED);
    EXPECT_EQ(SetRAMMemory(buffer, 0x30, 4), ORDWIN_E_NOT_HALTED);
    uint32_t pc = 0;
    EXPECT_EQ(ReadPC(&pc), ORDWIN_E_RUN_STATE);
    EXPECT_EQ(WritePC(0), ORDWIN_E_RUN_STATE);
    EXPECT_EQ(SetClrBP(1, 0x10), ORDWIN_E_RUN_STATE);
    EXPECT_TRUE(Sent().empty()) << "a running target is not asked";
    EXPECT_TRUE(host.Saw("Could not read RAM since board\nwas not in the HALT state."));
    EXPECT_TRUE(host.Saw("Could not read XRAM since board\nwas not in the HALT state."));
    int status = -1;
    ASSERT_EQ(GetTargetStatus(&status), 0);
    EXPECT_EQ(status, 0) << "the loop never stops by itself";
    ASSERT_EQ(SetTargetHalt(), 0);
    ClearTrace();
    ASSERT_EQ(GetTargetStatus(&status), 0);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(Sent().empty()) << "a halted target is not asked";
}

TEST_F(Target, LongReadsArePiecesOfPackets) {
    std::vector<uint8_t> data(600);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13 + 5);
    ASSERT_EQ(SetXRAMMemory(data.data(), 0x1000, 600), 0);
    ClearTrace();
    std::vector<uint8_t> back(600);
    ASSERT_EQ(GetXRAMMemory(back.data(), 0x1000, 600), 0);
    EXPECT_EQ(back, data);
    const Packets sent = Sent();
    // 255 = 4 x 60 + 15, twice, then 90 = 60 + 30.
    ASSERT_EQ(sent.size(), 5u + 5u + 2u);
    EXPECT_EQ(sent[0], "3e 00 10 3c");
    EXPECT_EQ(sent[4], "3e f0 10 0f");
    EXPECT_EQ(sent[5], "3e ff 10 3c");
    EXPECT_EQ(sent[11], "3e 3a 12 1e");
}

TEST_F(Target, SfrShadowWritesReachTheTargetOnRun) {
    uint8_t value = 0x5A;
    ASSERT_EQ(SetSFRMemory(&value, 0xF0, 1), 0);  // B register
    EXPECT_TRUE(Sent().empty()) << "the shadow write sends nothing";
    uint8_t direct = 0;
    ASSERT_EQ(GetSFRByte(0xF0, &direct), 0);
    EXPECT_NE(direct, 0x5A);
    uint8_t shadow = 0;
    ASSERT_EQ(GetSFRMemory(&shadow, 0xF0, 1), 0);
    EXPECT_EQ(shadow, 0x5A);
    ASSERT_EQ(GetSFRByte(0xF0, &direct), 0);
    EXPECT_EQ(direct, 0x5A) << "a shadow read writes the shadow back first";

    value = 0x77;
    ASSERT_EQ(SetSFRMemory(&value, 0xF0, 1), 0);
    LoadCode({0x80, 0xFE});
    ASSERT_EQ(SetSFRMemory(&value, 0xF0, 1), 0);
    ASSERT_EQ(TargetStep(), 0);
    ASSERT_EQ(GetSFRByte(0xF0, &direct), 0);
    EXPECT_EQ(direct, 0x77);

    uint8_t range[0x81] = {};
    EXPECT_EQ(GetSFRMemory(range, 0x7F, 2), ORDWIN_E_INVALIDARG);
    EXPECT_EQ(GetSFRMemory(range, 0x80, 0x81), ORDWIN_E_INVALIDARG);
    EXPECT_EQ(GetSFRMemory(range, 0x80, 0x80), 0);
}

TEST_F(Target, C2RegistersAndPageCrcOfAPattern) {
    ASSERT_EQ(IndSetSFRByte(0xB4, 0x0D), 0);
    uint8_t value = 0;
    ASSERT_EQ(IndGetSFRByte(0xB4, &value), 0);
    EXPECT_EQ(value, 0x0D);
    EXPECT_EQ(Sent(), (Packets{"37 b4 01 0d", "36 b4 01"}));
}

TEST_F(Target, BreakpointLimitAndSlotReuse) {
    DisconnectUSB();
    Use("VZ0001:speed=max,bpcount=0xF0");  // four breakpoints
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
    RecordingHost host;
    for (unsigned address : {0x100u, 0x200u, 0x300u, 0x400u}) {
        ASSERT_EQ(SetClrBP(1, address), 0);
    }
    EXPECT_EQ(SetClrBP(1, 0x200), 0) << "setting twice keeps one entry";
    EXPECT_EQ(SetClrBP(1, 0x500), ORDWIN_E_BP_LIMIT);
    EXPECT_TRUE(host.Saw("Maximum number of breakpoints reached.\r\nNo more may be added."));
    EXPECT_EQ(SetClrBP(0, 0x700), 0) << "nothing to clear";
    ASSERT_EQ(SetClrBP(0, 0x200), 0);
    ClearTrace();
    ASSERT_EQ(SetClrBP(1, 0x500), 0);
    // Disable, then program the three old slots and the reused slot 1.
    const Packets sent = Sent();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), "29 f1 01 00");
    EXPECT_EQ(sent.back(), "29 f1 01 0f");
    bool slotOne = false;
    for (size_t i = 0; i + 2 < sent.size(); ++i) {
        if (sent[i] == "29 f3 01 01") {
            slotOne = sent[i + 1] == "29 f4 01 00" && sent[i + 2] == "29 f5 01 05";
        }
    }
    EXPECT_TRUE(slotOne) << "0x500 takes the freed slot 1 (no enable bit on this family)";

    ASSERT_EQ(SetClrBP(0, 0x100), 0);
    EXPECT_EQ(SetClrBP(1, 0x8000), 0) << "the code size itself passes";
    EXPECT_EQ(SetClrBP(1, 0x8001), ORDWIN_E_BP_RANGE);
    EXPECT_EQ(SetClrBP(1, 0xFFFF), ORDWIN_E_BP_RESERVED);
    EXPECT_EQ(WritePC(0x8001), ORDWIN_E_INVALIDARG);

    ASSERT_EQ(TargetReset(), 0);
    for (unsigned address : {0x600u, 0x610u, 0x620u, 0x630u}) {
        EXPECT_EQ(SetClrBP(1, address), 0) << "a reset empties the table";
    }
}

TEST_F(Target, BreakpointStopsAStepAndRunCycle) {
    // mov a,#1 ; inc a ; inc a ; sjmp $  (0x0000, 0x0002, 0x0003, 0x0004)
    LoadCode({0x74, 0x01, 0x04, 0x04, 0x80, 0xFE});
    ASSERT_EQ(TargetStep(), 0);
    uint32_t pc = 0;
    ASSERT_EQ(ReadPC(&pc), 0);
    EXPECT_EQ(pc, 2u);
    ASSERT_EQ(SetClrBP(1, 0x0003), 0);
    ASSERT_EQ(SetTargetGo(), 0);
    int status = 0;
    for (int i = 0; i < 50 && status != 1; ++i) ASSERT_EQ(GetTargetStatus(&status), 0);
    ASSERT_EQ(status, 1);
    ASSERT_EQ(ReadPC(&pc), 0);
    EXPECT_EQ(pc, 3u);
    uint8_t acc = 0;
    ASSERT_EQ(GetSFRByte(0xE0, &acc), 0);
    EXPECT_EQ(acc, 2);
    // Cleared, the breakpoint no longer stops the loop.
    ASSERT_EQ(SetClrBP(0, 0x0003), 0);
    ASSERT_EQ(WritePC(0), 0);
    ASSERT_EQ(SetTargetGo(), 0);
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(GetTargetStatus(&status), 0);
        EXPECT_EQ(status, 0);
    }
    ASSERT_EQ(SetTargetHalt(), 0);
    ASSERT_EQ(GetSFRByte(0xE0, &acc), 0);
    EXPECT_EQ(acc, 3);
}

TEST_F(Target, NotConnected) {
    DisconnectUSB();
    ClearTrace();
    uint8_t buffer[4] = {};
    int status = 0;
    uint32_t pc = 0;
    EXPECT_EQ(SetTargetHalt(), 0);
    EXPECT_EQ(SetTargetGo(), ORDWIN_E_NOT_CONNECTED);
    EXPECT_EQ(TargetStep(), ORDWIN_E_NOT_CONNECTED);
    EXPECT_EQ(TargetReset(), ORDWIN_E_NOT_CONNECTED);
    EXPECT_EQ(GetTargetStatus(&status), ORDWIN_E_NOT_CONNECTED);
    EXPECT_EQ(ReadPC(&pc), ORDWIN_E_NOT_CONNECTED);
    EXPECT_EQ(WritePC(0), ORDWIN_E_NOT_CONNECTED);
    EXPECT_EQ(SetClrBP(1, 6), ORDWIN_E_NOT_CONNECTED);
    EXPECT_EQ(GetRAMMemory(buffer, 0, 4), ORDWIN_E_NOT_CONNECTED);
    EXPECT_EQ(GetXRAMMemory(buffer, 0, 4), ORDWIN_E_NOT_CONNECTED);
    EXPECT_EQ(GetPageCRC(0, buffer), ORDWIN_E_NOT_CONNECTED);
    EXPECT_EQ(GetCodeMemory(buffer, 0, 4), ORDWIN_E_NOT_CONNECTED);
    EXPECT_EQ(GetSFRByte(0x80, buffer), ORDWIN_E_NOT_CONNECTED);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Target, HaltSetsTheLongReplyTimeOut) {
    ASSERT_EQ(SetTargetHalt(), 0);
    EXPECT_EQ(Sent(), Packets{"25"});
}

}  // namespace
