// Per-family paths that the virtual Zeltra does not take: write-once page
// programming with its write mode and status, page erase, paged breakpoint
// registers and XDATA through address registers. A scripted HID library
// answers each packet from a small model of the target's registers and code.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "devicedb/device_database.h"
#include "exports/debug_context.h"
#include "fake_wickport.h"
#include "ordwin.h"
#include "recording_host.h"
#include "target/breakpoints.h"
#include "target/memory_access.h"
#include "target/page_programming.h"
#include "target/target_reset.h"
#include "target/target_state.h"
#include "zt/crc.h"

namespace {

using ordwin::DebugContext;
using Packets = std::vector<std::string>;

// Answers packets like a C2 target: status 0x0D for writes, data from its
// registers and code for reads.
struct ScriptedTarget {
    std::vector<std::vector<uint8_t>> sent;
    std::map<uint8_t, uint8_t> c2;
    std::map<uint8_t, uint8_t> direct;
    std::vector<uint8_t> code = std::vector<uint8_t>(0x10000, 0xFF);
    std::vector<uint8_t> reply;

    static ScriptedTarget*& Current() {
        static ScriptedTarget* current = nullptr;
        return current;
    }

    void Answer(const uint8_t* p, int length) {
        sent.emplace_back(p, p + length);
        const uint32_t word = length >= 3 ? p[1] | p[2] << 8 : 0;
        reply = {0x0D};
        switch (p[0]) {
            case 0x28:
                reply.clear();
                for (int i = 0; i < p[2]; ++i) reply.push_back(direct[uint8_t(p[1] + i)]);
                break;
            case 0x29:
                for (int i = 0; i < p[2]; ++i) direct[uint8_t(p[1] + i)] = p[3 + i];
                break;
            case 0x36:
                reply = {c2[p[1]]};
                break;
            case 0x37:
                c2[p[1]] = p[3];
                break;
            case 0x2F:
            case 0x33:
                for (int i = 0; i < p[3]; ++i) code[word + i] = p[4 + i];
                break;
            case 0x34:
                reply.assign(code.begin() + word, code.begin() + word + p[3]);
                break;
            case 0x2C:
                reply.assign(p[3], 0x42);
                break;
            case 0x13:  // JTAG halt flag
                reply = {0x01};
                break;
            case 0x31: {
                const uint16_t crc = zt::Crc16Xmodem(code.data() + p[1] * 256, 256);
                reply = {uint8_t(crc >> 8), uint8_t(crc)};
                break;
            }
            default:
                break;
        }
    }

    // The packets as trace text, then forgotten.
    Packets Sent() {
        Packets text;
        for (const auto& packet : sent) {
            std::string line;
            for (uint8_t b : packet) {
                char hex[4];
                std::snprintf(hex, sizeof hex, line.empty() ? "%02x" : " %02x", b);
                line += hex;
            }
            text.push_back(line);
        }
        sent.clear();
        return text;
    }
};

class Families : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(ctx_.Setup());
        api_ = fake_.Api();
        ScriptedTarget::Current() = &target_;
        api_.write = [](const uint8_t* packet, int length) {
            ScriptedTarget::Current()->Answer(packet, length);
            return WP_OK;
        };
        api_.read = [](uint8_t* buffer, int length, int* received) {
            uint8_t report[WP_REPORT_SIZE] = {};
            const auto& reply = ScriptedTarget::Current()->reply;
            std::copy(reply.begin(), reply.end(), report);
            std::copy(report, report + length, buffer);
            *received = WP_REPORT_SIZE;
            return WP_OK;
        };
        ordwin::SetWickportApi(&api_);
        ctx_.adapterType = 3;
        ctx_.link->SetLinkType(3);
        ctx_.connected = 1;
        ctx_.runState = 1;
        ctx_.dialogsDisabled = 1;
    }
    void TearDown() override { ordwin::SetWickportApi(nullptr); }

    // The record and traits of the family's first listed derivative, as a
    // connection builds them, then the per-connection start.
    void Family(uint16_t family) {
        ordwin::DeviceDatabase::FillDefaults(*ctx_.record);
        ASSERT_EQ(
            ordwin::DeviceDatabase::BuildRecord(*ctx_.record, ctx_.traits, family, 1, 0x01, 1), 0);
        ctx_.record->codeSize = 0x4000;
        ordwin::StartConnectionState(ctx_);
    }

    void Store(uint32_t address, const std::vector<uint8_t>& bytes) {
        for (size_t i = 0; i < bytes.size(); ++i) {
            ASSERT_EQ(ordwin::StoreCodeByte(ctx_, address + uint32_t(i), bytes[i], false, nullptr),
                      0);
        }
    }

    DebugContext ctx_;
    FakeWickport fake_;
    ScriptedTarget target_;
    ordwin::WickportApi api_{};
};

