#include "chip/zeltra.h"

#include <gtest/gtest.h>

#include <cstring>

#include "test_util.h"

namespace zsim {
namespace {

using test::RefCrc16;
using test::RefCrc32;
using test::RunProgram;
using test::TempDir;

std::unique_ptr<Zeltra> MakeChip(ZeltraConfig config = {}) {
    std::string error;
    auto chip = Zeltra::Create(config, &error);
    EXPECT_TRUE(chip) << error;
    return chip;
}

// Writes a boot record and a boot image into a chip's NVM, the way a burn would.
void ProgramBoot(Zeltra& chip, uint8_t state, uint8_t flags, const std::vector<uint8_t>& image,
                 bool good_crc = true) {
    auto& nvm = chip.Memories().nvm;
    uint16_t ub = chip.Config().user_begin;
    std::copy(image.begin(), image.end(), nvm.begin() + ub);
    nvm[0x1FF0] = state;
    nvm[0x1FF1] = flags;
    nvm[0x1FF2] = uint8_t(image.size() >> 8);
    nvm[0x1FF3] = uint8_t(image.size());
    uint32_t crc = RefCrc32(nvm.data() + ub, 0x1FF0 - ub) ^ (good_crc ? 0 : 1);
    test::PutBe32(&nvm[0x1FF4], crc);
}

uint16_t XBe16(Zeltra& chip, uint16_t addr) {
    return uint16_t(chip.XdataRead(addr) << 8 | chip.XdataRead(uint16_t(addr + 1)));
}

TEST(Boot, FactoryChip) {
    auto chip = MakeChip();
    chip->XdataWrite(0x0100, 0x99);
    chip->Reset();
    EXPECT_TRUE(chip->Halted());
    EXPECT_EQ(chip->Core().pc, 0);
    EXPECT_EQ(chip->Core().ReadDirect(kSfrProt0Ctrl), 0);
    EXPECT_EQ(chip->Core().ReadDirect(kSfrBootFlags), 0);
    const auto& nvm = chip->Memories().nvm;
    for (int i = 0; i < 0xF0; ++i) ASSERT_EQ(chip->XdataRead(uint16_t(0x1100 + i)), nvm[i]) << i;
    EXPECT_EQ(chip->XdataRead(0x11D6), nvm[0xD6]);  // bSys_TrimId
    EXPECT_EQ(XBe16(*chip, 0x11F3), 0x1100);
    EXPECT_EQ(XBe16(*chip, 0x11F5), 0x0200);
    EXPECT_EQ(XBe16(*chip, 0x11FD), 0x0000);
    EXPECT_EQ(chip->XdataRead(0x11FF), 0x01);  // trim CRC good, nothing copied, user CRC bad
    EXPECT_EQ(chip->XdataRead(0x4025), 0x02);
    chip->XdataWrite(0x4025, 0x77);
    EXPECT_EQ(chip->XdataRead(0x4025), 0x02);
    EXPECT_EQ(chip->XdataRead(0x0100), 0x99);  // no RAM clear without the flag
    EXPECT_EQ(chip->CodeRead(0x0000), 0xFF);
    EXPECT_FALSE(chip->C2Disabled());
}

TEST(Boot, UserAndRunStatesCopyTheBootImage) {
    ZeltraConfig config;
    config.user_begin = 0x0400;
    auto chip = MakeChip(config);
    std::vector<uint8_t> image = {0x75, 0x64, 0x5C, 0x80, 0xFE};
    ProgramBoot(*chip, 0x03, 0x00, image);
    chip->Reset();
    EXPECT_EQ(chip->Core().ReadDirect(kSfrProt0Ctrl), 0x03);
    for (size_t i = 0; i < image.size(); ++i) EXPECT_EQ(chip->CodeRead(uint16_t(i)), image[i]);
    EXPECT_EQ(chip->CodeRead(uint16_t(image.size())), 0xFF);
    EXPECT_EQ(XBe16(*chip, 0x11F5), 0x0400);
    EXPECT_EQ(XBe16(*chip, 0x11FD), 0x0400);
    EXPECT_EQ(chip->XdataRead(0x11FF), 0x07);

    ProgramBoot(*chip, 0x07, 0x00, image, /*good_crc=*/false);
    chip->CodeFill();
    chip->Reset();
    EXPECT_EQ(chip->Core().ReadDirect(kSfrProt0Ctrl), 0x07);
    EXPECT_EQ(chip->CodeRead(0), 0x75);
    EXPECT_EQ(chip->XdataRead(0x11FF), 0x03);  // user CRC no longer matches

    // The copied image runs from 0x0000.
    ASSERT_TRUE(chip->RunTo(3, chip->Cycles() + 100));
    EXPECT_EQ(chip->Core().iram[0x64], 0x5C);
}

TEST(Boot, PowerUpRunsTheBootImageOnlyWhenAskedTo) {
    TempDir tmp;
    ZeltraConfig config;
    config.state_dir = tmp.Str();
    std::vector<uint8_t> image = {0x75, 0x64, 0x5C, 0x80, 0xFE};  // MOV 64h,#5Ch ; SJMP $
    for (uint8_t flags : {0x00, int(kFlagExeUserBoot)}) {
        {
            auto chip = MakeChip(config);
            ProgramBoot(*chip, 0x03, flags, image);
            std::string error;
            ASSERT_TRUE(chip->Memories().SaveNvm(&error)) << error;
        }
        auto chip = MakeChip(config);
        EXPECT_EQ(chip->Halted(), flags == 0);
        chip->RunUntil(chip->Cycles() + 100);
        EXPECT_EQ(chip->Core().iram[0x64], flags ? 0x5C : 0x00);
    }
    EXPECT_TRUE(MakeChip()->Halted());
}

TEST(Boot, BootLengthIsCutAtTheEndOfTheUserRegion) {
    auto chip = MakeChip();
    auto& nvm = chip->Memories().nvm;
    nvm[0x1FF0] = 0x03;
    nvm[0x1FF2] = 0xFF;  // 65535 bytes claimed
    nvm[0x1FF3] = 0xFF;
    nvm[0x1FEF] = 0x42;
    chip->Reset();
    EXPECT_EQ(chip->CodeRead(0x1FEF - 0x200), 0x42);
    EXPECT_EQ(chip->CodeRead(0x1FF0 - 0x200), 0xFF);  // the boot record is not copied
}

TEST(Boot, FlagsTakeEffectAtReset) {
    auto chip = MakeChip();
    auto& nvm = chip->Memories().nvm;
    chip->XdataWrite(0x0000, 0x11);
    chip->XdataWrite(0x0FFF, 0x22);
    chip->XdataWrite(0x1000, 0x33);
    nvm[0x1FF1] = kFlagRamClear | kFlagC2Disable | kFlagXoEarly;
    EXPECT_FALSE(chip->C2Disabled());  // not before the reset
    chip->Reset();
    EXPECT_EQ(chip->XdataRead(0x0000), 0);
    EXPECT_EQ(chip->XdataRead(0x0FFF), 0);
    EXPECT_EQ(chip->XdataRead(0x1000), 0x33);
    EXPECT_TRUE(chip->C2Disabled());
    EXPECT_EQ(chip->Core().ReadDirect(kSfrProt0Ctrl), 0x40);
    EXPECT_EQ(chip->Core().ReadDirect(kSfrBootFlags), 0x51);
}

TEST(Boot, StatusSfrsAndDebugRegistersAreReadOnlyToTheCore) {
    auto chip = MakeChip();
    chip->Memories().nvm[0x1FF0] = 0x03;
    chip->DebugWriteDirect(0xF3, 2);
    chip->DebugWriteDirect(0xF4, 0x34);
    chip->Reset();
    std::vector<uint8_t> code = {0x75, 0xDA, 0x55,  // MOV PROT0_CTRL,#55h
                                 0x75, 0xDD, 0x55,  // MOV BOOT_FLAGS,#55h
                                 0x85, 0xDA, 0x30,  // MOV 30h,PROT0_CTRL
                                 0x85, 0xDD, 0x31,  // MOV 31h,BOOT_FLAGS
                                 0x85, 0xF2, 0x32,  // MOV 32h,0F2h (breakpoint count byte)
                                 0x85, 0xF4, 0x33,  // MOV 33h,0F4h
                                 0x80, 0xFE};
    ASSERT_TRUE(RunProgram(*chip, code, 18));
    EXPECT_EQ(chip->Core().iram[0x30], 0x03);
    EXPECT_EQ(chip->Core().iram[0x31], 0x00);
    EXPECT_EQ(chip->Core().iram[0x32], 0x00);
    EXPECT_EQ(chip->Core().iram[0x33], 0x00);
    EXPECT_EQ(chip->DebugReadDirect(0xF2), 0xFF);
}

// --- ROM routines ---------------------------------------------------------

struct BurnResult {
    uint8_t code, fail_hi, fail_lo;
};

BurnResult Burn(Zeltra& chip, uint16_t nvm, const std::vector<uint8_t>& data, uint8_t mode) {
    uint16_t end;
    auto code = test::BurnCall(nvm, uint8_t(data.size()), mode, data, &end);
    EXPECT_TRUE(RunProgram(chip, code, end));
    const uint8_t* r = &chip.Core().iram[0x64];
    return {r[0], r[1], r[2]};
}

TEST(NvmBurn, StrictOrAndConflicts) {
    auto chip = MakeChip();
    uint64_t before = chip->Cycles();
    BurnResult r = Burn(*chip, 0x0300, {0x01, 0x10, 0x00}, 0);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.fail_hi, 0);
    EXPECT_EQ(r.fail_lo, 0);
    // Three bytes burned: 150 us of chip time on top of the program's own cycles.
    uint64_t burn = chip->Cycles() - before;
    EXPECT_GE(burn, 300u);
    EXPECT_LT(burn, 400u);
    EXPECT_EQ(chip->Memories().nvm[0x0300], 0x01);
    EXPECT_EQ(chip->Memories().nvm[0x0301], 0x10);

