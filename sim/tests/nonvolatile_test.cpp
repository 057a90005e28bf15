#include "chip/nonvolatile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "zt/crc.h"
#include "test_util.h"

namespace zsim {
namespace {

using test::TempDir;

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(Crc, MatchesIndependentBitwiseVersions) {
    const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(zt::Crc32(check, 9), 0xCBF43926u);
    EXPECT_EQ(zt::Crc16Xmodem(check, 9), 0x31C3);
    std::vector<uint8_t> data(777);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 37 + (i >> 3));
    EXPECT_EQ(zt::Crc32(data.data(), data.size()), test::RefCrc32(data.data(), data.size()));
    EXPECT_EQ(zt::Crc16Xmodem(data.data(), data.size()), test::RefCrc16(data.data(), data.size()));
    EXPECT_EQ(zt::Crc32(nullptr, 0), 0u);
}

TEST(Factory, DeterministicPerSerialWithMatchingTrimCrc) {
    NonVolatile a, b, c;
    a.MakeFactory("VZ0001");
    b.MakeFactory("VZ0001");
    c.MakeFactory("VZ0002");
    EXPECT_EQ(a.nvm, b.nvm);
    EXPECT_NE(a.nvm, c.nvm);
    uint8_t crc[4];
    test::PutBe32(crc, test::RefCrc32(a.nvm.data(), 256));
    EXPECT_EQ(0, std::memcmp(crc, &a.nvm[0x148], 4));
    for (int i = 0x14C; i < kNvmSize; ++i) ASSERT_EQ(a.nvm[i], 0) << i;
    for (uint8_t m : a.mtp) EXPECT_EQ(m, 0);
}

TEST(BurnNvm, OnlyAddsBitsAndReportsTheFailingByte) {
    std::vector<uint8_t> nvm(kNvmSize, 0);
    const uint8_t one[] = {0x0F, 0xF0};
    BurnOutcome r = BurnNvm(nvm.data(), 0x200, one, 2, false, 0x200, kNvmSize, true);
    EXPECT_EQ(r.code, kBurnOk);
    EXPECT_EQ(r.burned, 2);
    EXPECT_EQ(nvm[0x200], 0x0F);

    // Strict: a burned bit the source lacks is a conflict; nothing of the block is burned.
    const uint8_t two[] = {0x1F, 0x0F};
    r = BurnNvm(nvm.data(), 0x200, two, 2, false, 0x200, kNvmSize, true);
    EXPECT_EQ(r.code, kBurnConflict);
    EXPECT_EQ(r.fail_address, 0x201);
    EXPECT_EQ(nvm[0x200], 0x0F);

    // Logic OR merges the same bytes.
    r = BurnNvm(nvm.data(), 0x200, two, 2, true, 0x200, kNvmSize, true);
    EXPECT_EQ(r.code, kBurnOk);
    EXPECT_EQ(nvm[0x200], 0x1F);
    EXPECT_EQ(nvm[0x201], 0xFF);

    // Re-burning what is there burns nothing.
    r = BurnNvm(nvm.data(), 0x200, two, 1, false, 0x200, kNvmSize, true);
    EXPECT_EQ(r.code, kBurnOk);
    EXPECT_EQ(r.burned, 0);
}

TEST(BurnNvm, RangeAndThresholdRefuseBeforeBurning) {
    std::vector<uint8_t> nvm(kNvmSize, 0);
    const uint8_t data[4] = {1, 2, 3, 4};
    // Crossing the start of the writable region: the first outside byte fails.
    BurnOutcome r = BurnNvm(nvm.data(), 0x1FE, data, 4, false, 0x200, kNvmSize, true);
    EXPECT_EQ(r.code, kBurnRange);
    EXPECT_EQ(r.fail_address, 0x1FE);
    EXPECT_EQ(nvm[0x200], 0);
    // Running off the end of the NVM.
    r = BurnNvm(nvm.data(), 0x1FFE, data, 4, false, 0x200, kNvmSize, true);
    EXPECT_EQ(r.code, kBurnRange);
    EXPECT_EQ(r.fail_address, 0x2000 & 0xFFFF);
    EXPECT_EQ(nvm[0x1FFE], 0);
    // No programming voltage.
    r = BurnNvm(nvm.data(), 0x300, data, 4, false, 0x200, kNvmSize, false);
    EXPECT_EQ(r.code, kBurnThreshold);
    EXPECT_EQ(r.fail_address, 0x300);
    EXPECT_EQ(nvm[0x300], 0);
    // An empty writable region (NVM disabled) refuses everything.
    r = BurnNvm(nvm.data(), 0x300, data, 1, true, kNvmSize, kNvmSize, true);
    EXPECT_EQ(r.code, kBurnRange);
}

TEST(Persistence, MissingDirectoryIsCreatedFactoryFreshAndSurvivesReopen) {
    TempDir tmp;
    std::string dir = tmp.Sub("chip/state");
    std::string error;
    NonVolatile a;
    ASSERT_TRUE(a.Open(dir, "VZ0001", &error)) << error;
    NonVolatile fresh;
    fresh.MakeFactory("VZ0001");
    EXPECT_EQ(ReadFile(dir + "/nvm.bin"), std::vector<uint8_t>(fresh.nvm.begin(), fresh.nvm.end()));
    EXPECT_EQ(ReadFile(dir + "/mtp.bin").size(), 16u);

    a.nvm[0x400] = 0x77;
    a.mtp[3] = 0x33;
    a.mtp_writes = 12;
    ASSERT_TRUE(a.SaveNvm(&error)) << error;
    ASSERT_TRUE(a.SaveMtp(&error)) << error;
    a.Close();

    // Another serial does not overwrite an existing chip's trim.
    NonVolatile b;
    ASSERT_TRUE(b.Open(dir, "OTHER", &error)) << error;
    EXPECT_EQ(b.nvm, a.nvm);
    EXPECT_EQ(b.mtp[3], 0x33);
    EXPECT_EQ(b.mtp_writes, 12u);
}

TEST(Persistence, LeftoverTemporaryFilesFromACrashAreIgnored) {
    TempDir tmp;
    std::string error;
    NonVolatile a;
    ASSERT_TRUE(a.Open(tmp.Str(), "VZ0001", &error)) << error;
    a.nvm[0x500] = 0xAB;
    ASSERT_TRUE(a.SaveNvm(&error));
    // A crash while the next image was being written leaves a torn temp file.
    WriteFile(tmp.Sub("nvm.bin.tmp"), std::string(100, '\xFF'));
    WriteFile(tmp.Sub("mtp.bin.tmp.x1Yz2Q"), "xx");
    a.Close();
    NonVolatile b;
    ASSERT_TRUE(b.Open(tmp.Str(), "VZ0001", &error)) << error;
    EXPECT_EQ(b.nvm, a.nvm);
    EXPECT_FALSE(std::filesystem::exists(tmp.Sub("mtp.bin.tmp.x1Yz2Q")));
    b.nvm[0x501] = 0xCD;
    ASSERT_TRUE(b.SaveNvm(&error));
    b.Close();
    NonVolatile c;
    ASSERT_TRUE(c.Open(tmp.Str(), "VZ0001", &error));
    EXPECT_EQ(c.nvm[0x501], 0xCD);
    EXPECT_FALSE(std::filesystem::exists(tmp.Sub("nvm.bin.tmp")));
}

TEST(Persistence, OneUserPerDirectory) {
    TempDir tmp;
    std::string error;
    NonVolatile a, b;
    ASSERT_TRUE(a.Open(tmp.Str(), "VZ0001", &error)) << error;
    EXPECT_FALSE(b.Open(tmp.Str(), "VZ0001", &error));
    EXPECT_NE(error.find("in use by another program"), std::string::npos) << error;
    a.Close();
    EXPECT_TRUE(b.Open(tmp.Str(), "VZ0001", &error)) << error;

    // A directory that cannot be made says so.
    WriteFile(tmp.Sub("file"), "x");
    NonVolatile c;
    EXPECT_FALSE(c.Open(tmp.Sub("file/state"), "VZ0001", &error));
    EXPECT_NE(error.find("cannot create state directory"), std::string::npos) << error;
}

TEST(Persistence, CellsAndCounterChangeAsOneStep) {
    TempDir tmp;
    std::string error;
    NonVolatile a;
    ASSERT_TRUE(a.Open(tmp.Str(), "VZ0001", &error)) << error;
    const std::vector<uint8_t> oldCells = ReadFile(tmp.Sub("mtp.bin"));
    a.mtp.fill(0x5A);
    a.mtp_writes = 7;
    ASSERT_TRUE(a.SaveMtp(&error)) << error;
    a.Close();
    // A crash after the counter file and before the cells: the step is finished at open.
    WriteFile(tmp.Sub("mtp.bin"), std::string(oldCells.begin(), oldCells.end()));
    NonVolatile b;
    ASSERT_TRUE(b.Open(tmp.Str(), "VZ0001", &error)) << error;
    EXPECT_EQ(b.mtp_writes, 7u);
    for (uint8_t m : b.mtp) EXPECT_EQ(m, 0x5A);
    EXPECT_EQ(ReadFile(tmp.Sub("mtp.bin")), std::vector<uint8_t>(16, 0x5A));
    b.Close();
    WriteFile(tmp.Sub("meta.txt"), "mtp_writes=7\nmtp=5a5a\n");
    NonVolatile c;
    EXPECT_FALSE(c.Open(tmp.Str(), "VZ0001", &error));
    EXPECT_NE(error.find("meta.txt"), std::string::npos) << error;
}

TEST(Persistence, DamagedFilesAreClearErrors) {
    TempDir tmp;
    std::string error;
    {
        NonVolatile a;
        ASSERT_TRUE(a.Open(tmp.Str(), "VZ0001", &error));
    }
    WriteFile(tmp.Sub("nvm.bin"), "short");
    NonVolatile b;
    EXPECT_FALSE(b.Open(tmp.Str(), "VZ0001", &error));
    EXPECT_NE(error.find("nvm.bin"), std::string::npos) << error;

    TempDir tmp2;
    {
        NonVolatile a;
        ASSERT_TRUE(a.Open(tmp2.Str(), "VZ0001", &error));
    }
    WriteFile(tmp2.Sub("meta.txt"), "mtp_writes=12x\n");
    NonVolatile c;
    error.clear();
    EXPECT_FALSE(c.Open(tmp2.Str(), "VZ0001", &error));
    EXPECT_NE(error.find("meta.txt"), std::string::npos) << error;

    // A state path that is a file cannot hold a chip.
    WriteFile(tmp2.Sub("plain"), "x");
    NonVolatile d;
    EXPECT_FALSE(d.Open(tmp2.Sub("plain"), "VZ0001", &error));
}

TEST(Persistence, OversizedOrSpecialFilesAreRefusedWithoutReadingThem) {
    TempDir tmp;
    std::string error;
    {
        NonVolatile a;
        ASSERT_TRUE(a.Open(tmp.Str(), "VZ0001", &error));
    }
    // A sparse 64 GiB image: refused from its size, never loaded into memory.
    std::error_code ec;
    std::filesystem::resize_file(tmp.Sub("nvm.bin"), uint64_t(64) << 30, ec);
    if (ec) GTEST_SKIP() << "no sparse files here: " << ec.message();
    NonVolatile b;
    EXPECT_FALSE(b.Open(tmp.Str(), "VZ0001", &error));
    EXPECT_NE(error.find("68719476736 bytes"), std::string::npos) << error;

    std::filesystem::remove(tmp.Sub("nvm.bin"));
    std::filesystem::create_directory(tmp.Sub("nvm.bin"));
    NonVolatile c;
    error.clear();
    EXPECT_FALSE(c.Open(tmp.Str(), "VZ0001", &error));
    EXPECT_NE(error.find("nvm.bin"), std::string::npos) << error;

    // The counter file likewise: one long line is refused before it is read.
    TempDir tmp2;
    {
        NonVolatile a;
        ASSERT_TRUE(a.Open(tmp2.Str(), "VZ0001", &error));
    }
    std::filesystem::resize_file(tmp2.Sub("meta.txt"), uint64_t(64) << 30, ec);
    ASSERT_FALSE(ec) << ec.message();
    NonVolatile d;
    error.clear();
    EXPECT_FALSE(d.Open(tmp2.Str(), "VZ0001", &error));
    EXPECT_NE(error.find("meta.txt"), std::string::npos) << error;
    std::filesystem::remove(tmp2.Sub("meta.txt"));
    std::filesystem::create_directory(tmp2.Sub("meta.txt"));
    NonVolatile e;
    error.clear();
    EXPECT_FALSE(e.Open(tmp2.Str(), "VZ0001", &error));
    EXPECT_NE(error.find("meta.txt"), std::string::npos) << error;
}

}  // namespace
}  // namespace zsim