TEST_F(Families, WriteOncePagesAreWrittenInWriteModeWithStatus) {
    Family(16);
    Store(0x0200, {0x11, 0x22, 0x33});
    ASSERT_EQ(ordwin::ProgramFlaggedPages(ctx_, true), 0);
    const Packets sent = target_.Sent();
    const Packets enter = {"37 02 01 04", "37 df 01 40", "37 df 01 58"};
    ASSERT_GE(sent.size(), 3u + 2 * 9 + 5);
    EXPECT_EQ(Packets(sent.begin(), sent.begin() + 3), enter);
    // 512 bytes in 60-byte packets, each followed by the write status.
    for (size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(sent[3 + 2 * i].substr(0, 2), "33") << i;
        EXPECT_EQ(sent[4 + 2 * i], "36 b7 01") << i;
    }
    EXPECT_EQ(sent[3].substr(0, 20), "33 00 02 3c 11 22 33");
    const Packets leave = {"37 df 01 40", "37 df 01 00", "37 02 01 02", "37 02 01 04",
                           "37 02 01 01"};
    EXPECT_EQ(Packets(sent.begin() + 21, sent.begin() + 26), leave);
    for (const std::string& packet : sent) EXPECT_NE(packet.substr(0, 2), "30") << "no erase";
    EXPECT_EQ(target_.code[0x201], 0x22);
}

TEST_F(Families, WriteStatusFailureStopsProgramming) {
    Family(16);
    target_.c2[0xB7] = 0x01;
    ctx_.dialogsDisabled = 0;
    RecordingHost host;
    Store(0x0400, {0xAB});
    EXPECT_EQ(ordwin::ProgramFlaggedPages(ctx_, false), ORDWIN_E_STATUS_FLASH);
    EXPECT_TRUE(
        host.Saw("Failed writing flash sector at address 0400H\r\nPossible locked sector.\r\n"));
    const Packets sent = target_.Sent();
    EXPECT_EQ(sent.back(), "37 02 01 01") << "the write mode is left after a failure too";
}

TEST_F(Families, StatusBehindTheSelectRegister) {
    Family(24);
    target_.c2[0xBF] = 0x05;
    Store(0x0000, {0x01});
    ASSERT_EQ(ordwin::ProgramFlaggedPages(ctx_, true), 0);
    const Packets sent = target_.Sent();
    const Packets status = {"36 bf 01", "37 bf 01 01", "36 b3 01", "37 bf 01 05"};
    EXPECT_EQ(Packets(sent.begin() + 4, sent.begin() + 8), status);
    EXPECT_EQ(target_.c2[0xBF], 0x05);
}

TEST_F(Families, FlashPagesAreErasedAndCheckedByCrc) {
    Family(22);
    Store(0x0600, {0x5A, 0xA5});
    ASSERT_EQ(ordwin::ProgramFlaggedPages(ctx_, true), 0);
    const Packets sent = target_.Sent();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), "30 03") << "page 3 erased first";
    EXPECT_EQ(sent[1].substr(0, 11), "2f 00 06 3c");
    EXPECT_EQ(Packets(sent.end() - 2, sent.end()), (Packets{"31 06", "31 07"}));
    // A target that does not hold what was written fails the check.
    Store(0x0600, {0x00});
    target_.code[0x0700] = 0x77;
    api_.write = [](const uint8_t* packet, int length) {
        ScriptedTarget* t = ScriptedTarget::Current();
        t->Answer(packet, length);
        if (packet[0] == 0x2F) t->code[0x0700] ^= 0xFF;  // a flash cell that does not keep
        return WP_OK;
    };
    EXPECT_EQ(ordwin::ProgramFlaggedPages(ctx_, true), ORDWIN_E_CRC);
}