    r = Burn(*chip, 0x0300, {0x01, 0x01}, 0);  // 0x0301 holds 0x10, the source lacks it
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.fail_hi, 0x03);
    EXPECT_EQ(r.fail_lo, 0x01);
    EXPECT_EQ(chip->Memories().nvm[0x0301], 0x10);

    r = Burn(*chip, 0x0300, {0x02, 0x01}, 1);  // logic OR
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(chip->Memories().nvm[0x0300], 0x03);
    EXPECT_EQ(chip->Memories().nvm[0x0301], 0x11);
}

TEST(NvmBurn, RefusalsNameTheFailingAddress) {
    ZeltraConfig config;
    config.vpp = false;
    auto chip = MakeChip(config);
    BurnResult r = Burn(*chip, 0x0400, {0xFF}, 0);
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.fail_hi << 8 | r.fail_lo, 0x0400);
    EXPECT_EQ(chip->Memories().nvm[0x0400], 0);

    chip->SetVpp(true);
    r = Burn(*chip, 0x01FE, {1, 2, 3}, 0);  // reserved bytes below user begin
    EXPECT_EQ(r.code, 4);
    EXPECT_EQ(r.fail_hi << 8 | r.fail_lo, 0x01FE);
    r = Burn(*chip, 0x0010, {1}, 1);  // trim region
    EXPECT_EQ(r.code, 4);
    EXPECT_EQ(chip->Memories().nvm[0x0200], 0);

    // The boot record at the top is writable.
    r = Burn(*chip, 0x1FF0, {0x03}, 0);
    EXPECT_EQ(r.code, 0);
}

