// The Zeltra rows of the device database and the identity check.
#include "devicedb/device_database.h"

#include <gtest/gtest.h>

#include <cstring>

#include "connect/connection.h"
#include "exports/debug_context.h"
#include "ordwin.h"

namespace {

using ordwin::DeviceDatabase;
using ordwin::DeviceRecord;
using ordwin::DeviceTraits;

TEST(DeviceDatabase, ZeltraRecord) {
    DeviceRecord record;
    std::memset(&record, 0xEE, sizeof record);
    DeviceTraits traits;
    ASSERT_EQ(DeviceDatabase::BuildRecord(record, traits, 36, 0x02, 0xD0, 0x01), 0);
    EXPECT_EQ(record.familyCode, 36);
    EXPECT_EQ(record.derivativeId, 0xD0);
    EXPECT_EQ(record.revision, 0x02);
    EXPECT_EQ(record.debugLogicVersion, 0x01);
    EXPECT_EQ(record.codeSize, 0x8000u);
    EXPECT_EQ(record.pageSize, 512u);
    EXPECT_EQ(record.lockSectorSize, 512u);
    EXPECT_EQ(record.internalRamSize, 256u);
    EXPECT_EQ(record.externalRamSize, 0x10000u);
    EXPECT_EQ(record.reservedStart, 0xFFFFu);
    EXPECT_EQ(record.reservedEnd, 0xFFFFu);
    EXPECT_EQ(record.readLockAddress, 0xFFFFu);
    EXPECT_EQ(record.writeLockAddress, 0xFFFFu);
    EXPECT_EQ(record.addressWidth, 16);
    EXPECT_EQ(record.scratchSize, 0u);
    EXPECT_EQ(record.bankCount, 0u);
    EXPECT_STREQ(record.name, "Zeltra");
    EXPECT_FALSE(traits.writeOnce);
}

TEST(DeviceDatabase, NamesWithinTheFamily) {
    EXPECT_STREQ(DeviceDatabase::DeviceName(36, 0xD0), "Zeltra");
    EXPECT_STREQ(DeviceDatabase::DeviceName(36, 0xFF), "Zeltra Pristine");
    EXPECT_STREQ(DeviceDatabase::DeviceName(36, 0x12), "unknown");
    EXPECT_STREQ(DeviceDatabase::DeviceName(35, 0xD0), "unknown");
}

TEST(DeviceDatabase, KnownFamiliesOnly) {
    EXPECT_TRUE(DeviceDatabase::IsKnownDevice(36, 1, 0xD0));
    EXPECT_FALSE(DeviceDatabase::IsKnownDevice(60, 1, 0x01));
    DeviceRecord record{};
    DeviceTraits traits;
    EXPECT_EQ(DeviceDatabase::BuildRecord(record, traits, 60, 0, 0, 0), ORDWIN_E_STORE_MISSING);
}

TEST(DeviceDatabase, DefaultsAreUsableBeforeIdentification) {
    DeviceRecord record;
    std::memset(&record, 0xEE, sizeof record);
    ASSERT_EQ(DeviceDatabase::FillDefaults(record), 0);
    EXPECT_EQ(record.familyCode, 0);
    EXPECT_GT(record.codeSize, 0u);
    EXPECT_EQ(record.internalRamSize, 256u);
    EXPECT_EQ(record.name[sizeof record.name - 1], '\0');
}

TEST(IdentityCheck, ZeltraFamilyNeedsTheStateForOtherDerivatives) {
    ordwin::DebugContext ctx;
    ctx.hardwareId = 36;
    ctx.derivativeId = 0xD0;
    EXPECT_TRUE(ordwin::IdentityAccepted(ctx));
    for (uint8_t derivative : {0xFF, 0xD1, 0xD3}) {
        ctx.derivativeId = derivative;
        ctx.zeltraConnectionState = 0;
        EXPECT_FALSE(ordwin::IdentityAccepted(ctx)) << int(derivative);
        ctx.zeltraConnectionState = 1;
        EXPECT_TRUE(ordwin::IdentityAccepted(ctx)) << int(derivative);
    }
}

TEST(IdentityCheck, OtherFamilies) {
    ordwin::DebugContext ctx;
    const auto accepted = [&](int family, int derivative) {
        ctx.hardwareId = static_cast<uint16_t>(family);
        ctx.derivativeId = static_cast<uint8_t>(derivative);
        return ordwin::IdentityAccepted(ctx);
    };
    EXPECT_TRUE(accepted(1, 0));
    EXPECT_TRUE(accepted(48 - 16, 0));
    EXPECT_FALSE(accepted(49, 0));
    for (int refused : {21, 26, 33, 38, 39, 45, 46, 47, 48}) EXPECT_FALSE(accepted(refused, 0));
    EXPECT_TRUE(accepted(9, 0x58));
    EXPECT_TRUE(accepted(9, 0x59));
    EXPECT_FALSE(accepted(9, 0x5A));
    EXPECT_TRUE(accepted(10, 0x2C));
    EXPECT_TRUE(accepted(10, 0x61));
    EXPECT_FALSE(accepted(10, 0x30));
}

}  // namespace
