// The virtual adapter at the packet level: what a report in gives out.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "adapter_firmware.h"
#include "test_util.h"
#include "virtual_adapter.h"

namespace zsim {
namespace {

class Link {
  public:
    explicit Link(const AdapterOptions& options, const std::string& serial = "VZ0001") {
        std::string error;
        adapter = VirtualAdapter::Create(serial, options, &error);
        EXPECT_TRUE(adapter) << error;
        if (adapter) adapter->Open();
    }

    // One exchange: the report back, or nullopt when no report came.
    std::optional<std::vector<uint8_t>> Xfer(const std::vector<uint8_t>& packet) {
        if (!adapter->Write(packet.data(), int(packet.size()))) return std::nullopt;
        return Next();
    }
    std::optional<std::vector<uint8_t>> Next() {
        uint8_t report[64];
        int length = -1;
        if (adapter->Read(report, &length) != VirtualAdapter::ReadResult::kReport)
            return std::nullopt;
        last_length = length;
        return std::vector<uint8_t>(report, report + 64);
    }
    uint8_t Byte(const std::vector<uint8_t>& packet) {
        auto r = Xfer(packet);
        EXPECT_TRUE(r) << "no reply to command 0x" << std::hex << int(packet[0]);
        return r ? (*r)[0] : 0xEE;
    }
    std::vector<uint8_t> Data(const std::vector<uint8_t>& packet, int n) {
        auto r = Xfer(packet);
        EXPECT_TRUE(r);
        if (!r) return {};
        return std::vector<uint8_t>(r->begin(), r->begin() + n);
    }