TEST(NvmBurn, DisableFlagRefusesFromTheNextReset) {
    auto chip = MakeChip();
    EXPECT_EQ(Burn(*chip, 0x1FF1, {kFlagNvmDisable}, 0).code, 0);
    // Burn resets the chip before each run, so the flag now holds.
    BurnResult r = Burn(*chip, 0x0600, {0x01}, 0);
    EXPECT_EQ(r.code, 4);
    EXPECT_EQ(chip->Memories().nvm[0x0600], 0);
}

TEST(NvmRead, CopiesToXdataAndChecksTheRange) {
    auto chip = MakeChip();
    auto read = [&](uint16_t src, uint8_t count) {
        std::vector<uint8_t> code = {0x90, 0x08,
                                     0x00,  // MOV DPTR,#0800h
                                     0x7E, uint8_t(src >> 8),
                                     0x7F, uint8_t(src),  // R6:R7
                                     0x7D, count,         // R5
                                     0x12, 0x80,
                                     0x60,  // LCALL NvmRead
                                     0x8F, 0x64,
                                     0x80, 0xFE};
        EXPECT_TRUE(RunProgram(*chip, code, 14));
        return chip->Core().iram[0x64];
    };
    EXPECT_EQ(read(0x0000, 0), 0);  // 0 = 256 bytes
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(chip->XdataRead(uint16_t(0x0800 + i)), chip->Memories().nvm[i]) << i;
    }
    EXPECT_EQ(read(0x1FF0, 16), 0);
    EXPECT_EQ(read(0x1FF1, 16), 4);
}