TEST_F(Families, LockBytesAreReadIntoTheCodeImage) {
    Family(22);
    ctx_.record->writeLockAddress = 0x3FFE;
    ctx_.record->readLockAddress = 0x3FFF;
    target_.code[0x3FFE] = 0x12;
    target_.code[0x3FFF] = 0x34;
    ASSERT_EQ(ordwin::ReadLockBytes(ctx_), 0);
    EXPECT_EQ(target_.Sent(), (Packets{"34 fe 3f 01", "34 ff 3f 01"})) << "write lock first";
    EXPECT_EQ(ctx_.codeImage[0x3FFE], 0x12);
    EXPECT_EQ(ctx_.codeImage[0x3FFF], 0x34);
    // One shared lock byte is read once.
    ctx_.record->writeLockAddress = 0x3FFF;
    ASSERT_EQ(ordwin::ReadLockBytes(ctx_), 0);
    EXPECT_EQ(target_.Sent(), (Packets{"34 ff 3f 01"}));
    // The Zeltra has none to read: they count as erased.
    ordwin::DeviceDatabase::FillDefaults(*ctx_.record);
    ctx_.record->familyCode = 36;
    ctx_.record->readLockAddress = 0x1000;
    ctx_.codeImage[0x1000] = 0x00;
    ASSERT_EQ(ordwin::ReadLockBytes(ctx_), 0);
    EXPECT_TRUE(target_.Sent().empty());
    EXPECT_EQ(ctx_.codeImage[0x1000], 0xFF);
}

TEST_F(Families, ProtectedFlashAsksBeforeTheUserCodeErase) {
    Family(22);
    ctx_.record->writeLockAddress = 0x3FFE;
    ctx_.record->readLockAddress = 0x3FFF;
    target_.code[0x3FFF] = 0x00;  // read-protected
    ctx_.dialogsDisabled = 0;
    RecordingHost host;
    host.answer = ORDWIN_ID_CANCEL;
    EXPECT_EQ(ordwin::EraseUserCode(ctx_), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].style, ORDWIN_MB_OKCANCEL_ICON);
    for (const std::string& packet : target_.Sent()) EXPECT_NE(packet, "3c") << "cancelled";
    // Unprotected flash is erased without a question.
    target_.code[0x3FFF] = 0xFF;
    host.messages.clear();
    EXPECT_EQ(ordwin::EraseUserCode(ctx_), 0);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(target_.Sent().back(), "3c");
}

TEST_F(Families, PagedBreakpointRegisters) {
    Family(22);  // control register 0xF4 on page 1, page register 0xA7
    target_.direct[0xA7] = 0x00;
    ASSERT_EQ(ordwin::SetClearBreakpoint(ctx_, true, 0x1234), 0);
    const Packets sent = target_.Sent();
    const Packets expected = {
        "28 a7 01", "29 a7 01 01", "29 f4 01 00", "29 a7 01 00",  // disable all
        "28 a7 01", "29 a7 01 01", "29 85 01 34", "29 a7 01 00",  // slot 0 low
        "28 a7 01", "29 a7 01 01", "29 86 01 12", "29 a7 01 00",  // high, no enable bit
        "28 a7 01", "29 a7 01 01", "29 f4 01 01", "29 a7 01 00",  // enable slot 0
    };
    EXPECT_EQ(sent, expected);
}

TEST_F(Families, BreakpointsWithoutControlRegister) {
    Family(4);  // no paging, four high-address registers, enable bit 7
    ASSERT_EQ(ordwin::SetClearBreakpoint(ctx_, true, 0x0100), 0);
    const Packets expected = {"29 d3 01 00", "29 d5 01 00", "29 d7 01 00",
                              "29 de 01 00", "29 d2 01 00", "29 d3 01 81"};
    EXPECT_EQ(target_.Sent(), expected);
}

TEST_F(Families, DescribedFamiliesUseTheRegistersOfTheirList) {
    // These families' breakpoint registers come from their description list
    // (slot 0 low register 0x8A, 0x8B, 0x8C; slots 1 to 3 at 0xAB, 0xCE, 0xD2).
    for (uint16_t family : {5, 6, 7}) {
        Family(family);
        const auto slot0 = static_cast<unsigned>(0x85 + family);
        char low[16];
        char high[16];
        char disable[16];
        std::snprintf(low, sizeof low, "29 %02x 01 00", slot0);
        std::snprintf(high, sizeof high, "29 %02x 01 81", slot0 + 1);
        std::snprintf(disable, sizeof disable, "29 %02x 01 00", slot0 + 1);
        ASSERT_EQ(ordwin::SetClearBreakpoint(ctx_, true, 0x0100), 0) << family;
        const Packets expected = {disable, "29 ac 01 00", "29 cf 01 00", "29 d3 01 00", low, high};
        EXPECT_EQ(target_.Sent(), expected) << family;
    }
    // A second breakpoint takes slot 1 of the list and reprograms both.
    ASSERT_EQ(ordwin::SetClearBreakpoint(ctx_, true, 0x0234), 0);
    const Packets sent = target_.Sent();
    ASSERT_EQ(sent.size(), 8u);
    EXPECT_EQ(Packets(sent.end() - 2, sent.end()), (Packets{"29 ab 01 34", "29 ac 01 82"}));
}

