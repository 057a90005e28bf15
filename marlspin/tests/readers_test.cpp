#include "readers.h"

#include <gtest/gtest.h>

#include <random>

#include "support.h"
#include "zt/crc.h"

using namespace marlspin;

namespace {

// Line number of the InputError the text raises, or -1 when it reads cleanly.
long HexErrorLine(const std::string& text) {
    PlacedBytes b;
    try {
        ReadIntelHex(text, 0, b);
    } catch (const InputError& e) {
        return static_cast<long>(e.line());
    }
    return -1;
}

}  // namespace

TEST(IntelHex, PlacesRecordsWithExtendedAddresses) {
    PlacedBytes b;
    ReadIntelHex(
        ":020010001122BB\r\n\n:020000021000EC\n:0100040033C8\n:020000040001F9\n"
        ":0100000044BB\n:00000001FF\n",
        0x200, b);
    EXPECT_EQ(b.At(0x210), 0x11);
    EXPECT_EQ(b.At(0x211), 0x22);
    EXPECT_FALSE(b.IsSet(0x204));            // segment record moved it to 0x10004
    EXPECT_EQ(b.last(), 0x200u + 0x10004u);  // segment 0x1000 offset 4 is the highest
    EXPECT_FALSE(b.Within(0x200, 0x1FEF));
}

// The two extended address kinds differ where they meet: a segment wraps its
// offset within 64 KiB, and a linear record switches segment addressing off.
TEST(IntelHex, SegmentOffsetsWrapAndLinearRecordsEndSegmentAddressing) {
    PlacedBytes b;
    ReadIntelHex(":020000020010EC\n:02FFFF00AABB9B\n:020000040000FA\n:0100040033C8\n:00000001FF\n",
                 0x200, b);
    EXPECT_EQ(b.At(0x300), 0xBB);            // segment 0x100, offset 0xFFFF + 1 wraps to 0
    EXPECT_EQ(b.last(), 0x200u + 0x100FFu);  // offset 0xFFFF itself
    EXPECT_EQ(b.At(0x204), 0x33);            // linear base 0 again, not segment 0x100
    EXPECT_FALSE(b.IsSet(0x304));
}

TEST(IntelHex, ReportsTheLineOfEachFault) {
    EXPECT_EQ(HexErrorLine(":0100000011EE\n:00000001FF\n"), -1);
    EXPECT_EQ(HexErrorLine(":0100000011EE\n:0100000011EF\n:00000001FF\n"), 2);  // checksum
    EXPECT_EQ(HexErrorLine("\n:0200000011EE\n:00000001FF\n"), 2);               // count too big
    EXPECT_EQ(HexErrorLine(":01000000\n"), 1);                                  // truncated
    EXPECT_EQ(HexErrorLine(":0100000011E\n"), 1);                               // odd digits
    EXPECT_EQ(HexErrorLine("0100000011EE\n"), 1);                               // no colon
    EXPECT_EQ(HexErrorLine(":01000000G1EE\n"), 1);                              // not hex
    EXPECT_EQ(HexErrorLine(":00000006FA\n"), 1);                                // unknown type
    EXPECT_EQ(HexErrorLine(":0100000411EA\n"), 1);                              // short type 04
    EXPECT_EQ(HexErrorLine(":0100000011EE\n:0100010022DC\n"), 2);               // no EOF
}

TEST(MemText, AddressesCommentsAndRepeatedBytes) {
    PlacedBytes b;
    ReadMemText("A 0b // @0 FF\n@10 1 2\t3\r\n@10 7f\n", 0x300, b);
    EXPECT_EQ(b.At(0x300), 0x0A);
    EXPECT_EQ(b.At(0x301), 0x0B);
    EXPECT_FALSE(b.IsSet(0x302));
    EXPECT_EQ(b.At(0x310), 0x7F);  // the later value of a byte given twice
    EXPECT_EQ(b.At(0x312), 0x03);
    EXPECT_EQ(b.last(), 0x312u);

    for (const char* bad :
         {"01\n123\n", "01\n@\n", "01\n@123456789 00\n", "01\n0x1\n", "01\nzz\n"}) {
        PlacedBytes c;
        try {
            ReadMemText(bad, 0, c);
            ADD_FAILURE() << bad;
        } catch (const InputError& e) {
            EXPECT_EQ(e.line(), 2u) << bad;
        }
    }
    PlacedBytes d;
    EXPECT_THROW(ReadMemText("@1FFF 01 02", 0, d, kNvmSize), InputError);
}

TEST(Addresses, HexOrDecimalWithinThirtyTwoBits) {
    EXPECT_EQ(ParseAddress("0x0200"), 0x200u);
    EXPECT_EQ(ParseAddress("0XfFfFfFfF"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseAddress("512"), 512u);
    EXPECT_EQ(ParseAddress("4294967295"), 0xFFFFFFFFu);
    for (const char* bad : {"", "0x", "0x100000000", "4294967296", "-1", "12a", " 1", "0200h"})
        EXPECT_FALSE(ParseAddress(bad)) << bad;
}

TEST(Crc32, MatchesTheBitwiseDefinition) {
    EXPECT_EQ(zt::Crc32(reinterpret_cast<const uint8_t*>("123456789"), 9), 0xCBF43926u);
    std::vector<uint8_t> data(7664);
    std::mt19937 rng(7);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    EXPECT_EQ(zt::Crc32(data.data(), data.size()), mstest::BitwiseCrc32(data));
}

// Mutated, truncated and random inputs either read or raise InputError; a crash,
// a hang or another exception fails the test (and the sanitizers watch the reads).
TEST(Robustness, MutatedInputsNeverEscapeAsAnythingButInputError) {
    const std::string hex =
        ":10000000020008FFFFFF80FE75816F7564FA756559\r\n:020000040001F9\r\n:0100000044BB\r\n"
        ":020000021000EC\r\n:00000001FF\r\n";
    const std::string mem = "@0200 01 02 03 // boot\n@1FEF ff\nA B C\n@FFFFFFFF 12 34\n";
    std::mt19937 rng(12345);
    const char alphabet[] = ":0123456789ABCDEFabcdef@/ \r\n\tG\x00\xFF";
    int accepted = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string text = round % 2 ? hex : mem;
        switch (round % 4) {
            case 0:
                text.resize(rng() % (text.size() + 1));
                break;
            case 1:
                for (int k = 0; k < 1 + round % 5; ++k)
                    text[rng() % text.size()] = alphabet[rng() % (sizeof alphabet - 1)];
                break;
            case 2:
                text.insert(rng() % text.size(), 1 + rng() % 4,
                            alphabet[rng() % (sizeof alphabet - 1)]);
                break;
            default:
                text.assign(rng() % 200, '\0');
                for (char& c : text) c = alphabet[rng() % (sizeof alphabet - 1)];
        }
        for (bool as_hex : {true, false}) {
            PlacedBytes b;
            try {
                if (as_hex)
                    ReadIntelHex(text, 0xFFFFFFFFu, b);
                else
                    ReadMemText(text, 0xFFFFFFFFu, b);
                ++accepted;
            } catch (const InputError& e) {
                EXPECT_NE(std::string(e.what()), "");
            }
        }
    }
    EXPECT_GT(accepted, 0);  // the mutations leave some inputs valid
}
