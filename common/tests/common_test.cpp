#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "zt/adapter_protocol.h"
#include "zt/composer_exit.h"
#include "zt/crc.h"
#include "zt/intel_hex_record.h"

namespace {

const uint8_t kCheck[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};

TEST(Crc, CheckValuesAndContinuation) {
    EXPECT_EQ(zt::Crc32(kCheck, sizeof kCheck), 0xCBF43926u);
    EXPECT_EQ(zt::Crc32(nullptr, 0), 0u);
    EXPECT_EQ(zt::Crc32(kCheck + 4, 5, zt::Crc32(kCheck, 4)), 0xCBF43926u);
    // Raw: no inversions, so zlib's value is the raw one with both applied.
    EXPECT_EQ(zt::Crc32Raw(kCheck, sizeof kCheck, 0xFFFFFFFFu) ^ 0xFFFFFFFFu, 0xCBF43926u);
    EXPECT_EQ(zt::Crc32Raw(kCheck + 4, 5, zt::Crc32Raw(kCheck, 4)), zt::Crc32Raw(kCheck, 9));
    EXPECT_EQ(zt::Crc16Xmodem(kCheck, sizeof kCheck), 0x31C3);
    EXPECT_EQ(zt::Crc16Xmodem(kCheck + 2, 7, zt::Crc16Xmodem(kCheck, 2)), 0x31C3);
}

TEST(Crc, FirmwarePageCrcChecksBit15AfterTheShift) {
    const struct {
        uint8_t byte;
        uint16_t crc;
    } cases[] = {{0x01, 0x2042}, {0x80, 0x0000}, {0x40, 0x32D2}};
    for (const auto& c : cases) EXPECT_EQ(zt::FirmwarePageCrc(&c.byte, 1), c.crc) << int(c.byte);
    uint8_t page[zt::adapter::kFirmwarePageSize];
    for (int i = 0; i < zt::adapter::kFirmwarePageSize; ++i) page[i] = uint8_t(i * 7);
    EXPECT_EQ(zt::FirmwarePageCrc(page + 100, 412, zt::FirmwarePageCrc(page, 100)),
              zt::FirmwarePageCrc(page, sizeof page));
}

TEST(HexRecord, DecodesFieldsAndJudgesTheChecksum) {
    zt::HexRecord r;
    ASSERT_EQ(zt::ParseHexRecord("12010000010D0102030405060708090A0B0C0D0E0F1057", &r),
              zt::HexRecordStatus::kOk);
    EXPECT_EQ(r.count, 0x12);
    EXPECT_EQ(r.address, 0x0100);
    EXPECT_EQ(r.type, zt::kHexData);
    EXPECT_EQ(r.data[0], 0x01);
    EXPECT_EQ(r.data[1], 0x0D);
    EXPECT_EQ(r.data[17], 0x10);
    EXPECT_EQ(r.checksum, 0x57);
    EXPECT_TRUE(r.checksumOk);
    ASSERT_EQ(zt::ParseHexRecord("00000001fe", &r), zt::HexRecordStatus::kOk);
    EXPECT_EQ(r.type, zt::kHexEndOfFile);
    EXPECT_FALSE(r.checksumOk);
    // Without a checksum the digits end after the data.
    ASSERT_EQ(zt::ParseHexRecord("0212340011zz", &r), zt::HexRecordStatus::kBadDigit);
    ASSERT_EQ(zt::ParseHexRecord("021234001122", &r, zt::HexChecksum::kAbsent),
              zt::HexRecordStatus::kOk);
    EXPECT_EQ(r.address, 0x1234);
    EXPECT_EQ(r.data[1], 0x22);
    EXPECT_FALSE(r.checksumOk);
}

TEST(HexRecord, RefusesMalformedDigits) {
    const struct {
        const char* digits;
        zt::HexRecordStatus status;
        std::size_t bad;
    } cases[] = {
        {"", zt::HexRecordStatus::kTooShort, 0},
        {"000000010", zt::HexRecordStatus::kTooShort, 0},
        {"00000001FF0", zt::HexRecordStatus::kOddLength, 0},
        {"0000G001FF", zt::HexRecordStatus::kBadDigit, 4},
        {"00000001F ", zt::HexRecordStatus::kBadDigit, 8},
        {"0100000000", zt::HexRecordStatus::kCountMismatch, 0},
        {"000000000000", zt::HexRecordStatus::kCountMismatch, 0},
    };
    for (const auto& c : cases) {
        zt::HexRecord r;
        std::size_t bad = 0;
        EXPECT_EQ(zt::ParseHexRecord(c.digits, &r, zt::HexChecksum::kPresent, &bad), c.status)
            << c.digits;
        EXPECT_EQ(bad, c.bad) << c.digits;
    }
    // A record far longer than any count allows is refused, not overrun.
    const std::string huge = "FF000000" + std::string(4000, 'A');
    zt::HexRecord r;
    EXPECT_EQ(zt::ParseHexRecord(huge, &r), zt::HexRecordStatus::kCountMismatch);
}

TEST(Protocol, ReplyShapesAndFirmwareRows) {
    EXPECT_TRUE(zt::adapter::HasDataReply(zt::adapter::kRamRead));
    EXPECT_FALSE(zt::adapter::HasDataReply(zt::adapter::kRamWrite));
    EXPECT_FALSE(zt::adapter::HasDataReply(zt::adapter::kTargetReset));
    EXPECT_TRUE(zt::adapter::IsSmallAdapter(0x8045));
    EXPECT_FALSE(zt::adapter::IsSmallAdapter(zt::adapter::kProductUsb));
    EXPECT_EQ(zt::adapter::UsbFirmwareFor(0x8253, 1).version, 11);
    EXPECT_EQ(zt::adapter::UsbFirmwareFor(zt::adapter::kProductUsb, 1).version, 2);
    EXPECT_EQ(zt::adapter::UsbFirmwareFor(zt::adapter::kProductUsb, 2).version, 31);
}

TEST(ComposerExit, TextsOfEveryCode) {
    EXPECT_STREQ(zt::composer::ExitCodeText(1), "Command Line Error");
    EXPECT_STREQ(zt::composer::ExitCodeText(12), "Unhandled exception.");
    for (int code : {-1, 0, 13, 255})
        EXPECT_STREQ(zt::composer::ExitCodeText(code), "Undefined Error");
}

}  // namespace
