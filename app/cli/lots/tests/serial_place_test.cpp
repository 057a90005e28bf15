// Where a serial may go: the place's syntax, the range against the width, and
// the bytes against what a real composed burn file writes.
#include "lots/serial_place.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace cindral::lots {
namespace {

TEST(SerialPlace, ParsesAddressAndWidth) {
    struct Case {
        const char* text;
        Memory memory;
        bool ok;
        uint32_t address;
        int width;
    };
    const Case cases[] = {
        {"0x1F00:4", Memory::kNvm, true, 0x1F00, 4},
        {"7936:2", Memory::kNvm, true, 0x1F00, 2},
        {"0X0300:8", Memory::kNvm, true, 0x0300, 8},
        {"3:1", Memory::kMtp, true, 3, 1},
        {"0x1F00:0", Memory::kNvm, false, 0, 0},
        {"0x1F00:9", Memory::kNvm, false, 0, 0},
        {"0x1F00", Memory::kNvm, false, 0, 0},
        {"0x1F00:4:1", Memory::kNvm, false, 0, 0},
        {"0x1G00:4", Memory::kNvm, false, 0, 0},
        {"-1:4", Memory::kNvm, false, 0, 0},
        {"0x10000:1", Memory::kNvm, false, 0, 0},
        {":4", Memory::kNvm, false, 0, 0},
        {"0x1F00 --bf_c2_dis:4", Memory::kNvm, false, 0, 0},
    };
    for (const Case& c : cases) {
        std::string why;
        const std::optional<SerialPlace> p = ParsePlace(c.text, c.memory, why);
        ASSERT_EQ(p.has_value(), c.ok) << c.text;
        if (!p) {
            EXPECT_FALSE(why.empty());
            continue;
        }
        EXPECT_EQ(p->address, c.address) << c.text;
        EXPECT_EQ(p->width, c.width) << c.text;
        EXPECT_EQ(p->memory, c.memory);
    }
}

TEST(SerialPlace, RangeMustFitTheWidth) {
    struct Case {
        std::int64_t first, last;
        int width;
        bool ok;
    };
    const Case cases[] = {
        {0, 255, 1, true},           {0, 256, 1, false},       {1000, 1002, 2, true},
        {65535, 65535, 2, true},     {65535, 65536, 2, false}, {5, 4, 4, false},
        {-1, 10, 4, false},          {0, 0xFFFFFFFF, 4, true}, {0, 0x100000000, 4, false},
        {0, INT64_MAX - 1, 8, true}, {0, INT64_MAX, 8, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckRange(c.first, c.last, c.width).empty(), c.ok)
            << c.first << ".." << c.last << " in " << c.width;
}

TEST(SerialPlace, BytesAndDirectText) {
    EXPECT_EQ(DirectText({Memory::kNvm, 0x1F00, 4}, 1000), "@1F00 00 00 03 E8");
    EXPECT_EQ(DirectText({Memory::kNvm, 0x0300, 1}, 255), "@0300 FF");
    EXPECT_EQ(SerialBytes(0x0102030405060708, 8), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(SerialBytes(0x1234, 3), (std::vector<uint8_t>{0, 0x12, 0x34}));
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A Main-page burn file from the real composer: a boot file at 0x0200..0x0220
// and the boot record at 0x1FF0.
class ComposedFile : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/cindral-place-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        std::ofstream(dir_ + "/boot.hex", std::ios::binary)
            << ":10000000000102030405060708090A0B0C0D0E0F78\r\n:01002000558A\r\n:00000001FF\r\n";
        const std::string command = std::string(CINDRAL_TEST_BIN_DIR) +
                                    "marlspin --boot_hex=" + dir_ +
                                    "/boot.hex 0x0200 --nvm_burn_file=" + dir_ +
                                    "/job.nbf --state=run --mode_strict >" + dir_ + "/log 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << Slurp(dir_ + "/log");
        nbf_ = Slurp(dir_ + "/job.nbf");
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string dir_, nbf_;
};

TEST_F(ComposedFile, SerialBesideWhatTheImagesWrite) {
    const BurnFileCheck check = CheckBurnFile(nbf_, false);
    ASSERT_TRUE(check.ok()) << check.why;
    const std::vector<BurnFileCheck::NvmWrite>& writes = check.writes;
    ASSERT_FALSE(writes.empty());
    // The boot file's bytes from 0x0200, the boot record last.
    EXPECT_EQ(writes.front().image, 1);
    EXPECT_EQ(writes.front().first, 0x0200u);
    EXPECT_EQ(writes.back().image, 2);
    EXPECT_EQ(writes.back().first, 0x1FF0u);
    EXPECT_EQ(writes.back().last, 0x1FF7u);

    struct Case {
        SerialPlace place;
        const char* expect;  // in the refusal, or empty for accepted
    };
    const Case cases[] = {
        {{Memory::kNvm, 0x1E00, 4}, ""},
        {{Memory::kNvm, 0x0221, 2}, ""},
        {{Memory::kNvm, 0x1FEC, 4}, ""},
        {{Memory::kNvm, 0x0200, 1}, "overlap burner image 1"},
        {{Memory::kNvm, 0x021F, 2}, "overlap burner image 1"},
        {{Memory::kNvm, 0x1FED, 4}, "outside the NVM user region"},
        {{Memory::kNvm, 0x1FF4, 4}, "outside the NVM user region"},
        {{Memory::kNvm, 0x0100, 2}, "outside the NVM user region"},
        {{Memory::kNvm, 0xFFFE, 8}, "outside the NVM user region"},
        {{Memory::kMtp, 0, 8}, ""},
        {{Memory::kMtp, 12, 4}, ""},
        {{Memory::kMtp, 13, 4}, "outside the 16-byte MTP"},
    };
    for (const Case& c : cases) {
        const std::string refusal = CheckPlace(c.place, writes);
        if (*c.expect == '\0') {
            EXPECT_EQ(refusal, "") << PlaceText(c.place);
        } else {
            EXPECT_NE(refusal.find(c.expect), std::string::npos)
                << PlaceText(c.place) << ": " << refusal;
        }
    }
}

}  // namespace
}  // namespace cindral::lots