TEST_F(Families, PagedC2RegisterBreakpoints) {
    Family(30);
    target_.c2[0xA7] = 0x0F;
    ASSERT_EQ(ordwin::SetClearBreakpoint(ctx_, true, 0x0010), 0);
    const Packets sent = target_.Sent();
    const Packets disable = {"36 a7 01", "37 a7 01 01", "37 cb 01 00", "37 a7 01 0f"};
    EXPECT_EQ(Packets(sent.begin(), sent.begin() + 4), disable);
    EXPECT_EQ(target_.c2[0xCC], 0x10) << "slot 0 low register of the family";
    EXPECT_EQ(target_.c2[0xCB], 0x01);
}

TEST_F(Families, XdataThroughAddressRegisters) {
    Family(8);
    uint8_t buffer[3] = {};
    ASSERT_EQ(ordwin::ReadXram(ctx_, buffer, 0x1234, 3), 0);
    const Packets expected = {"29 ad 01 34", "29 c7 01 12", "2c 84 00 03"};
    EXPECT_EQ(target_.Sent(), expected);
    EXPECT_EQ(buffer[2], 0x42);
    EXPECT_EQ(ctx_.xramImage[0x1236], 0x42);
}

TEST_F(Families, SfrShadowWritesBackPageByPage) {
    Family(22);
    target_.direct[0xA7] = 0x00;
    const uint8_t value = 0x66;
    ASSERT_EQ(ordwin::WriteSfrShadow(ctx_, &value, 0x90, 1), 0);
    target_.direct[0xA7] = 0x02;
    ASSERT_EQ(ordwin::WriteSfrShadow(ctx_, &value, 0x91, 1), 0);
    target_.Sent();
    ASSERT_EQ(ordwin::WriteBackSfrShadow(ctx_), 0);
    const Packets expected = {"28 a7 01", "29 a7 01 00", "29 90 01 66", "29 a7 01 02",
                              "29 91 01 66"};
    EXPECT_EQ(target_.Sent(), expected);
    EXPECT_EQ(ordwin::WriteBackSfrShadow(ctx_), 0);
    EXPECT_TRUE(target_.Sent().empty()) << "nothing left to write";
}

TEST_F(Families, JtagResetLeavesTheTargetHalted) {
    Family(14);
    ctx_.debugProtocol = 0;
    ctx_.jtagChainA = 1;
    ctx_.jtagChainB = 2;
    ctx_.jtagChainC = 0x0304;
    ctx_.jtagChainD = 0x0506;
    ctx_.runState = 0;
    ASSERT_EQ(ordwin::ResetTarget(ctx_, 0, 1, 1), 0);
    EXPECT_EQ(ctx_.runState, 1);
    const Packets sent = target_.Sent();
    ASSERT_GE(sent.size(), 10u);
    EXPECT_EQ(sent[0], "04");
    EXPECT_EQ(sent[1], "1a 06 01 02 04 03 06 05");
    EXPECT_EQ(sent[2], "0b 02 02 00");
    EXPECT_EQ(sent[3], "1e 04 08 00 00 01");
    EXPECT_EQ(sent[6], "1e 06 10 00 01 00");
    EXPECT_EQ(sent[7], "38 00");
    // Halt: board state 1, the halt flag, and the clear after it.
    EXPECT_EQ(Packets(sent.end() - 3, sent.end()),
              (Packets{"0b 02 01 00", "13 00", "03 02 00 00"}));
}

TEST_F(Families, JtagResetWithoutHaltLeavesTheRunState) {
    Family(14);
    ctx_.debugProtocol = 0;
    ctx_.runState = 0;
    ASSERT_EQ(ordwin::ResetTarget(ctx_, 0, 0, 1), 0);
    EXPECT_EQ(ctx_.runState, 2) << "the caller sets it";
}

}  // namespace