std::vector<uint8_t> MtpProgram(uint8_t key, uint8_t first, uint8_t second) {
    return {0x12, 0x80,   0x6C,              // LCALL MtpBase
            0x8E, 0x40,   0x8F, 0x41,        // MOV 40h,R6 / 41h,R7
            0x90, 0x40,   0x40,              // MOV DPTR,#4040h
            0x74, first,  0xF0, 0xA3,        // latch byte 0
            0x74, second, 0xF0,              // latch byte 1
            0x7F, key,    0x12, 0x80, 0x69,  // MOV R7,#key; LCALL MtpWrite
            0x8F, 0x64,   0x80, 0xFE};       // MOV 64h,R7; SJMP $
}
constexpr uint16_t kMtpProgramEnd = 24;

TEST(Mtp, LatchWriteAndWrongKey) {
    TempDir tmp;
    ZeltraConfig config;
    config.state_dir = tmp.Str();
    auto chip = MakeChip(config);
    ASSERT_TRUE(RunProgram(*chip, MtpProgram(0x32, 0xA1, 0xB2), kMtpProgramEnd));
    EXPECT_EQ(chip->Core().iram[0x40], 0x40);
    EXPECT_EQ(chip->Core().iram[0x41], 0x40);
    EXPECT_EQ(chip->Core().iram[0x64], 0);
    EXPECT_EQ(chip->Memories().mtp[0], 0xA1);
    EXPECT_EQ(chip->Memories().mtp[1], 0xB2);
    EXPECT_EQ(chip->Memories().mtp_writes, 1u);
    EXPECT_EQ(chip->XdataRead(0x4050), 0);

    // A wrong key writes nothing and reloads the window from the cells.
    ASSERT_TRUE(RunProgram(*chip, MtpProgram(0x31, 0x00, 0x00), kMtpProgramEnd));
    EXPECT_EQ(chip->Core().iram[0x64], 1);
    EXPECT_EQ(chip->Memories().mtp[0], 0xA1);
    EXPECT_EQ(chip->XdataRead(0x4040), 0xA1);

    // Latched but unwritten values are gone after a reset; written ones stay.
    chip->XdataWrite(0x4042, 0x5A);
    EXPECT_EQ(chip->XdataRead(0x4042), 0x5A);
    chip->Reset();
    EXPECT_EQ(chip->XdataRead(0x4042), 0x00);
    EXPECT_EQ(chip->XdataRead(0x4041), 0xB2);

    // The cells and the counter survive a restart of the chip.
    chip.reset();
    auto again = MakeChip(config);
    EXPECT_EQ(again->Memories().mtp[1], 0xB2);
    EXPECT_EQ(again->Memories().mtp_writes, 1u);
    EXPECT_EQ(again->XdataRead(0x4041), 0xB2);
}

TEST(Mtp, EnduranceAndDisable) {
    ZeltraConfig config;
    config.mtp_endurance = 2;
    auto chip = MakeChip(config);
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(RunProgram(*chip, MtpProgram(0x32, uint8_t(i + 1), 0), kMtpProgramEnd));
        EXPECT_EQ(chip->Core().iram[0x64], 0);
    }
    ASSERT_TRUE(RunProgram(*chip, MtpProgram(0x32, 0x77, 0), kMtpProgramEnd));
    EXPECT_EQ(chip->Core().iram[0x64], 3);
    EXPECT_EQ(chip->Memories().mtp[0], 2);
    EXPECT_EQ(chip->XdataRead(0x4040), 2);

    auto chip2 = MakeChip();
    chip2->Memories().nvm[0x1FF1] = kFlagMtpDisable;
    ASSERT_TRUE(RunProgram(*chip2, MtpProgram(0x32, 0x77, 0), kMtpProgramEnd));
    EXPECT_EQ(chip2->Core().iram[0x64], 2);
    EXPECT_EQ(chip2->Memories().mtp[0], 0);
}

// --- debug interface ------------------------------------------------------

