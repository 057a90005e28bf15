#include <gtest/gtest.h>

#include "support.h"

using namespace mstest;

namespace {

const std::string kBootHex =  // 16 bytes at 0x0000 and one at 0x0020
    ":10000000000102030405060708090A0B0C0D0E0F78\r\n:01002000558A\r\n:00000001FF\r\n";

// Splits a command line at single spaces, as a naive caller would.
std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    for (std::size_t sp; (sp = line.find(' ', pos)) != std::string::npos; pos = sp + 1)
        out.push_back(line.substr(pos, sp - pos));
    out.push_back(line.substr(pos));
    return out;
}

std::vector<uint8_t> Bytes(const std::map<uint32_t, uint8_t>& m, uint32_t from, uint32_t to) {
    std::vector<uint8_t> v;
    for (uint32_t a = from; a <= to; ++a) v.push_back(m.count(a) ? m.at(a) : 0);
    return v;
}

struct Composer : ::testing::Test {
    TempDir dir;
    Result Marlspin(const std::vector<std::string>& args) {
        return mstest::Run(MARLSPIN_EXE, args, dir);
    }
    BurnFile Out() {
        BurnFile bf = ParseBurnFile(ReadFile(dir / "o.nbf"));
        for (const Image& img : bf.images) EXPECT_TRUE(img.records_ok) << img.header;
        return bf;
    }
};

}  // namespace

TEST_F(Composer, CindralCommandLineComposesBootRecordAndImages) {
    WriteFile(dir / "boot.hex", kBootHex);
    WriteFile(dir / "app.mem", "// app\n@10 C0 C1\nC2\n");
    const std::string line =
        "marlspin  --boot_hex=" + (dir / "boot.hex") + " 0x0200 --app_mem=" + (dir / "app.mem") +
        " 1024 --nvm_burn_file=" + (dir / "o.nbf") + " --state=run  --bf_ram_clr  --mode_strict ";
    std::vector<std::string> args = Split(line);
    args.erase(args.begin());
    Result r = Marlspin(args);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("o.nbf"), std::string::npos);

    const std::string text = ReadFile(dir / "o.nbf");
    for (std::size_t i = text.find('\n'); i != std::string::npos; i = text.find('\n', i + 1))
        ASSERT_EQ(text[i - 1], '\r') << "bare LF at " << i;
    BurnFile bf = ParseBurnFile(text);
    for (const Image& img : bf.images) EXPECT_TRUE(img.records_ok) << img.header;
    ASSERT_EQ(bf.map.size(), 2u);
    EXPECT_EQ(bf.map[0].tokens,
              (std::vector<std::string>{"boot.hex", "0x0200", "0x0220", "0x0021", "33"}));
    EXPECT_EQ(bf.map[0].status, "OK");
    EXPECT_EQ(bf.map[1].tokens,
              (std::vector<std::string>{"app.mem", "0x0410", "0x0412", "0x0003", "3"}));
    ASSERT_EQ(bf.count, 3);
    ASSERT_EQ(bf.images.size(), 3u);
    EXPECT_EQ(bf.images[2].header, "Image 3 boot record");

    Planned boot = PlanOf(bf.images[0]), app = PlanOf(bf.images[1]), rec = PlanOf(bf.images[2]);
    EXPECT_EQ(boot.mode, 0);
    EXPECT_EQ(boot.nvm.size(), 17u);
    EXPECT_EQ(boot.nvm.at(0x020F), 0x0F);
    EXPECT_EQ(boot.nvm.at(0x0220), 0x55);
    EXPECT_EQ(app.nvm, (std::map<uint32_t, uint8_t>{{0x410, 0xC0}, {0x411, 0xC1}, {0x412, 0xC2}}));

    std::map<uint32_t, uint8_t> user = boot.nvm;
    user.insert(app.nvm.begin(), app.nvm.end());
    const uint32_t crc = BitwiseCrc32(Bytes(user, 0x200, 0x1FEF));
    EXPECT_EQ(Bytes(rec.nvm, 0x1FF0, 0x1FF7),
              (std::vector<uint8_t>{0x07, 0x10, 0x00, 0x21, uint8_t(crc >> 24), uint8_t(crc >> 16),
                                    uint8_t(crc >> 8), uint8_t(crc)}));
    EXPECT_EQ(rec.nvm.size(), 8u);
}

