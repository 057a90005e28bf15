// The firmware images built into the library are whole and self-consistent.
#include "connect/firmware_images.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using ordwin::FirmwareImageKind;

struct Expected {
    FirmwareImageKind kind;
    int pages;
    uint8_t version;
};

TEST(FirmwareImages, RecordsCarryTheirPagesCrcsAndVersion) {
    const Expected images[] = {{FirmwareImageKind::kSerial, 17, 23},
                               {FirmwareImageKind::kUsb, 19, 31},
                               {FirmwareImageKind::kUsbUpdateMode, 19, 2},
                               {FirmwareImageKind::kSmall8045, 17, 4},
                               {FirmwareImageKind::kSmall8253, 20, 11}};
    for (const Expected& e : images) {
        const ordwin::FirmwareImage image = ordwin::CarriedFirmwareImage(e.kind);
        ASSERT_NE(image.records, nullptr);
        ASSERT_EQ(image.size, static_cast<size_t>(e.pages) * ordwin::kFirmwareRecordSize);
        std::set<int> pages;
        for (int p = 0; p < e.pages; ++p) {
            const uint8_t* record = image.records + p * ordwin::kFirmwareRecordSize;
            pages.insert(record[0]);
            uint8_t plain[ordwin::kFirmwarePageSize];
            for (int i = 0; i < ordwin::kFirmwarePageSize; ++i) {
                plain[i] = record[1 + i] ^ ordwin::kFirmwareXorMask;
            }
            const uint16_t crc = ordwin::FirmwarePageCrc(plain, ordwin::kFirmwarePageSize);
            EXPECT_EQ(record[513], crc >> 8) << "page " << p;
            EXPECT_EQ(record[514], crc & 0xFF) << "page " << p;
            if (p == 0) {
                EXPECT_EQ(plain[0], 'Z');
                EXPECT_EQ(plain[3], e.version);
                EXPECT_EQ(plain[4], e.pages);
            }
        }
        EXPECT_EQ(static_cast<int>(pages.size()), e.pages) << "page numbers are distinct";
        // The power value is patched into page 10 or 11, which every image holds.
        EXPECT_TRUE(pages.count(10) && pages.count(11));
    }
}

TEST(FirmwareImages, PageCrcFeedbackAfterTheShift) {
    // A single 0x80 byte: the bit reaches bit 15 only after the first shift,
    // so the feedback fires at once (the usual CRC-16 would test before).
    const uint8_t one[] = {0x80};
    uint16_t expected = 0x8000;
    for (int bit = 0; bit < 8; ++bit) {
        expected = static_cast<uint16_t>(expected << 1);
        if (expected & 0x8000) expected ^= 0x1021;
    }
    EXPECT_EQ(ordwin::FirmwarePageCrc(one, 1), expected);
    const uint8_t zeros[4] = {};
    EXPECT_EQ(ordwin::FirmwarePageCrc(zeros, 4), 0);
}

}  // namespace
