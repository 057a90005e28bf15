// The description store: its shape, its lookups, and its agreement with the
// record that the build makes for every described derivative.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "devicedb/description_store.h"
#include "devicedb/device_database.h"
#include "ordwin.h"

namespace ordwin {
namespace {

const int kDescribed[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 18};

const char* const kPartKeys[] = {
    "/Name",
    "/DSR/RevisionRange/MinRevision",
    "/Memory/InternalRAM/Size",
    "/Memory/ExternalRAM/Size/OnChipSize",
    "/Memory/ExternalRAM/Size/EMIF",
    "/Memory/Scratch/Size",
    "/Memory/Code/Size",
    "/Memory/Code/AddScratchToCode",
    "/Memory/Code/PageSize",
    "/Memory/Code/LockSectorSize",
    "/Memory/Code/AddressWidth",
    "/Memory/Code/WriteType",
    "/Memory/Code/FlashScale",
    "/Memory/Code/MassEraseScale",
    "/Memory/Code/Banked/BankCount",
    "/Memory/Code/Reserved/StartAddress",
    "/Memory/Code/Reserved/EndAddress",
    "/Memory/Code/Security/ReadLockByte/Address",
    "/Memory/Code/Security/WriteLockByte/Address",
};

std::string RegisterKey(const char* direct, const char* byte) {
    return std::string(
               "//Family/DebugInterface/DbgIntfRegister/Direct/DirectRegister[SymbolName='") +
           direct + "']/ByteRegister[SymbolName='" + byte + "']/Address";
}

// The derivative id of a per-derivative key, or -1 for a family key.
int DerivativeOf(const std::string& key, std::string* rest) {
    unsigned id = 0;
    char tail[200] = {};
    if (std::sscanf(key.c_str(), "//Part[DerivativeID='%2X']%199s", &id, tail) != 2) return -1;
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "//Part[DerivativeID='%2.2X']", id);
    if (key.rfind(prefix, 0) != 0) return -1;
    *rest = tail;
    return int(id);
}

int Lower(const char* a, const char* b) {
    for (;; ++a, ++b) {
        int ca = std::tolower(static_cast<unsigned char>(*a));
        int cb = std::tolower(static_cast<unsigned char>(*b));
        if (ca != cb || ca == 0) return ca - cb;
    }
}

TEST(DescriptionStoreShape, SeventeenSortedListsWithKnownKeyShapes) {
    int lists = 0;
    for (const devicedb::StoreFamily* f = devicedb::kStoreFamilies; f->family != -1; ++f) {
        ++lists;
        ASSERT_NE(f->pairs, nullptr);
    }
    EXPECT_EQ(lists, 17);

    std::set<std::string> shapes(std::begin(kPartKeys), std::end(kPartKeys));
    std::set<std::string> registerKeys;
    for (auto [d, b] : {std::pair{"BP0", "BPL0"},
                        {"BP1", "BPL1"},
                        {"BP2", "BPL2"},
                        {"BP3", "BPL3"},
                        {"XADR", "XADRL"},
                        {"XADR", "XADRH"},
                        {"XDATA", "XDATA"}})
        registerKeys.insert(RegisterKey(d, b));

    int pairs = 0;
    int derivatives = 0;
    int withRegisters = 0;
    for (int family : kDescribed) {
        const devicedb::StorePair* list = DescriptionStore::ListOf(family);
        ASSERT_NE(list, nullptr) << family;
        std::map<int, std::set<std::string>> parts;
        int registers = 0;
        for (int i = 0; list[i].key; ++i) {
            ++pairs;
            ASSERT_NE(list[i].value, nullptr);
            EXPECT_LT(std::strlen(list[i].value), size_t(DescriptionStore::kTextSize));
            if (i > 0) {
                EXPECT_LT(Lower(list[i - 1].key, list[i].key), 0) << list[i].key;
            }
            std::string rest;
            int d = DerivativeOf(list[i].key, &rest);
            if (d < 0) {
                EXPECT_EQ(registerKeys.count(list[i].key), 1u) << list[i].key;
                ++registers;
                continue;
            }
            EXPECT_EQ(shapes.count(rest), 1u) << list[i].key;
            parts[d].insert(rest);
        }
        EXPECT_TRUE(registers == 0 || registers == 7) << family;
        if (registers) ++withRegisters;
        for (const auto& [d, keys] : parts) {
            ++derivatives;
            for (const char* required :
                 {"/Name", "/Memory/InternalRAM/Size", "/Memory/Code/Size", "/Memory/Code/PageSize",
                  "/Memory/Code/LockSectorSize", "/Memory/Code/AddressWidth",
                  "/Memory/Code/WriteType", "/Memory/Code/Reserved/StartAddress",
                  "/Memory/Code/Reserved/EndAddress", "/Memory/Code/Security/ReadLockByte/Address",
                  "/Memory/Code/Security/WriteLockByte/Address"})
                EXPECT_EQ(keys.count(required), 1u) << family << " " << d << required;
        }
    }
    EXPECT_EQ(pairs, 1849);
    EXPECT_EQ(derivatives, 117);
    EXPECT_EQ(withRegisters, 9);
    EXPECT_EQ(DescriptionStore::ListOf(36), nullptr);
    EXPECT_EQ(DescriptionStore::ListOf(14), nullptr);
}

TEST(DescriptionStoreLookup, SelectsListsAcceptsListlessAndRefusesTheRest) {
    DescriptionStore store;
    for (int family : kDescribed) {
        EXPECT_EQ(store.SelectFamily(family), 0) << family;
        EXPECT_TRUE(store.HasList()) << family;
    }
    for (int family : {14, 17, 19, 30, 36, 48}) {
        EXPECT_EQ(store.SelectFamily(family), 0) << family;
        EXPECT_FALSE(store.HasList()) << family;
        bool present = true;
        char text[DescriptionStore::kTextSize];
        uint32_t value = 0;
        EXPECT_EQ(store.HasKey("//Part[DerivativeID='01']/Name", &present), ORDWIN_E_NOT_IN_STORE);
        EXPECT_EQ(store.GetText("//Part[DerivativeID='01']/Name", text), ORDWIN_E_NOT_IN_STORE);
        EXPECT_EQ(store.GetHex("//Part[DerivativeID='01']/Name", &value), ORDWIN_E_NOT_IN_STORE);
    }
    for (int family : {-1, 49, 100, 65535}) {
        EXPECT_EQ(store.SelectFamily(family), ORDWIN_E_STORE_MISSING) << family;
        EXPECT_FALSE(store.HasList());
    }
}

TEST(DescriptionStoreLookup, KeysMatchWithoutRegardToCase) {
    DescriptionStore store;
    ASSERT_EQ(store.SelectFamily(5), 0);
    const devicedb::StorePair* list = DescriptionStore::ListOf(5);
    // Every key, in three spellings, finds its own value.
    for (int i = 0; list[i].key; ++i) {
        std::string upper = list[i].key;
        std::string lower = list[i].key;
        for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
        for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
        for (const std::string& key : {std::string(list[i].key), upper, lower}) {
            bool present = false;
            ASSERT_EQ(store.HasKey(key.c_str(), &present), 0);
            EXPECT_TRUE(present) << key;
            char text[DescriptionStore::kTextSize];
            ASSERT_EQ(store.GetText(key.c_str(), text), 0) << key;
            EXPECT_STREQ(text, list[i].value) << key;
        }
    }
}

TEST(DescriptionStoreLookup, MissingKeysAndHexValues) {
    DescriptionStore store;
    ASSERT_EQ(store.SelectFamily(13), 0);
    bool present = true;
    char text[DescriptionStore::kTextSize] = "untouched";
    uint32_t value = 7;
    EXPECT_EQ(store.HasKey("//Part[DerivativeID='01']/Nam", &present), 0);
    EXPECT_FALSE(present);
    EXPECT_EQ(store.HasKey(nullptr, &present), 0);
    EXPECT_FALSE(present);
    EXPECT_EQ(store.GetText("//Part[DerivativeID='01']/Nam", text), ORDWIN_E_STORE_MISSING);
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(store.GetHex("", &value), ORDWIN_E_STORE_MISSING);
    EXPECT_EQ(value, 7u);

    // A banked family's reserved area lies above 64 KiB: six hex digits.
    int d = -1;
    for (int i = 0; i < 256 && d < 0; ++i) {
        if (std::strcmp(DeviceDatabase::DeviceName(13, uint8_t(i)), "unknown") != 0) d = i;
    }
    ASSERT_GE(d, 0);
    char key[96];
    std::snprintf(key, sizeof key, "//Part[DerivativeID='%2.2X']/Memory/Code/Reserved/StartAddress",
                  d);
    ASSERT_EQ(store.GetText(key, text), 0);
    EXPECT_EQ(std::strlen(text), 6u) << text;
    ASSERT_EQ(store.GetHex(key, &value), 0);
    EXPECT_EQ(value, std::stoul(text, nullptr, 16));
    EXPECT_GT(value, 0xFFFFu);
}

// Every described derivative's record agrees with its description.
TEST(DescriptionStoreAgreement, RecordValuesMatchTheStoreKeys) {
    for (int family : kDescribed) {
        DescriptionStore store;
        ASSERT_EQ(store.SelectFamily(family), 0);
        const devicedb::StorePair* list = DescriptionStore::ListOf(family);
        std::set<int> ids;
        for (int i = 0; list[i].key; ++i) {
            std::string rest;
            int d = DerivativeOf(list[i].key, &rest);
            if (d >= 0) ids.insert(d);
        }
        for (int d : ids) {
            char prefix[32];
            std::snprintf(prefix, sizeof prefix, "//Part[DerivativeID='%2.2X']", d);
            auto text = [&](const char* what) {
                char value[DescriptionStore::kTextSize] = "";
                bool present = false;
                std::string key = std::string(prefix) + what;
                store.HasKey(key.c_str(), &present);
                if (!present) return std::string();
                store.GetText(key.c_str(), value);
                return std::string(value);
            };
            auto dec = [&](const char* what) {
                std::string t = text(what);
                return t.empty() ? 0ul : std::stoul(t, nullptr, 10);
            };
            auto hex = [&](const char* what) { return std::stoul(text(what), nullptr, 16); };

            DeviceRecord r{};
            DeviceDatabase::FillDefaults(r);
            DeviceTraits t;
            ASSERT_EQ(DeviceDatabase::BuildRecord(r, t, uint16_t(family), 1, uint8_t(d), 1), 0);
            SCOPED_TRACE(std::to_string(family) + "/" + prefix);
            EXPECT_EQ(r.name, text("/Name"));
            EXPECT_EQ(r.internalRamSize, dec("/Memory/InternalRAM/Size"));
            EXPECT_EQ(r.codeSize, dec("/Memory/Code/Size"));
            EXPECT_EQ(r.pageSize, dec("/Memory/Code/PageSize"));
            EXPECT_EQ(r.lockSectorSize, dec("/Memory/Code/LockSectorSize"));
            EXPECT_EQ(r.addressWidth, dec("/Memory/Code/AddressWidth"));
            EXPECT_EQ(r.flashScale, dec("/Memory/Code/FlashScale"));
            EXPECT_EQ(t.massEraseScale, int(dec("/Memory/Code/MassEraseScale")));
            EXPECT_EQ(r.bankCount, dec("/Memory/Code/Banked/BankCount"));
            EXPECT_EQ(r.scratchSize, dec("/Memory/Scratch/Size"));
            EXPECT_EQ(r.externalRamSize, dec("/Memory/ExternalRAM/Size/OnChipSize"));
            EXPECT_EQ(r.reservedStart, hex("/Memory/Code/Reserved/StartAddress"));
            EXPECT_EQ(r.reservedEnd, hex("/Memory/Code/Reserved/EndAddress"));
            EXPECT_EQ(r.readLockAddress, hex("/Memory/Code/Security/ReadLockByte/Address"));
            EXPECT_EQ(r.writeLockAddress, hex("/Memory/Code/Security/WriteLockByte/Address"));
            EXPECT_EQ(t.writeOnce, text("/Memory/Code/WriteType") == "WriteOnce");
        }
    }
}

TEST(DescriptionStoreAgreement, DescribedRegistersComeFromTheList) {
    for (uint16_t family : {0, 1, 2, 5, 6, 7}) {
        DescriptionStore store;
        ASSERT_EQ(store.SelectFamily(family), 0);
        DeviceRecord r{};
        DeviceTraits t;
        ASSERT_EQ(DeviceDatabase::BuildRecord(r, t, family, 1, 0x01, 1), 0);
        const char* slots[4][2] = {
            {"BP0", "BPL0"}, {"BP1", "BPL1"}, {"BP2", "BPL2"}, {"BP3", "BPL3"}};
        for (int i = 0; i < 4; ++i) {
            uint32_t v = 0;
            ASSERT_EQ(store.GetHex(RegisterKey(slots[i][0], slots[i][1]).c_str(), &v), 0);
            EXPECT_EQ(t.breakpointRegisters[i], v) << family << " slot " << i;
        }
        uint32_t h = 0, l = 0, x = 0;
        ASSERT_EQ(store.GetHex(RegisterKey("XADR", "XADRH").c_str(), &h), 0);
        ASSERT_EQ(store.GetHex(RegisterKey("XADR", "XADRL").c_str(), &l), 0);
        ASSERT_EQ(store.GetHex(RegisterKey("XDATA", "XDATA").c_str(), &x), 0);
        EXPECT_EQ(t.xadrh, h);
        EXPECT_EQ(t.xadrl, l);
        EXPECT_EQ(t.xdata, x);
    }
    // Family 3 describes no registers: they stay as they were.
    DeviceRecord r{};
    DeviceTraits t;
    const uint8_t before[4] = {1, 2, 3, 4};
    std::memcpy(t.breakpointRegisters, before, 4);
    t.xadrh = 9;
    ASSERT_EQ(DeviceDatabase::BuildRecord(r, t, 3, 1, 0x01, 1), 0);
    EXPECT_EQ(std::memcmp(t.breakpointRegisters, before, 4), 0);
    EXPECT_EQ(t.xadrh, 9);
}

}  // namespace
}  // namespace ordwin