TEST_F(Composer, OverlapsAreConflictsInStrictModeAndOredInLogicOr) {
    WriteFile(dir / "b.mem", "01 02 03 04");
    WriteFile(dir / "a.mem", "F0 0F");
    const std::vector<std::string> base{"--boot_mem=" + (dir / "b.mem"), "0x300",
                                        "--app_mem=" + (dir / "a.mem"),  "0x302",
                                        "--nvm_burn_file=o.nbf",         "--state=user",
                                        "--bf_xo_early_enable",          "--bf_c2_dis"};
    std::vector<std::string> strict = base;
    strict.push_back("--mode_strict");
    ASSERT_EQ(Marlspin(strict).code, 0);
    BurnFile s = Out();
    ASSERT_EQ(s.map.size(), 2u);
    EXPECT_EQ(s.map[0].status, "Conflict");
    EXPECT_EQ(s.map[1].status, "Conflict");
    EXPECT_EQ(s.count, 3);  // the chip itself rejects conflicting bits when burning

    ASSERT_EQ(Marlspin(base).code, 0);
    BurnFile o = Out();
    EXPECT_EQ(o.map[0].status, "Overlay");
    EXPECT_EQ(o.map[1].status, "Overlay");
    EXPECT_EQ(PlanOf(o.images[1]).mode, 1);
    std::map<uint32_t, uint8_t> user{{0x300, 1}, {0x301, 2}, {0x302, 0xF3}, {0x303, 0x0F}};
    const uint32_t crc = BitwiseCrc32(Bytes(user, 0x300, 0x1FEF));
    EXPECT_EQ(Bytes(PlanOf(o.images[2]).nvm, 0x1FF0, 0x1FF7),
              (std::vector<uint8_t>{0x03, 0x41, 0x00, 0x04, uint8_t(crc >> 24), uint8_t(crc >> 16),
                                    uint8_t(crc >> 8), uint8_t(crc)}));
}

TEST_F(Composer, FilesOutsideTheUserRegionAreReportedAndNotBurned) {
    WriteFile(dir / "b.mem", "01 02");
    WriteFile(dir / "x.mem", "@0 AA @1F BB");
    ASSERT_EQ(Marlspin({"--boot_mem=b.mem", "0x300", "--app_mem=x.mem", "0x1FD0", "--app_mem=x.mem",
                        "0x2FF", "--app_mem=x.mem", "0xFFFFFFF0", "--app_mem=x.mem", "0x1FD0",
                        "--nvm_burn_file=o.nbf"})
                  .code,
              0);
    BurnFile bf = Out();
    ASSERT_EQ(bf.map.size(), 5u);
    EXPECT_EQ(bf.map[1].status, "Overlay");  // 0x1FD0..0x1FEF, twice: rows 1 and 4
    EXPECT_EQ(bf.map[2].status, "Error: outside user NVM");
    EXPECT_EQ(bf.map[3].tokens[1], "0xFFFFFFF0");
    EXPECT_EQ(bf.map[3].status, "Error: outside user NVM");
    EXPECT_EQ(bf.map[4].status, "Overlay");
    ASSERT_EQ(bf.count, 4);
    EXPECT_EQ(bf.images[3].header, "Image 4 boot record");
}

