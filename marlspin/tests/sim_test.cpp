#include <gtest/gtest.h>

#include <cctype>
#include <random>

#include "failure.h"
#include "support.h"

using namespace mstest;

namespace {

// Intel-HEX text of a code map, 16 bytes a record.
std::string HexOf(const std::map<uint32_t, uint8_t>& code) {
    std::string out;
    for (auto it = code.begin(); it != code.end();) {
        const uint32_t at = it->first;
        std::vector<uint8_t> rec{0, uint8_t(at >> 8), uint8_t(at), 0};
        for (; it != code.end() && it->first == at + rec[0] && rec[0] < 16; ++it) {
            rec.push_back(it->second);
            ++rec[0];
        }
        uint8_t sum = 0;
        out += ":";
        for (uint8_t b : rec) {
            out += "0123456789ABCDEF"[b >> 4];
            out += "0123456789ABCDEF"[b & 15];
            sum = uint8_t(sum + b);
        }
        out += std::string(1, "0123456789ABCDEF"[uint8_t(-sum) >> 4]) +
               "0123456789ABCDEF"[uint8_t(-sum) & 15] + "\r\n";
    }
    return out + ":00000001FF\r\n";
}

std::vector<uint8_t> HexBytes(const std::string& out, const std::string& key) {
    std::vector<uint8_t> v;
    std::size_t p = out.find(key + "=");
    if (p == std::string::npos) return v;
    for (p += key.size() + 1; p + 1 < out.size() && std::isxdigit(uint8_t(out[p])); p += 2)
        v.push_back(uint8_t(std::stoul(out.substr(p, 2), nullptr, 16)));
    return v;
}

struct Chip : ::testing::Test {
    TempDir dir;
    int image_no = 0;

    Result Sim(const std::map<uint32_t, uint8_t>& code, std::vector<std::string> extra,
               const std::string& cycles = "50000000") {
        const std::string path = dir / ("img" + std::to_string(++image_no) + ".hex");
        WriteFile(path, HexOf(code));
        std::vector<std::string> args{"run",     path,         "--break",      "0x0006",
                                      "--state", dir / "chip", "--max-cycles", cycles};
        args.insert(args.end(), extra.begin(), extra.end());
        return mstest::Run(ZELTRA_SIM_EXE, args, dir);
    }
    // The result block the burner left at internal RAM 0x64.
    std::vector<uint8_t> Burn(const Image& img, const std::string& vpp = "1",
                              const std::string& cycles = "50000000") {
        Result r = Sim(img.code, {"--dump", "--vpp", vpp}, cycles);
        EXPECT_EQ(r.code, cycles == "50000000" ? 0 : 3) << r.err;
        std::vector<uint8_t> iram = HexBytes(r.out, "IRAM");
        if (iram.size() < 0x68) return {};
        return {iram.begin() + 0x64, iram.begin() + 0x68};
    }
    std::vector<uint8_t> Nvm() {
        // LJMP 0x0006 and SJMP $ there: reaches the break without touching the NVM.
        Result r =
            Sim({{0, 0x02}, {1, 0x00}, {2, 0x06}, {6, 0x80}, {7, 0xFE}}, {"--dump-nvm", "0:8192"});
        EXPECT_EQ(r.code, 0) << r.err;
        return HexBytes(r.out, "NVM");
    }
    BurnFile Compose(const std::vector<std::string>& args) {
        Result r = mstest::Run(MARLSPIN_EXE, args, dir);
        EXPECT_EQ(r.code, 0) << r.err;
        BurnFile bf = ParseBurnFile(ReadFile(dir / "o.nbf"));
        for (const Image& img : bf.images) EXPECT_TRUE(img.records_ok) << img.header;
        return bf;
    }
};

const std::vector<uint8_t> kOk{0x5C, 0, 0, 0};

}  // namespace

TEST_F(Chip, BurnsExactlyTheComposedBytesAndBootRecord) {
    std::mt19937 rng(99);
    std::vector<uint8_t> user(0x1FF0, 0);  // what the NVM's user region must end up holding
    std::string boot, app;
    for (uint32_t i = 0; i < 5000; ++i) {
        user[0x200 + i] = uint8_t(rng());
        boot += marlspin::Format("%02X ", user[0x200 + i]);
    }
    for (uint32_t i = 0; i < 300; ++i) {
        const uint8_t nibble = uint8_t(rng() & 0xF);
        user[0x1500 + i] |= nibble;  // overlays the end of the boot image
        app += marlspin::Format("%X\n", nibble);
    }
    WriteFile(dir / "boot.mem", boot);
    WriteFile(dir / "app.mem", "@100 " + app);
    BurnFile bf = Compose({"--boot_mem=boot.mem", "0x0200", "--app_mem=app.mem", "0x1400",
                           "--nvm_burn_file=o.nbf", "--state=user", "--bf_exe_user_boot"});
    ASSERT_EQ(bf.images.size(), 3u);
    EXPECT_EQ(bf.map[1].status, "Overlay");

    const std::vector<uint8_t> before = Nvm();
    ASSERT_EQ(before.size(), 8192u);
    for (const Image& img : bf.images) EXPECT_EQ(Burn(img), kOk) << img.header;
    const std::vector<uint8_t> after = Nvm();
    ASSERT_EQ(after.size(), 8192u);

    std::vector<uint8_t> expected = before;
    std::copy(user.begin() + 0x200, user.end(), expected.begin() + 0x200);
    const uint32_t crc = BitwiseCrc32({user.begin() + 0x200, user.end()});
    const uint8_t record[] = {
        0x03,        0x02, 0x13, 0x88, uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8),
        uint8_t(crc)};
    std::copy(std::begin(record), std::end(record), expected.begin() + 0x1FF0);
    for (uint32_t a = 0; a < 8192; ++a) ASSERT_EQ(after[a], expected[a]) << "NVM " << a;
}

TEST_F(Chip, BurnerReportsConflictMissingVoltageAndStagingOverflow) {
    WriteFile(dir / "b.mem", "01 02");
    WriteFile(dir / "a.mem", "01");
    BurnFile bf = Compose({"--boot_mem=b.mem", "0x300", "--app_mem=a.mem", "0x301",
                           "--nvm_burn_file=o.nbf", "--mode_strict"});
    ASSERT_EQ(bf.images.size(), 3u);
    EXPECT_EQ(Burn(bf.images[1], "0"), (std::vector<uint8_t>{0xFA, 0x03, 0x03, 0x01}));
    EXPECT_EQ(Burn(bf.images[0]), kOk);
    EXPECT_EQ(Burn(bf.images[1]), (std::vector<uint8_t>{0xFA, 0x02, 0x03, 0x01}));

    Image wide = bf.images[0];  // length 0x1001 cannot be staged below XDATA 0x1000
    wide.code[0x20A] = 0x10;
    wide.code[0x20B] = 0x01;
    EXPECT_EQ(Burn(wide), (std::vector<uint8_t>{0xFA, 0x01, 0x03, 0x00}));
    EXPECT_EQ(Nvm()[0x301], 0x02);
    // Stopped before it ends, a burner shows a failure rather than a stale success.
    EXPECT_EQ(Burn(bf.images[0], "1", "40"), (std::vector<uint8_t>{0xFA, 0xFF, 0x00, 0x00}));
}
