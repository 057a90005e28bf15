// The record build: the Zeltra's values, described and list-less families,
// refused codes, the family-wide rules and the external-RAM table.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "devicedb/device_database.h"
#include "ordwin.h"

namespace ordwin {
namespace {

struct Built {
    int result = 0;
    DeviceRecord record{};
    DeviceTraits traits{};
};

// Builds as a connection does: defaults first, then the identified device.
Built Build(uint16_t family, uint8_t derivative, uint8_t revision = 2, uint8_t version = 1) {
    Built b;
    DeviceDatabase::FillDefaults(b.record);
    b.result =
        DeviceDatabase::BuildRecord(b.record, b.traits, family, revision, derivative, version);
    return b;
}

// The lowest derivative id the naming table lists for a family.
int FirstDerivative(uint16_t family) {
    for (int d = 0; d < 256; ++d) {
        if (std::strcmp(DeviceDatabase::DeviceName(family, uint8_t(d)), "unknown") != 0) return d;
    }
    return -1;
}

TEST(DeviceRecordBuild, ZeltraGetsItsFixedValues) {
    Built b = Build(36, 0xD0, 0x02, 0x01);
    ASSERT_EQ(b.result, 0);
    const DeviceRecord& r = b.record;
    EXPECT_EQ(r.familyCode, 36);
    EXPECT_EQ(r.derivativeId, 0xD0);
    EXPECT_EQ(r.revision, 0x02);
    EXPECT_EQ(r.debugLogicVersion, 0x01);
    EXPECT_EQ(r.codeSize, 0x8000u);
    EXPECT_EQ(r.pageSize, 512u);
    EXPECT_EQ(r.lockSectorSize, 512u);
    EXPECT_EQ(r.reservedStart, 0xFFFFu);
    EXPECT_EQ(r.reservedEnd, 0xFFFFu);
    EXPECT_EQ(r.readLockAddress, 0xFFFFu);
    EXPECT_EQ(r.writeLockAddress, 0xFFFFu);
    EXPECT_EQ(r.addressWidth, 16);
    EXPECT_EQ(r.internalRamSize, 256u);
    EXPECT_EQ(r.externalRamSize, 0x10000u);
    EXPECT_EQ(r.scratchSize, 0u);
    EXPECT_EQ(r.bankCount, 0u);
    EXPECT_STREQ(r.name, "Zeltra");
    EXPECT_FALSE(b.traits.writeOnce);
    EXPECT_EQ(b.traits.massEraseScale, 6);
    EXPECT_EQ(b.traits.pcRegister, 0x20);
    EXPECT_EQ(b.traits.haltedRegisters[0], 0x24);
    EXPECT_EQ(b.traits.haltedRegisters[2], 0x26);
}

TEST(DeviceRecordBuild, ZeltraFamilyNamesAndCountLeftToTheTarget) {
    EXPECT_STREQ(Build(36, 0xFF).record.name, "Zeltra Pristine");
    std::set<std::string> siblings;
    for (uint8_t d : {0xD1, 0xD2, 0xD3}) {
        Built b = Build(36, d);
        ASSERT_EQ(b.result, 0);
        EXPECT_STRNE(b.record.name, "unknown");
        EXPECT_EQ(std::string(b.record.name).rfind("Zeltra ", 0), 0u) << b.record.name;
        siblings.insert(b.record.name);
    }
    EXPECT_EQ(siblings.size(), 3u);
    EXPECT_STREQ(Build(36, 0xD7).record.name, "unknown");

    // The Zeltra's breakpoint count is read from the chip afterwards: the
    // build keeps what the record had.
    DeviceRecord r{};
    DeviceDatabase::FillDefaults(r);
    r.breakpointCount = 7;
    DeviceTraits t;
    ASSERT_EQ(DeviceDatabase::BuildRecord(r, t, 36, 2, 0xD0, 1), 0);
    EXPECT_EQ(r.breakpointCount, 7u);
}

TEST(DeviceRecordBuild, ZeltraRegistersThatItDoesNotUseStayAsTheyWere) {
    DeviceRecord r{};
    DeviceTraits t;
    t.breakpointRegisters[0] = 0x11;
    t.xadrl = 0x22;
    ASSERT_EQ(DeviceDatabase::BuildRecord(r, t, 36, 2, 0xD0, 1), 0);
    EXPECT_EQ(t.breakpointRegisters[0], 0x11);
    EXPECT_EQ(t.xadrl, 0x22);
}

TEST(DeviceRecordBuild, FamiliesAboveFortyEightAreRefusedUntouched) {
    for (uint16_t family : {49, 50, 0x100, 0xFFFF}) {
        DeviceRecord r{};
        DeviceDatabase::FillDefaults(r);
        DeviceRecord before = r;
        DeviceTraits t;
        EXPECT_EQ(DeviceDatabase::BuildRecord(r, t, family, 1, 0x01, 1), ORDWIN_E_STORE_MISSING)
            << family;
        EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0) << family;
        EXPECT_FALSE(DeviceDatabase::IsKnownDevice(family, 1, 0x01));
    }
    for (uint16_t family = 0; family <= 48; ++family) {
        EXPECT_TRUE(DeviceDatabase::IsKnownDevice(family, 1, 0x00)) << family;
    }
}

TEST(DeviceRecordBuild, ListlessFamilyTakesItsTableValues) {
    // Family 30: no description list; code row, fixed registers, 4 KiB XDATA.
    DeviceTraits t;
    DeviceRecord r{};
    DeviceDatabase::FillDefaults(r);
    const int d = FirstDerivative(30);
    ASSERT_GE(d, 0);
    const char* name = DeviceDatabase::DeviceName(30, uint8_t(d));
    ASSERT_EQ(DeviceDatabase::BuildRecord(r, t, 30, 3, uint8_t(d), 4), 0);
    EXPECT_STREQ(r.name, name);
    EXPECT_EQ(r.externalRamSize, 4096u);
    EXPECT_EQ(r.breakpointCount, 4u);
    EXPECT_GT(r.codeSize, 0u);
    EXPECT_GT(r.pageSize, 0u);
    EXPECT_LE(r.reservedEnd, 0xFFFFu);
    const uint8_t bp[4] = {0xCC, 0xCE, 0xD4, 0xD6};
    EXPECT_EQ(std::memcmp(t.breakpointRegisters, bp, 4), 0);
    EXPECT_EQ(t.xadrh, 0xC7);
    EXPECT_EQ(t.xadrl, 0xC6);
    EXPECT_EQ(t.xdata, 0xC5);
}

TEST(DeviceRecordBuild, RegisterTablesByFamily) {
    struct Row {
        uint16_t family;
        uint8_t bp[4];
        uint8_t x[3];  // XADRH, XADRL, XDATA
    };
    const Row rows[] = {
        // 4 and 47 set no XDATA registers: the starting values stay.
        {4, {0xD2, 0xD4, 0xD6, 0xDD}, {0xC7, 0xAD, 0x84}},
        {28, {0xCA, 0xCC, 0xD2, 0xD4}, {0xC7, 0xAD, 0x84}},
        {35, {0xD9, 0xDB, 0xDD, 0xED}, {0xC7, 0xC6, 0xC5}},
        {42, {0x8D, 0xAB, 0xCE, 0xD2}, {0xC7, 0xAD, 0x8C}},
        {43, {0x85, 0xAB, 0xD4, 0xD2}, {0xC4, 0xC3, 0x84}},
        {44, {0xCC, 0xCE, 0xD4, 0xD6}, {0xC7, 0x8F, 0x84}},
        {45, {0xE2, 0xEA, 0xF2, 0xFA}, {0xC7, 0xAD, 0x84}},
        {47, {0x85, 0xD5, 0xCE, 0xD2}, {0xC7, 0xAD, 0x84}},
        {12, {0x85, 0xAB, 0xCE, 0xD2}, {0xC7, 0xAD, 0x84}},
    };
    for (const Row& row : rows) {
        DeviceRecord r{};
        DeviceTraits t;
        ASSERT_EQ(DeviceDatabase::BuildRecord(r, t, row.family, 1, 0x01, 1), 0) << row.family;
        EXPECT_EQ(std::memcmp(t.breakpointRegisters, row.bp, 4), 0) << row.family;
        EXPECT_EQ(t.xadrh, row.x[0]) << row.family;
        EXPECT_EQ(t.xadrl, row.x[1]) << row.family;
        EXPECT_EQ(t.xdata, row.x[2]) << row.family;
    }
}

TEST(DeviceRecordBuild, FamilyWideRules) {
    const std::set<int> writeOnce = {16, 19, 23, 24, 25, 26, 27, 38, 39, 44, 45};
    for (uint16_t family = 0; family <= 48; ++family) {
        Built b = Build(family, 0x01);
        ASSERT_EQ(b.result, 0) << family;
        EXPECT_EQ(b.traits.writeOnce, writeOnce.count(family) == 1) << family;
        int scale = (family == 0 || family == 2 || family == 3 || family == 5 || family == 6)
                        ? 10
                        : (family == 7 ? 49 : 6);
        EXPECT_EQ(b.traits.massEraseScale, scale) << family;
        EXPECT_EQ(b.record.internalRamSize, 256u) << family;
        if (family != 36) {
            EXPECT_EQ(b.record.breakpointCount, family == 13 ? 2u : 4u) << family;
        }
        bool shifted = family == 39 || family == 45;
        EXPECT_EQ(b.traits.haltedRegisters[0], shifted ? 0x3B : 0x24) << family;
        EXPECT_EQ(b.traits.haltedRegisters[1], shifted ? 0x3C : 0x25) << family;
        EXPECT_EQ(b.traits.haltedRegisters[2], shifted ? 0x3D : 0x26) << family;
        EXPECT_EQ(b.traits.pcRegister, 0x20);
        // Every layout is usable by the range checks.
        EXPECT_GT(b.record.codeSize, 0u) << family;
        EXPECT_EQ(b.record.codeSize % b.record.pageSize, 0u) << family;
        EXPECT_EQ(b.record.familyCode, family);
    }
}

TEST(DeviceRecordBuild, FamiliesMixingSizesAreLaidOutByDerivative) {
    // Family 9 mixes 16 KiB and 32 KiB members.
    Built small = Build(9, 0x58);
    Built large = Build(9, 0x59);
    ASSERT_EQ(small.result, 0);
    ASSERT_EQ(large.result, 0);
    EXPECT_NE(small.record.codeSize, large.record.codeSize);
    EXPECT_STRNE(small.record.name, large.record.name);
    // An unlisted member of such a family still gets a layout of its family.
    Built other = Build(9, 0xEE);
    ASSERT_EQ(other.result, 0);
    EXPECT_STREQ(other.record.name, "unknown");
    EXPECT_TRUE(other.record.codeSize == small.record.codeSize ||
                other.record.codeSize == large.record.codeSize);
}

TEST(DeviceRecordBuild, BankedFamilyCarriesItsBanks) {
    Built b = Build(13, 0x01);
    ASSERT_EQ(b.result, 0);
    EXPECT_EQ(b.record.bankCount, 4u);
    EXPECT_EQ(b.record.codeSize, 0x20000u);
    EXPECT_EQ(b.record.addressWidth, 17);
}

TEST(ExternalRamTable, SizesByFamilyAndDerivative) {
    struct Row {
        uint16_t family;
        uint32_t size;
    };
    const Row rows[] = {
        {0, 0},        {4, 0},     {16, 0},    {17, 0},       {27, 0},      {39, 0},
        {47, 0},       {8, 1024},  {13, 1024}, {14, 1024},    {19, 1024},   {38, 1024},
        {43, 1024},    {48, 1024}, {10, 512},  {11, 512},     {20, 512},    {23, 512},
        {29, 512},     {31, 512},  {9, 2048},  {12, 2048},    {22, 4096},   {30, 4096},
        {42, 8192},    {46, 6144}, {37, 256},  {36, 0x10000}, {3, 0x10000}, {33, 0x10000},
        {49, 0x10000},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(DeviceDatabase::ExternalRamSize(row.family, 0x01), row.size) << row.family;
    }
    // By derivative: members differ, an unlisted member has none.
    for (uint16_t family : {1, 2, 15, 28, 35, 40, 41}) {
        std::set<uint32_t> sizes;
        for (int d = 0; d < 256; ++d) {
            if (std::strcmp(DeviceDatabase::DeviceName(family, uint8_t(d)), "unknown") == 0) {
                EXPECT_EQ(DeviceDatabase::ExternalRamSize(family, uint8_t(d)), 0u);
                continue;
            }
            sizes.insert(DeviceDatabase::ExternalRamSize(family, uint8_t(d)));
            EXPECT_EQ(Build(family, uint8_t(d)).record.externalRamSize,
                      DeviceDatabase::ExternalRamSize(family, uint8_t(d)));
        }
        EXPECT_GT(sizes.size(), 1u) << family;
    }
}

TEST(DeviceNames, TableHoldsUniqueNamesAndUnknownOtherwise) {
    std::set<std::string> names;
    int count = 0;
    for (int family = 0; family <= 48; ++family) {
        for (int d = 0; d < 256; ++d) {
            std::string name = DeviceDatabase::DeviceName(uint16_t(family), uint8_t(d));
            if (name == "unknown") continue;
            ++count;
            EXPECT_LT(name.size(), 64u);
            EXPECT_TRUE(names.insert(name).second) << name;
        }
    }
    EXPECT_EQ(count, 350);
    EXPECT_STREQ(DeviceDatabase::DeviceName(49, 0x01), "unknown");
    EXPECT_STREQ(DeviceDatabase::DeviceName(36, 0xD0), "Zeltra");
}

TEST(DeviceDefaults, PlainRecordBeforeIdentification) {
    DeviceRecord r;
    std::memset(&r, 0xAB, sizeof r);
    ASSERT_EQ(DeviceDatabase::FillDefaults(r), 0);
    EXPECT_EQ(r.familyCode, 0);
    EXPECT_EQ(r.derivativeId, 0);
    EXPECT_EQ(r.internalRamSize, 256u);
    EXPECT_STREQ(r.name, "unknown");
    // Everything past the name's terminator is cleared as well.
    for (size_t i = std::strlen(r.name); i < sizeof r.name; ++i) EXPECT_EQ(r.name[i], 0);
}

}  // namespace
}  // namespace ordwin