    std::unique_ptr<VirtualAdapter> adapter;
    int last_length = 0;
};

constexpr uint8_t kOk = 0x0D;

std::string CreateError(const AdapterOptions& options) {
    std::string error;
    auto a = VirtualAdapter::Create("VZ0001", options, &error);
    EXPECT_FALSE(a);
    return error;
}

TEST(AdapterOptions, BadKeysAndValuesFailWithAReason) {
    EXPECT_NE(CreateError({{"colour", "red"}}).find("colour"), std::string::npos);
    for (const auto& [key, value] :
         std::vector<std::pair<std::string, std::string>>{{"pid", "0x1FFFF"},
                                                          {"pid", "abc"},
                                                          {"mode", "-1"},
                                                          {"fw", "256"},
                                                          {"target", "zeltra2"},
                                                          {"target", "24/"},
                                                          {"target", "124/D0"},
                                                          {"speed", "fast"},
                                                          {"vpp", "2"},
                                                          {"bpcount", ""},
                                                          {"user_begin", "0x0100"},
                                                          {"user_begin", "0x2000"},
                                                          {"latency_us", "1e3"},
                                                          {"fault", "drop@0"},
                                                          {"fault", "melt"},
                                                          {"fault", "drop+"},
                                                          {"fault", "short@x"},
                                                          {"state", ""}}) {
        std::string error = CreateError({{key, value}});
        EXPECT_NE(error.find(key), std::string::npos) << key << "=" << value << ": " << error;
    }
    std::string error;
    EXPECT_TRUE(VirtualAdapter::Create(
        "X", {{"pid", "0x8253"}, {"fault", "drop@3+hang"}, {"target", "20/0A"}, {"speed", "max"}},
        &error))
        << error;
}

TEST(AdapterIdentity, TargetsAnswerTheirIds) {
    struct Case {
        std::string target;
        uint8_t family, derivative;
    } cases[] = {{"zeltra", 0x24, 0xD0},   {"pristine", 0x24, 0xFF}, {"sibling1", 0x24, 0xD1},
                 {"sibling3", 0x24, 0xD3}, {"1C/05", 0x1C, 0x05},    {"0x20/0xA1", 0x20, 0xA1}};
    for (const auto& c : cases) {
        Link link(AdapterOptions{{"target", c.target}});
        EXPECT_EQ(link.Data({0x22}, 2), (std::vector<uint8_t>{c.family, 0x02})) << c.target;
        EXPECT_EQ(link.Data({0x23}, 2), (std::vector<uint8_t>{0x01, c.derivative})) << c.target;
        EXPECT_EQ(link.last_length, 64);
    }
    Link none(AdapterOptions{{"target", "none"}});
    EXPECT_FALSE(none.Xfer({0x22}));
    EXPECT_FALSE(none.Xfer({0x2C, 0x84, 0x00, 4}));  // data replies, the data register's too
    EXPECT_EQ(none.Byte({0x2D, 0x84, 0x00, 1, 0x55}), 0x57);
    // The adapter itself still answers, and pulses its reset line for nobody.
    EXPECT_EQ(none.Byte({0x20}), kOk);
    EXPECT_EQ(none.Byte({0x40, 1, 10}), kOk);
    EXPECT_EQ(none.adapter->ProductId(), 0x8A51);
}

// With speed=max the chip never lags real time: a host that comes back after
// a pause (here one on the adapter's clock) finds the chip has run at least
// that long, Halt included. The program spins 1.84 M cycles (0.92 s at
// 2 M cycles a second) and then loops at 0x0006.
TEST(AdapterExecution, SpeedMaxCatchesUpWithThePausesBeforeAHalt) {
    const std::vector<uint8_t> program = {0x2F, 0x00, 0x00, 31,  // code write at 0x0000
                                          0x02, 0x00, 0x10, 0xFF, 0xFF, 0xFF,  // LJMP 0x0010
                                          0x80, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF,
                                          0xFF, 0xFF, 0xFF, 0xFF,              // 0x0006: SJMP $
                                          0x7D, 0x0E, 0x7E, 0x00, 0x7F, 0x00,  // R5=14, R6=R7=0
                                          0xDF, 0xFE, 0xDE, 0xFC, 0xDD, 0xFA,  // DJNZ R7 / R6 / R5
                                          0x02, 0x00, 0x06};                   // LJMP 0x0006
    struct Case {
        int pauseMs;
        bool done;  // the spin is over when the host halts
    } cases[] = {{1000, true}, {2500, true}, {100, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pauseMs);
        Link link(AdapterOptions{{"speed", "max"}});
        ASSERT_EQ(link.Byte({0x20}), kOk);
        ASSERT_EQ(link.Byte(program), kOk);
        ASSERT_EQ(link.Byte({0x24}), kOk);
        link.adapter->PassTime(c.pauseMs);
        ASSERT_EQ(link.Byte({0x25}), kOk);
        const std::vector<uint8_t> pc = link.Data({0x28, 0x20, 2}, 2);
        const int at = pc[0] | pc[1] << 8;
        if (c.done) {
            EXPECT_EQ(at, 0x0006);
        } else {
            EXPECT_GE(at, 0x0010);
            EXPECT_LT(at, 0x001C);
        }
    }
}

TEST(AdapterExecution, RunHaltStepAndStatus) {
    Link link(AdapterOptions{{"speed", "max"}});
    EXPECT_EQ(link.Byte({0x20}), kOk);
    EXPECT_EQ(link.Data({0x27}, 1)[0], 1);
    // MOV 30h,#7 ; INC 30h ; SJMP $ at 0x0000
    EXPECT_EQ(link.Byte({0x2F, 0x00, 0x00, 7, 0x75, 0x30, 0x07, 0x05, 0x30, 0x80, 0xFE}), kOk);
    EXPECT_EQ(link.Byte({0x26}), kOk);
    EXPECT_EQ(link.Data({0x28, 0x20, 2}, 2), (std::vector<uint8_t>{0x03, 0x00}));
    EXPECT_EQ(link.Data({0x2A, 0x30, 1}, 1)[0], 7);
    // Breakpoint slot 0 at 0x0005, then run: the status request lets the chip get there.
    EXPECT_EQ(link.Byte({0x29, 0xF3, 1, 0}), kOk);
    EXPECT_EQ(link.Byte({0x29, 0xF4, 2, 0x05, 0x00}), kOk);
    EXPECT_EQ(link.Byte({0x29, 0xF1, 1, 0x01}), kOk);
    EXPECT_EQ(link.Byte({0x24}), kOk);
    EXPECT_EQ(link.Data({0x27}, 1)[0], 1);
    EXPECT_EQ(link.Data({0x28, 0x20, 2}, 2), (std::vector<uint8_t>{0x05, 0x00}));
    EXPECT_EQ(link.Data({0x2A, 0x30, 1}, 1)[0], 8);

    // Without its breakpoint the loop keeps running: memory and PC commands
    // answer "not halted" and zeros.
    EXPECT_EQ(link.Byte({0x29, 0xF1, 1, 0x00}), kOk);
    EXPECT_EQ(link.Byte({0x24}), kOk);
    EXPECT_EQ(link.Data({0x27}, 1)[0], 0);
    EXPECT_EQ(link.Byte({0x29, 0x20, 1, 0}), 0x01);
    EXPECT_EQ(link.Byte({0x2B, 0x30, 1, 0}), 0x01);
    EXPECT_EQ(link.Byte({0x26}), 0x01);
    EXPECT_EQ(link.Data({0x2A, 0x30, 4}, 4), (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(link.Data({0x28, 0x20, 2}, 2), (std::vector<uint8_t>{0, 0}));
    EXPECT_EQ(link.Byte({0x25}), kOk);
    EXPECT_EQ(link.Data({0x28, 0x20, 2}, 2), (std::vector<uint8_t>{0x05, 0x00}));
}

TEST(AdapterExecution, RealSpeedRunsOnlyTheTimeThatPassed) {
    Link link(AdapterOptions{});
    link.Byte({0x20});
    // MOV DPTR,#0 ; INC DPTR ; SJMP back to the INC: counts cycles into DPTR
    link.Byte({0x2F, 0x00, 0x00, 6, 0x90, 0x00, 0x00, 0xA3, 0x80, 0xFD});
    link.Byte({0x24});
    link.Byte({0x25});
    auto dptr = link.Data({0x28, 0x82, 2}, 2);
    // Microseconds passed between run and halt: far fewer than 2 M cycles.
    EXPECT_LT(dptr[1] << 8 | dptr[0], 0x8000);
}

TEST(AdapterExecution, RealSpeedKeepsUpWithWallTime) {
    // 1024 rounds of 5 cycles (2.6 ms of chip time), then a loop at 0x0009 with a
    // breakpoint. Each exchange takes 2 ms, so three status requests are plenty.
    Link link(AdapterOptions{{"latency_us", "2000"}});
    link.Byte({0x20});
    link.Byte({0x2F, 0x00, 0x00, 12, 0x90, 0x00, 0x00,  // MOV DPTR,#0
               0xA3,                                    // INC DPTR
               0xE5, 0x83,                              // MOV A,DPH
               0xB4, 0x04, 0xFA,                        // CJNE A,#4,INC
               0x80, 0xFE, 0x00});                      // SJMP $
    link.Byte({0x29, 0xF3, 3, 0, 0x09, 0x00});
    link.Byte({0x29, 0xF1, 1, 1});
    link.Byte({0x24});
    int polls = 0;
    while (link.Data({0x27}, 1)[0] != 1 && polls < 3) ++polls;
    EXPECT_LT(polls, 3);
    EXPECT_EQ(link.Data({0x28, 0x82, 2}, 2), (std::vector<uint8_t>{0x00, 0x04}));
}

TEST(AdapterMemory, SpacesAndShadows) {
    Link link(AdapterOptions{});
    link.Byte({0x20});
    // RAM with the monitor bytes.
    EXPECT_EQ(link.Byte({0x2B, 0x00, 5, 1, 2, 3, 4, 5}), kOk);
    EXPECT_EQ(link.Data({0x2A, 0x00, 5}, 5), (std::vector<uint8_t>{0xA5, 0xA5, 0xA5, 4, 5}));
    EXPECT_EQ(link.Byte({0x29, 0x24, 3, 0x10, 0x11, 0x12}), kOk);
    EXPECT_EQ(link.Data({0x28, 0x24, 3}, 3), (std::vector<uint8_t>{0x10, 0x11, 0x12}));
    // Direct space: RAM below 0x80, SFRs above, read-only count byte.
    EXPECT_EQ(link.Byte({0x29, 0x40, 1, 0x77}), kOk);
    EXPECT_EQ(link.Data({0x2A, 0x40, 1}, 1)[0], 0x77);
    EXPECT_EQ(link.Byte({0x29, 0xF0, 1, 0x42}), kOk);  // B
    EXPECT_EQ(link.Data({0x28, 0xF0, 3}, 3), (std::vector<uint8_t>{0x42, 0x00, 0xFF}));
    EXPECT_EQ(link.Byte({0x29, 0xF2, 1, 0x00}), kOk);
    EXPECT_EQ(link.Data({0x28, 0xF2, 1}, 1)[0], 0xFF);
    EXPECT_EQ(link.Data({0x28, 0xDA, 1}, 1)[0], 0x00);  // PROT0_CTRL

    // XDATA with its fixed locations.
    EXPECT_EQ(link.Byte({0x3F, 0x20, 0x40, 3, 0x01, 0x02, 0x03}), kOk);
    EXPECT_EQ(link.Data({0x3E, 0x1F, 0x40, 5}, 5), (std::vector<uint8_t>{0, 0x01, 0x02, 0x03, 0}));
    EXPECT_EQ(link.Data({0x3E, 0x25, 0x40, 1}, 1)[0], 0x02);
    EXPECT_EQ(link.Byte({0x3F, 0x4F, 0x40, 2, 0x99, 0x98}), kOk);
    EXPECT_EQ(link.Data({0x3E, 0x4F, 0x40, 2}, 2), (std::vector<uint8_t>{0x99, 0x00}));

    // Code RAM and ROM.
    EXPECT_EQ(link.Byte({0x2F, 0xFE, 0x7F, 2, 0xAA, 0xBB}), kOk);
    EXPECT_EQ(link.Data({0x34, 0xFE, 0x7F, 4}, 4), (std::vector<uint8_t>{0xAA, 0xBB, 0xFF, 0xFF}));
    EXPECT_EQ(link.Byte({0x2F, 0xFF, 0x7F, 2, 0x01, 0x02}), 0x03);
    EXPECT_EQ(link.Data({0x34, 0xFF, 0x7F, 1}, 1)[0], 0xBB);  // nothing of it written
    EXPECT_EQ(link.Data({0x34, 0x60, 0x80, 1}, 1)[0], 0x22);  // RET at NvmRead
    EXPECT_EQ(link.Byte({0x3C}), kOk);
    EXPECT_EQ(link.Data({0x34, 0xFE, 0x7F, 1}, 1)[0], 0xFF);

    // Page CRC of code and the 32-bit regions.
    link.Byte({0x2F, 0x00, 0x02, 1, 0x12});
    std::vector<uint8_t> page(256, 0xFF);
    page[0] = 0x12;
    uint16_t crc = test::RefCrc16(page.data(), 256);
    EXPECT_EQ(link.Data({0x31, 0x02}, 2), (std::vector<uint8_t>{uint8_t(crc >> 8), uint8_t(crc)}));
    auto hi = link.Data({0x31, 0xF9}, 2);
    auto lo = link.Data({0x31, 0xF8}, 2);
    link.Byte({0x37, 0xB4, 1, 0x0D});
    EXPECT_EQ(link.Data({0x36, 0xB4, 1}, 1)[0], 0x0D);
    auto ref = link.Data({0x2A, 0x70 + 76, 4}, 4);  // trim reference CRC from the PT block
    EXPECT_EQ((std::vector<uint8_t>{hi[0], hi[1], lo[0], lo[1]}), ref);
}

TEST(AdapterMemory, OtherFamiliesReachXdataThroughTheirDataRegister) {
    Link link(AdapterOptions{{"target", "18/01"}});  // family 24: XADRH C7, XADRL 8F, XDATA 84
    link.Byte({0x20});
    EXPECT_EQ(link.Byte({0x29, 0x8F, 1, 0xFE}), kOk);
    EXPECT_EQ(link.Byte({0x29, 0xC7, 1, 0x12}), kOk);
    EXPECT_EQ(link.Byte({0x2D, 0x84, 0x00, 3, 0xA1, 0xA2, 0xA3}), kOk);
    EXPECT_EQ(link.Data({0x3E, 0xFE, 0x12, 3}, 3), (std::vector<uint8_t>{0xA1, 0xA2, 0xA3}));
    EXPECT_EQ(link.Data({0x28, 0x8F, 1}, 1)[0], 0x01);  // the address moved on
    link.Byte({0x29, 0x8F, 1, 0xFF});
    link.Byte({0x29, 0xC7, 1, 0x12});
    EXPECT_EQ(link.Data({0x2C, 0x84, 0x00, 2}, 2), (std::vector<uint8_t>{0xA2, 0xA3}));
    EXPECT_EQ(link.Byte({0x2C, 0x85, 0x00, 2}), 0x02);  // not its data register
    Link zeltra(AdapterOptions{});
    zeltra.Byte({0x20});
    EXPECT_EQ(zeltra.Byte({0x2C, 0x84, 0x00, 1}), 0x02);  // the Zeltra has XDATA commands
}

TEST(AdapterMemory, MalformedPacketsGetAFailureStatus) {
    Link link(AdapterOptions{});
    link.Byte({0x20});
    const std::vector<std::vector<uint8_t>> bad = {
        {0x29, 0x30},                 // no count
        {0x29, 0x30, 4, 1, 2},        // fewer data bytes than counted
        {0x2B, 0xFF, 2, 1, 2},        // past the end of RAM
        {0x2A, 0x10, 0},              // zero count
        {0x2A, 0x10, 65},             // more than a report holds
        {0x3F, 0xFF, 0xFF, 2, 1, 2},  // past the end of XDATA
        {0x2F, 0x00},                 // no address high byte
        {0x37, 0xB4},                 // no value
        {0x31},                       // no page
        {0x99, 1, 2},                 // no such command
        {0x40},                       // strobe without its value
        {0xFD, 1, 7},                 // VPP is on or off
    };
    for (const auto& p : bad) {
        auto r = link.Xfer(p);
        ASSERT_TRUE(r) << "command 0x" << std::hex << int(p[0]);
        EXPECT_EQ((*r)[0], 0x02) << "command 0x" << std::hex << int(p[0]);
    }
    EXPECT_FALSE(link.adapter->Write(nullptr, 3));
    uint8_t big[65] = {0x20};
    EXPECT_FALSE(link.adapter->Write(big, 65));
    EXPECT_FALSE(link.adapter->Write(big, 0));
    // The chip is unharmed.
    EXPECT_EQ(link.Data({0x22}, 2)[0], 0x24);
}

TEST(AdapterMemory, ProgrammingVoltageSwitch) {
    Link link(AdapterOptions{{"speed", "max"}});
    link.Byte({0x20});
    uint16_t end;
    auto code = test::BurnCall(0x0300, 1, 0, {0x81}, &end);
    auto load = [&] {
        for (size_t i = 0; i < code.size(); i += 32) {
            std::vector<uint8_t> p = {0x2F, uint8_t(i), 0x00,
                                      uint8_t(std::min<size_t>(32, code.size() - i))};
            p.insert(p.end(), code.begin() + i, code.begin() + i + p[3]);
            EXPECT_EQ(link.Byte(p), kOk);
        }
        link.Byte({0x29, 0xF3, 1, 0});
        link.Byte({0x29, 0xF4, 2, uint8_t(end), uint8_t(end >> 8)});
        link.Byte({0x29, 0xF1, 1, 1});
        link.Byte({0x29, 0x20, 2, 0, 0});
        link.Byte({0x24});
        EXPECT_EQ(link.Data({0x27}, 1)[0], 1);
        return link.Data({0x2A, 0x64, 3}, 3);
    };
    EXPECT_EQ(link.Byte({0xFD, 1, 0}), kOk);
    EXPECT_EQ(load(), (std::vector<uint8_t>{3, 0x03, 0x00}));
    EXPECT_EQ(link.Byte({0xFD, 1, 1}), kOk);
    EXPECT_EQ(load(), (std::vector<uint8_t>{0, 0, 0}));
}

// --- adapter firmware -------------------------------------------------------

void WritePage(Link& link, const uint8_t* record, bool expect_ok = true) {
    ASSERT_EQ(link.Byte({1, record[0], 0}), 0);
    ASSERT_EQ(link.Byte({2, 0, 0}), 0);
    ASSERT_EQ(link.Byte({3, 0x02, 0x00}), 0);
    for (int i = 0; i < 8; ++i) {
        std::vector<uint8_t> raw(record + 1 + i * 64, record + 1 + (i + 1) * 64);
        ASSERT_TRUE(link.adapter->Write(raw.data(), 64));
        if (i < 7) {
            ASSERT_FALSE(link.Next()) << "reply before the page was complete";
        }
    }
    ASSERT_EQ(link.Next().value_or(std::vector<uint8_t>{0xEE})[0], 0);
    if (expect_ok) {
        EXPECT_EQ(link.Data({4, 0, 0}, 2), (std::vector<uint8_t>{record[513], record[514]}));
    }
}

TEST(AdapterFirmware, ModeVersionAndProbe) {
    Link link(AdapterOptions{{"fw", "30"}});
    EXPECT_EQ(link.Byte({0, 0, 0}), 2);
    EXPECT_EQ(link.Byte({1, 12, 0}), 0);
    EXPECT_EQ(link.Byte({1, 200, 0}), 1);
    EXPECT_EQ(link.Byte({6, 0, 0}), 30);
    EXPECT_EQ(link.Byte({3, 0x02, 0x00}), 1);     // a write needs a prepared page
    EXPECT_EQ(link.Byte({5, 0x17, 0xFF}), 0x5F);  // power value byte of page 11
    Link mode1(AdapterOptions{{"mode", "1"}});
    EXPECT_EQ(mode1.Byte({0, 0, 0}), 1);
    EXPECT_EQ(mode1.Byte({6, 0, 0}), 2);
    Link defaults(AdapterOptions{});
    EXPECT_EQ(defaults.Byte({6, 0, 0}), 31);
}

TEST(AdapterFirmware, WholeImageCarriesItsVersion) {
    Link link(AdapterOptions{{"fw", "30"}});
    std::vector<uint8_t> image = BuildFirmwareImage(31, 19, 0);
    ASSERT_EQ(image.size(), 19u * 515);
    for (int p = 0; p < 19; ++p) {
        WritePage(link, &image[p * 515]);
        if (p < 18) {
            EXPECT_EQ(link.Byte({6, 0, 0}), 0xFF) << "page " << p;
        }
    }
    EXPECT_EQ(link.Byte({6, 0, 0}), 31);
    // Read-back gives plain bytes: XOR with the mask gives what was sent.
    const uint8_t* rec = &image[3 * 515];
    for (int i : {0, 1, 200, 511}) {
        uint16_t a = uint16_t(3 * 512 + i);
        EXPECT_EQ(link.Byte({5, uint8_t(a >> 8), uint8_t(a)}) ^ kFirmwareXorMask, rec[1 + i]);
    }
    // Survives an adapter reset.
    EXPECT_TRUE(link.adapter->Reset(false));
    EXPECT_EQ(link.Byte({6, 0, 0}), 31);
}

TEST(AdapterFirmware, PartialOrForeignWritesLeaveNoVersion) {
    Link link(AdapterOptions{});
    std::vector<uint8_t> image = BuildFirmwareImage(31, 4, 8);
    WritePage(link, &image[0]);
    WritePage(link, &image[515]);
    EXPECT_EQ(link.Byte({6, 0, 0}), 0xFF);
    Link other(AdapterOptions{});
    std::vector<uint8_t> record(515, 0x00);
    record[0] = 5;
    WritePage(other, record.data(), false);
    EXPECT_EQ(other.Byte({6, 0, 0}), 0xFF);
}

TEST(AdapterFirmware, PageCrcFollowsTheAdaptersRule) {
    // The feedback bit is tested after the shift, so 0x01 gives 0x2042 where
    // the common CRC-16/XMODEM gives 0x1021.
    const uint8_t one[] = {0x01};
    EXPECT_EQ(FirmwarePageCrc(one, 1), 0x2042);
    EXPECT_EQ(test::RefCrc16(one, 1), 0x1021);
    const uint8_t high[] = {0x80};
    // 0x8000 -> shift -> 0x0000 (bit 15 clear) -> stays 0.
    EXPECT_EQ(FirmwarePageCrc(high, 1), 0x0000);
    const uint8_t forty[] = {0x40};
    // 0x4000 -> 0x8000 (set) ^ 0x1021 = 0x9021 -> 0x2042 -> 0x4084 -> 0x8108^0x1021=0x9129
    // -> 0x2252 -> 0x44A4 -> 0x8948^0x1021 = 0x9969 -> 0x32D2
    EXPECT_EQ(FirmwarePageCrc(forty, 1), 0x32D2);
}

TEST(AdapterFirmware, SmallAdaptersAnswerThroughControls) {
    Link link(AdapterOptions{{"pid", "0x8045"}});
    uint8_t v = 0;
    EXPECT_TRUE(link.adapter->GetControl(0x43, &v));
    EXPECT_EQ(v, 1);
    EXPECT_TRUE(link.adapter->SetControl(0x41, 0));
    EXPECT_TRUE(link.adapter->GetControl(0x42, &v));
    EXPECT_EQ(v, 1);
    EXPECT_TRUE(link.adapter->GetControl(0x44, &v));
    EXPECT_EQ(v, 4);
    // The reset handshake: 0x40 write, then 0x42 reads 0.
    EXPECT_TRUE(link.adapter->SetControl(0x40, 2));
    EXPECT_TRUE(link.adapter->GetControl(0x42, &v));
    EXPECT_EQ(v, 0);
    EXPECT_FALSE(link.adapter->GetControl(0x45, &v));
    Link other(AdapterOptions{{"pid", "0x8253"}});
    EXPECT_TRUE(other.adapter->GetControl(0x44, &v));
    EXPECT_EQ(v, 11);
}

TEST(AdapterFeatures, PinModeAndLatch) {
    Link link(AdapterOptions{});
    uint8_t mode[5] = {0x49, 4, 3, 1, 0};
    EXPECT_TRUE(link.adapter->SetFeature(mode, 5));
    uint8_t back[5] = {0x49};
    EXPECT_TRUE(link.adapter->GetFeature(back, 5));
    EXPECT_EQ(0, std::memcmp(back, mode, 5));
    uint8_t too_big[5] = {0x49, 5, 0, 0, 0};
    EXPECT_FALSE(link.adapter->SetFeature(too_big, 5));
    uint8_t set[3] = {0x4B, 0x05, 0x07};
    EXPECT_TRUE(link.adapter->SetFeature(set, 3));
    uint8_t latch[2] = {0x4A};
    EXPECT_TRUE(link.adapter->GetFeature(latch, 2));
    EXPECT_EQ(latch[1], 0x05);
    uint8_t clear[3] = {0x4B, 0x01, 0x00};
    EXPECT_TRUE(link.adapter->SetFeature(clear, 3));
    EXPECT_TRUE(link.adapter->GetFeature(latch, 2));
    EXPECT_EQ(latch[1], 0x04);
    uint8_t unknown[2] = {0x50};
    EXPECT_FALSE(link.adapter->GetFeature(unknown, 2));
}

// --- faults -----------------------------------------------------------------

TEST(AdapterFaults, DropShortAndStatusHitOneExchange) {
    Link link(AdapterOptions{{"fault", "drop@2+short@3+status@4"}});
    EXPECT_EQ(link.Data({0x22}, 1)[0], 0x24);  // 1
    EXPECT_FALSE(link.Xfer({0x22}));           // 2: no reply
    auto r = link.Xfer({0x22});                // 3: short report
    ASSERT_TRUE(r);
    EXPECT_LT(link.last_length, 64);
    EXPECT_EQ(link.Byte({0x25}), 0x02);        // 4: status 0x02
    EXPECT_EQ(link.Data({0x22}, 1)[0], 0x24);  // 5: back to normal
    EXPECT_EQ(link.last_length, 64);
}

TEST(AdapterFaults, StatusFaultDoesNotRunTheCommand) {
    Link link(AdapterOptions{{"fault", "status@2"}, {"speed", "max"}});
    link.Byte({0x20});                   // halted
    EXPECT_EQ(link.Byte({0x24}), 0x02);  // run refused
    EXPECT_EQ(link.Data({0x27}, 1)[0], 1);
}

TEST(AdapterFaults, UnplugIsFinal) {
    Link link(AdapterOptions{{"fault", "unplug@2"}});
    EXPECT_TRUE(link.adapter->Present());
    EXPECT_EQ(link.Data({0x22}, 1)[0], 0x24);
    uint8_t p[1] = {0x22};
    EXPECT_FALSE(link.adapter->Write(p, 1));
    EXPECT_FALSE(link.adapter->Present());
    uint8_t report[64];
    int length;
    EXPECT_EQ(link.adapter->Read(report, &length), VirtualAdapter::ReadResult::kGone);
    uint8_t v;
    EXPECT_FALSE(link.adapter->GetControl(0x42, &v));
    EXPECT_FALSE(link.adapter->Reset(false));
    link.adapter->Open();
    EXPECT_FALSE(link.adapter->Write(p, 1));
}

TEST(AdapterFaults, NoPowerSilencesTheTargetOnly) {
    Link link(AdapterOptions{{"fault", "nopower@3"}});
    EXPECT_EQ(link.Byte({0x20}), kOk);
    EXPECT_EQ(link.Data({0x22}, 1)[0], 0x24);
    EXPECT_FALSE(link.Xfer({0x22}));     // 3
    EXPECT_EQ(link.Byte({0x20}), 0x57);  // and for good
    EXPECT_EQ(link.Byte({0x40, 1, 4}), kOk);
    EXPECT_EQ(link.Byte({0, 0, 0}), 2);
}

TEST(AdapterFaults, HangIgnoresBreakpoints) {
    // NOPs up to a breakpoint at 0x0003, then idle.
    const std::vector<uint8_t> program = {0x2F, 0x00, 0x00, 8,    0x00, 0x00,
                                          0x00, 0x43, 0x87, 0x01, 0x80, 0xFE};
    for (bool hang : {false, true}) {
        AdapterOptions options = {{"speed", "max"}};
        if (hang) options.push_back({"fault", "hang"});
        Link link(options);
        link.Byte({0x20});
        link.Byte(program);
        link.Byte({0x29, 0xF3, 3, 0, 0x03, 0x00});
        link.Byte({0x29, 0xF1, 1, 1});
        link.Byte({0x24});
        EXPECT_EQ(link.Data({0x27}, 1)[0], hang ? 0 : 1);
        link.Byte({0x25});
        EXPECT_EQ(link.Data({0x28, 0x20, 1}, 1)[0], hang ? 0x06 : 0x03);
    }
}

TEST(AdapterFaults, CountingRunsFromTheFirstOpen) {
    Link link(AdapterOptions{{"fault", "drop@2"}});
    EXPECT_TRUE(link.Xfer({0x22}));
    link.adapter->Close();
    link.adapter->Open();
    EXPECT_FALSE(link.Xfer({0x22}));
    EXPECT_TRUE(link.Xfer({0x22}));
}

TEST(AdapterC2Disable, OnlyResetIsAnswered) {
    test::TempDir tmp;
    {
        // Burn the C2 disable flag into a chip kept in a state directory.
        ZeltraConfig config;
        config.state_dir = tmp.Str();
        std::string error;
        auto chip = Zeltra::Create(config, &error);
        ASSERT_TRUE(chip) << error;
        chip->Memories().nvm[0x1FF1] = kFlagC2Disable;
        ASSERT_TRUE(chip->Memories().SaveNvm(&error)) << error;
    }
    Link link(AdapterOptions{{"state", tmp.Str()}});
    EXPECT_EQ(link.Byte({0x20}), kOk);
    EXPECT_FALSE(link.Xfer({0x22}));
    EXPECT_FALSE(link.Xfer({0x28, 0xDA, 1}));
    EXPECT_FALSE(link.Xfer({0x2C, 0x84, 0x00, 4}));
    EXPECT_EQ(link.Byte({0x25}), 0x57);
    EXPECT_EQ(link.Byte({0x20}), kOk);
    EXPECT_EQ(link.Byte({0x6, 0, 0}), 31);  // the adapter's own commands still work
}

}  // namespace
}  // namespace zsim

namespace zsim {
namespace {

// Arbitrary packets: every one is answered or refused, none crashes or reads
// past its length (the sanitizer build checks the latter).
TEST(AdapterRobustness, RandomPacketsNeverCrash) {
    Link link(AdapterOptions{{"target", "20/05"}});
    uint32_t x = 12345;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    for (int i = 0; i < 20000; ++i) {
        int length = 1 + int(next() % 64);
        auto packet = std::make_unique<uint8_t[]>(size_t(length));  // exact size for the sanitizer
        for (int k = 0; k < length; ++k) packet[k] = uint8_t(next());
        // Mostly commands the adapter knows, with random parameters.
        if (next() % 4 != 0) packet[0] = uint8_t(0x20 + next() % 0x20);
        if (packet[0] == 0x3C || packet[0] == 0x20) packet[0] = 0x25;
        link.adapter->Write(packet.get(), length);
        uint8_t report[64];
        int got;
        while (link.adapter->Read(report, &got) == VirtualAdapter::ReadResult::kReport) {
            ASSERT_EQ(got, 64);
        }
    }
    EXPECT_TRUE(link.adapter->Present());
    link.Byte({0x20});
    EXPECT_EQ(link.Data({0x22}, 1)[0], 0x20);
}

}  // namespace
}  // namespace zsim