TEST(Debug, PtBlockThroughC2Register) {
    auto chip = MakeChip();
    auto& nvm = chip->Memories().nvm;
    for (int i = 0; i < 4; ++i) nvm[0x1FF4 + i] = uint8_t(0xC0 + i);
    chip->Reset();
    chip->C2Write(0xB4, 0x0C);  // any other value copies nothing
    EXPECT_EQ(chip->Core().iram[0x70], 0);
    EXPECT_EQ(chip->C2Read(0xB4), 0x0C);
    chip->C2Write(0xB4, 0x0D);
    EXPECT_EQ(chip->C2Read(0xB4), 0x0D);
    const uint8_t* pt = &chip->Core().iram[0x70];
    EXPECT_EQ(0, std::memcmp(pt, &nvm[0x100], 72));
    EXPECT_EQ(0, std::memcmp(pt + 72, &nvm[0x1FF4], 4));
    EXPECT_EQ(0, std::memcmp(pt + 76, &nvm[0x148], 4));
    EXPECT_EQ(chip->Core().iram[0xC0], 0);
}

TEST(Debug, RegionCrcsMatchAnIndependentCrc32) {
    ZeltraConfig config;
    config.user_begin = 0x0300;
    auto chip = MakeChip(config);
    chip->Memories().nvm[0x0300] = 0x5A;
    chip->Memories().nvm[0x1FEF] = 0xA5;
    auto crc32 = [&](uint8_t region) {
        uint32_t hi = chip->PageCrc(region);
        return hi << 16 | chip->PageCrc(0xF8);
    };
    const auto& nvm = chip->Memories().nvm;
    EXPECT_EQ(crc32(0xF9), RefCrc32(nvm.data(), 256));
    EXPECT_EQ(crc32(0xFA), RefCrc32(nvm.data() + 0x300, 0x1FF0 - 0x300));
    std::vector<uint8_t> rom(0x8000, 0xFF);
    for (uint16_t entry : {0x8060, 0x8063, 0x8069, 0x806C}) rom[entry - 0x8000] = 0x22;
    EXPECT_EQ(crc32(0xFB), RefCrc32(rom.data(), rom.size()));
    // The lower half follows the region asked for just before.
    EXPECT_EQ(chip->PageCrc(0xF8), uint16_t(RefCrc32(rom.data(), rom.size())));

    // Code pages: CRC-16/XMODEM of 256 bytes.
    chip->CodeWrite(0x0105, 0x12);
    std::vector<uint8_t> page(256, 0xFF);
    page[5] = 0x12;
    EXPECT_EQ(chip->PageCrc(0x01), RefCrc16(page.data(), 256));
    EXPECT_EQ(chip->PageCrc(0x7F), RefCrc16(std::vector<uint8_t>(256, 0xFF).data(), 256));
    EXPECT_FALSE(chip->CodeWrite(0x8000, 0));
}

TEST(Debug, MonitorOwnsLowRamWhileHalted) {
    auto chip = MakeChip();
    chip->Reset();
    chip->Core().iram[0] = 0x10;
    chip->Reset();  // shadows take the RAM at the halt
    EXPECT_EQ(chip->DebugReadRam(0), 0xA5);
    EXPECT_EQ(chip->DebugReadDirect(0x24), 0x10);
    chip->DebugWriteRam(1, 0x66);  // ignored
    chip->DebugWriteDirect(0x25, 0x21);
    chip->DebugWriteRam(3, 0x44);
    EXPECT_EQ(chip->DebugReadRam(3), 0x44);
    // MOV 30h,R1 then loop: the core sees the shadow value in R1.
    chip->LoadCode(0, std::vector<uint8_t>{0x89, 0x30, 0x80, 0xFE}.data(), 4);
    chip->Step();
    EXPECT_EQ(chip->Core().pc, 2);
    EXPECT_EQ(chip->Core().iram[0x30], 0x21);
    EXPECT_EQ(chip->DebugReadDirect(0x25), 0x21);
}