TEST_F(Composer, LargeRunsAreSplitIntoStagingWindowSegments) {
    std::string mem;
    for (int i = 0; i < 5000; ++i) mem += "5A ";
    WriteFile(dir / "big.mem", mem);
    ASSERT_EQ(Marlspin({"--boot_mem=big.mem", "0x0200", "--nvm_burn_file=o.nbf"}).code, 0);
    BurnFile bf = Out();
    EXPECT_EQ(PlanOf(bf.images[0]).segment_sizes, (std::vector<std::size_t>{4096, 904}));
    EXPECT_EQ(Bytes(PlanOf(bf.images[1]).nvm, 0x1FF2, 0x1FF3), (std::vector<uint8_t>{0x13, 0x88}));
}

TEST_F(Composer, DirectBurnTextAndFileGiveOneRowPerRunAndNoBootRecord) {
    ASSERT_EQ(Marlspin({"--dir_burn_str=\"@1F00", "01", "02", "", "03", "@1FF0", "07\"",
                        "--nvm_burn_file=o.nbf", "--mode_strict"})
                  .code,
              0);
    BurnFile bf = Out();
    ASSERT_EQ(bf.map.size(), 2u);
    EXPECT_EQ(bf.map[0].tokens,
              (std::vector<std::string>{"direct", "0x1F00", "0x1F02", "0x0003", "3"}));
    EXPECT_EQ(bf.map[1].tokens[1], "0x1FF0");
    ASSERT_EQ(bf.count, 2);
    EXPECT_EQ(PlanOf(bf.images[1]).nvm, (std::map<uint32_t, uint8_t>{{0x1FF0, 0x07}}));
    EXPECT_EQ(PlanOf(bf.images[1]).mode, 0);

    WriteFile(dir / "d.mem", "@0400 11 // one\n@0402 22\n");
    ASSERT_EQ(Marlspin({"--dir_burn_file=d.mem", "--nvm_burn_file=o.nbf"}).code, 0);
    bf = Out();
    ASSERT_EQ(bf.map.size(), 2u);
    EXPECT_EQ(bf.map[1].tokens[0], "d.mem");
    EXPECT_EQ(PlanOf(bf.images[0]).mode, 1);
    EXPECT_EQ(bf.count, 2);

    // Cindral numbers direct images with one digit: nine runs still fit (ten are refused below).
    std::string runs;
    for (int i = 1; i <= 9; ++i) runs += "@" + std::to_string(i) + "00 " + std::to_string(i) + " ";
    ASSERT_EQ(Marlspin({"--dir_burn_str=" + runs, "--nvm_burn_file=o.nbf"}).code, 0);
    bf = Out();
    ASSERT_EQ(bf.count, 9);
    EXPECT_EQ(bf.images[8].header, "Image 9 direct");
    EXPECT_EQ(PlanOf(bf.images[8]).nvm, (std::map<uint32_t, uint8_t>{{0x900, 0x09}}));
}