TEST(Debug, PcAndBreakpoints) {
    auto chip = MakeChip();
    chip->Reset();
    std::vector<uint8_t> code = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0xFE};
    chip->LoadCode(0, code.data(), code.size());
    chip->DebugWriteDirect(0xF3, 5);
    chip->DebugWriteDirect(0xF4, 0x04);
    chip->DebugWriteDirect(0xF5, 0x00);
    chip->DebugWriteDirect(0xF1, 0x20);
    EXPECT_EQ(chip->DebugReadDirect(0xF4), 0x04);
    chip->DebugWriteDirect(0x20, 0x01);
    chip->DebugWriteDirect(0x21, 0x00);
    chip->Run();
    chip->RunUntil(chip->Cycles() + 1000);
    EXPECT_TRUE(chip->Halted());
    EXPECT_EQ(chip->DebugReadDirect(0x20), 0x04);
    EXPECT_EQ(chip->DebugReadDirect(0x21), 0x00);
    // Resuming leaves the breakpoint address first; the loop keeps it running.
    chip->Run();
    chip->RunUntil(chip->Cycles() + 1000);
    EXPECT_FALSE(chip->Halted());
    EXPECT_EQ(chip->Core().pc, 6);
    chip->Halt();

    // A hung core ignores breakpoints.
    chip->DebugWriteDirect(0x20, 0x00);
    chip->SetHang(true);
    chip->Run();
    chip->RunUntil(chip->Cycles() + 1000);
    EXPECT_FALSE(chip->Halted());
    chip->Halt();
    // A reset disables every breakpoint.
    chip->SetHang(false);
    chip->Reset();
    EXPECT_EQ(chip->DebugReadDirect(0xF1), 0);
}

TEST(Debug, CountByteLimitsTheWorkingSlots) {
    EXPECT_EQ(zt::zeltra::BreakpointSlots(0xF0), 4);
    EXPECT_EQ(zt::zeltra::BreakpointSlots(0x80), 7);
    EXPECT_EQ(zt::zeltra::BreakpointSlots(0xFE), 1);
    EXPECT_EQ(zt::zeltra::BreakpointSlots(0x12), 8);
    ZeltraConfig config;
    config.bpcount = 0xF0;
    auto chip = MakeChip(config);
    chip->Reset();
    std::vector<uint8_t> code = {0x00, 0x00, 0x00, 0x00, 0x80, 0xFE};
    chip->LoadCode(0, code.data(), code.size());
    chip->DebugWriteDirect(0xF3, 4);  // slot 4 does not exist on this chip
    chip->DebugWriteDirect(0xF4, 0x02);
    chip->DebugWriteDirect(0xF1, 0x10);
    chip->Run();
    chip->RunUntil(chip->Cycles() + 100);
    EXPECT_FALSE(chip->Halted());
}

TEST(Debug, IdleCoreWaitsUntilADebugCommand) {
    auto chip = MakeChip();
    // ORL PCON,#1 ; MOV 30h,#1 ; SJMP $
    std::vector<uint8_t> code = {0x43, 0x87, 0x01, 0x75, 0x30, 0x01, 0x80, 0xFE};
    chip->Reset();
    chip->LoadCode(0, code.data(), code.size());
    chip->Run();
    uint64_t c = chip->Cycles();
    chip->RunUntil(c + 5000000);
    EXPECT_EQ(chip->Cycles(), c + 5000000);  // idle time passes at once
    EXPECT_EQ(chip->Core().pc, 3);
    chip->Halt();
    EXPECT_EQ(chip->Core().sfr[0x87 - 0x80] & 1, 0) << "leaving idle clears the bit";
    chip->Step();
    EXPECT_EQ(chip->Core().iram[0x30], 1);
    // A program that writes PCON back to itself after an idle run does not idle.
    std::vector<uint8_t> rewrite = {0x85, 0x87, 0x87, 0x75, 0x31, 0x02, 0x80, 0xFE};
    chip->LoadCode(0, rewrite.data(), rewrite.size());
    chip->Core().pc = 0;
    chip->Run();
    chip->RunUntil(chip->Cycles() + 100);
    EXPECT_EQ(chip->Core().iram[0x31], 2);
}

TEST(Persistence, BurnedNvmSurvivesTheChip) {
    TempDir tmp;
    ZeltraConfig config;
    config.state_dir = tmp.Sub("state");
    {
        auto chip = MakeChip(config);
        EXPECT_EQ(Burn(*chip, 0x0700, {0x3C, 0xC3}, 0).code, 0);
    }
    auto chip = MakeChip(config);
    EXPECT_EQ(chip->Memories().nvm[0x0700], 0x3C);
    EXPECT_EQ(chip->Memories().nvm[0x0701], 0xC3);
    EXPECT_EQ(Burn(*chip, 0x0700, {0x00}, 0).code, 2);  // still burned: a conflict
}

TEST(Config, RejectsAUserBeginInsideTheFactoryArea) {
    ZeltraConfig config;
    config.user_begin = 0x0100;
    std::string error;
    EXPECT_FALSE(Zeltra::Create(config, &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace zsim