TEST_F(Composer, EachInputFaultHasItsExitCodeAndLeavesNoBurnFile) {
    WriteFile(dir / "b.hex", kBootHex);
    WriteFile(dir / "b.mem", "01");
    WriteFile(dir / "bad.hex", ":0100000011EF\r\n:00000001FF\r\n");
    WriteFile(dir / "bad.mem", "01\n02 xyz\n");
    WriteFile(dir / "cut.hex", ":100000000001020304");
    WriteFile(dir / "bin.mem", std::string("\x7f"
                                           "ELF\x01\x00",
                                           6));
    std::string runs;
    for (int i = 0; i < 10; ++i) runs += "@" + std::to_string(i * 2) + "0 01 ";
    std::filesystem::create_directory(dir.path / "sub");
    const std::string nbf = "--nvm_burn_file=o.nbf";
    const std::vector<std::string> boot{"--boot_hex=b.hex", "0x0200"};
    auto with = [&](std::vector<std::string> a, std::vector<std::string> b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<std::pair<int, std::vector<std::string>>> cases = {
        {1, {nbf}},
        {1, {"--boot_hex=b.hex", nbf}},
        {1, boot},
        {1, with(boot, {nbf, "--bogus"})},
        {1, with(boot, {nbf, "--state=sleep"})},
        {1, with(boot, {nbf, "--dir_burn_str=01"})},
        {1, {"--dir_burn_str=\"01", nbf}},
        {2, {"--app_mem=b.mem", "0x300", nbf}},
        {2, {"--boot_mem=b.mem", "0x100", nbf}},
        {2, {"--boot_mem=b.mem", "0x1FF0", nbf}},
        {2, {"--boot_mem=b.mem", "two", nbf}},
        {4, with(boot, {"--nvm_burn_file=nowhere/o.nbf"})},
        {5, {"--boot_hex=bad.hex", "0x200", nbf}},
        {5, {"--boot_hex=missing.hex", "0x200", nbf}},
        {6, {"--boot_mem=bad.mem", "0x200", nbf}},
        {7, with(boot, {"--app_hex=cut.hex", "0", nbf})},
        {8, with(boot, {"--app_mem=bin.mem", "0", nbf})},
        {8, with(boot, {"--app_mem=sub", "0", nbf})},
        {9, {"--dir_burn_str=01 0x2", nbf}},
        {9, {"--dir_burn_str=@1FFF 01 02", nbf}},
        {9, {"--dir_burn_str=" + runs, nbf}},
        {9, {"--dir_burn_str=// nothing", nbf}},
        {9, {"--dir_burn_str=@1F00 01 // flag  @1F10 02", nbf}},  // would drop 02 silently
        {9, {"--dir_burn_file=missing.mem", nbf}},
        {10, with(boot, {"--app_mem=b.mem", "0x1_0", nbf})},
        {11, with(boot, {"--nvm_burn_file=sub"})},
        {11, with(boot, {"--nvm_burn_file="})},
    };
    for (const auto& [code, args] : cases) {
        Result r = Marlspin(args);
        std::string shown;
        for (const auto& a : args) shown += a + " ";
        EXPECT_EQ(r.code, code) << shown << "\n" << r.err;
        EXPECT_NE(r.err, "") << shown;
        EXPECT_FALSE(std::filesystem::exists(dir / "o.nbf")) << shown;
    }

    std::vector<std::string> many;
    for (int i = 0; i < 99; ++i) many = with(many, {"--boot_mem=b.mem", std::to_string(0x200 + i)});
    EXPECT_EQ(Marlspin(with(many, {nbf})).code, 3);  // 99 files and the boot record
    many.resize(many.size() - 2);
    EXPECT_EQ(Marlspin(with(many, {nbf})).code, 0);
}

TEST_F(Composer, FailedComposeKeepsThePreviousBurnFile) {
    WriteFile(dir / "o.nbf", "previous");
    WriteFile(dir / "bad.mem", "@0200 0x01");
    EXPECT_EQ(Marlspin({"--boot_mem=bad.mem", "0x200", "--nvm_burn_file=o.nbf"}).code, 6);
    EXPECT_EQ(ReadFile(dir / "o.nbf"), "previous");
    WriteFile(dir / "good.mem", "01");
    EXPECT_EQ(Marlspin({"--boot_mem=good.mem", "0x200", "--nvm_burn_file=o.nbf"}).code, 0);
    EXPECT_EQ(Out().count, 2);
    std::size_t entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path))
        entries += e.path().filename().string().rfind(".o.nbf", 0) == 0;
    EXPECT_EQ(entries, 0u);  // no temporary file left behind
}

TEST_F(Composer, NamesAreKeptReadableByTheBurnFileParser) {
    WriteFile(dir / "[Burn] a;b.mem", "01");
    ASSERT_EQ(Marlspin({"--boot_mem=[Burn] a;b.mem", "0x200", "--nvm_burn_file=o.nbf"}).code, 0);
    BurnFile bf = Out();
    ASSERT_EQ(bf.map.size(), 1u);
    EXPECT_EQ(bf.map[0].tokens[0], "_Burn]_a_b.mem");
    EXPECT_EQ(bf.count, 2);
    Result help = Marlspin({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("--dir_burn_str"), std::string::npos);
}
