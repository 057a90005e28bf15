#include "devicedb/device_database.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "devicedb/description_store.h"
#include "devicedb/device_tables.h"
#include "ordwin.h"

namespace ordwin {
namespace {

using devicedb::CodeRow;

bool IsIn(int value, std::initializer_list<int> set) {
    for (int v : set) {
        if (v == value) return true;
    }
    return false;
}

void SetName(DeviceRecord& record, const char* name) {
    std::snprintf(record.name, sizeof record.name, "%s", name);
}

// The derivative's own row, else the family's row for every derivative, else
// (a derivative a mixed family does not list) the family's first row.
const CodeRow* FindCodeRow(uint16_t family, uint8_t derivative) {
    const CodeRow* first = nullptr;
    const CodeRow* any = nullptr;
    for (size_t i = 0; i < devicedb::kCodeRowCount; ++i) {
        const CodeRow& row = devicedb::kCodeRows[i];
        if (row.family != family) continue;
        if (row.derivative == derivative) return &row;
        if (row.derivative == devicedb::kAnyDerivative && !any) any = &row;
        if (!first) first = &row;
    }
    return any ? any : first;
}

int MassEraseScale(uint16_t family) {
    if (IsIn(family, {0, 2, 3, 5, 6})) return 10;
    if (family == 7) return 49;
    return 6;
}

const char* RegisterKey(const char* direct, const char* byte, char (&key)[160]) {
    std::snprintf(key, sizeof key,
                  "//Family/DebugInterface/DbgIntfRegister/Direct/DirectRegister[SymbolName='%s']"
                  "/ByteRegister[SymbolName='%s']/Address",
                  direct, byte);
    return key;
}

// Reads one register address from the family's list; an absent key leaves
// the register as it was.
int ReadRegister(const DescriptionStore& store, const char* direct, const char* byte,
                 uint8_t* reg) {
    char key[160];
    RegisterKey(direct, byte, key);
    bool present = false;
    if (store.HasKey(key, &present) != 0) return ORDWIN_E_STORE_ACCESS;
    if (!present) return 0;
    uint32_t value = 0;
    int result = store.GetHex(key, &value);
    if (result != 0) return result;
    *reg = static_cast<uint8_t>(value);
    return 0;
}

// Families whose debug registers come from their description rather than
// from the tables below.
bool DescribedRegisters(uint16_t family) {
    return (family >= 5 && family <= 7) || family < 4 || family > 48;
}

int SetBreakpointRegisters(uint16_t family, const DescriptionStore& store, DeviceTraits& traits) {
    uint8_t* r = traits.breakpointRegisters;
    auto set = [r](uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
        r[0] = a;
        r[1] = b;
        r[2] = c;
        r[3] = d;
    };
    if (DescribedRegisters(family)) {
        static const char* const kSlots[4][2] = {
            {"BP0", "BPL0"}, {"BP1", "BPL1"}, {"BP2", "BPL2"}, {"BP3", "BPL3"}};
        for (int i = 0; i < 4; ++i) {
            int result = ReadRegister(store, kSlots[i][0], kSlots[i][1], &r[i]);
            if (result != 0) return result;
        }
    } else if (IsIn(family, {4, 16, 27, 19, 23, 38})) {
        set(0xD2, 0xD4, 0xD6, 0xDD);
    } else if (IsIn(family, {15, 18, 21, 24, 25, 26, 30, 40, 44})) {
        set(0xCC, 0xCE, 0xD4, 0xD6);
    } else if (IsIn(family, {28, 32, 33, 34, 39})) {
        set(0xCA, 0xCC, 0xD2, 0xD4);
    } else if (family == 35) {
        set(0xD9, 0xDB, 0xDD, 0xED);
    } else if (family == 42) {
        set(0x8D, 0xAB, 0xCE, 0xD2);
    } else if (family == 43) {
        set(0x85, 0xAB, 0xD4, 0xD2);
    } else if (family == 45) {
        set(0xE2, 0xEA, 0xF2, 0xFA);
    } else if (family == 47) {
        set(0x85, 0xD5, 0xCE, 0xD2);
    } else if (family == kZeltraFamily) {
        // Slots are reached through a select register instead.
    } else {
        set(0x85, 0xAB, 0xCE, 0xD2);
    }
    return 0;
}

int SetXdataRegisters(uint16_t family, const DescriptionStore& store, DeviceTraits& traits) {
    auto set = [&traits](uint8_t h, uint8_t l, uint8_t d) {
        traits.xadrh = h;
        traits.xadrl = l;
        traits.xdata = d;
    };
    if (DescribedRegisters(family)) {
        int result = ReadRegister(store, "XADR", "XADRH", &traits.xadrh);
        if (result == 0) result = ReadRegister(store, "XADR", "XADRL", &traits.xadrl);
        if (result == 0) result = ReadRegister(store, "XDATA", "XDATA", &traits.xdata);
        return result;
    }
    if (IsIn(family, {15, 18, 30, 35})) {
        set(0xC7, 0xC6, 0xC5);
    } else if (IsIn(family, {24, 25, 26, 40, 44})) {
        set(0xC7, 0x8F, 0x84);
    } else if (family == 42) {
        set(0xC7, 0xAD, 0x8C);
    } else if (family == 43) {
        set(0xC4, 0xC3, 0x84);
    } else if (IsIn(family, {4, 16, 27, 36, 47})) {
        // These reach XDATA without address registers.
    } else {
        set(0xC7, 0xAD, 0x84);
    }
    return 0;
}

}  // namespace

int DeviceDatabase::FillDefaults(DeviceRecord& record) {
    std::memset(&record, 0, sizeof record);
    // A plain 8051 with 64 KiB of code until the target says otherwise.
    record.addressWidth = 16;
    record.codeSize = 0x10000;
    record.pageSize = 512;
    record.lockSectorSize = 512;
    record.internalRamSize = 256;
    record.readLockAddress = 0xFFFF;
    record.writeLockAddress = 0xFFFF;
    record.reservedStart = 0xFFFF;
    record.reservedEnd = 0xFFFF;
    record.externalRamSize = 0x10000;
    record.breakpointCount = 4;
    SetName(record, "unknown");
    return 0;
}

bool DeviceDatabase::IsKnownDevice(uint16_t familyCode, uint8_t /*debugLogicVersion*/,
                                   uint8_t derivativeId) {
    return FindCodeRow(familyCode, derivativeId) != nullptr;
}

bool DeviceDatabase::IsWriteOnceFamily(uint16_t familyCode) {
    return IsIn(familyCode, {16, 19, 23, 24, 25, 26, 27, 38, 39, 44, 45});
}

uint32_t DeviceDatabase::ExternalRamSize(uint16_t familyCode, uint8_t derivativeId) {
    if (IsIn(familyCode, {1, 2, 15, 28, 35, 40, 41})) {
        for (size_t i = 0; i < devicedb::kXramRowCount; ++i) {
            const devicedb::XramRow& row = devicedb::kXramRows[i];
            if (row.family == familyCode && row.derivative == derivativeId) return row.size;
        }
        // A derivative these families do not list is taken to have none.
        return 0;
    }
    if (IsIn(familyCode, {0, 4, 16, 17, 27, 39, 47})) return 0;
    if (IsIn(familyCode, {8, 13, 14, 19, 38, 43, 48})) return 1024;
    if (IsIn(familyCode, {10, 11, 20, 23, 29, 31})) return 512;
    if (IsIn(familyCode, {9, 12})) return 2048;
    if (IsIn(familyCode, {22, 30})) return 4096;
    if (familyCode == 42) return 8192;
    if (familyCode == 46) return 6144;
    if (familyCode == 37) return 256;
    return 0x10000;
}

int DeviceDatabase::BuildRecord(DeviceRecord& record, DeviceTraits& traits, uint16_t familyCode,
                                uint8_t revision, uint8_t derivativeId, uint8_t debugLogicVersion) {
    // 1. The family's description list (none for the newer families).
    DescriptionStore store;
    int result = store.SelectFamily(familyCode);
    if (result != 0) return result;

    // 2. Identity.
    record.revision = revision;
    record.familyCode = familyCode;
    record.derivativeId = derivativeId;
    record.debugLogicVersion = debugLogicVersion;

    // 3. Debug core registers.
    traits.pcRegister = 0x20;
    if (familyCode == 39 || familyCode == 45) {
        traits.haltedRegisters[0] = 0x3B;
        traits.haltedRegisters[1] = 0x3C;
        traits.haltedRegisters[2] = 0x3D;
    } else {
        traits.haltedRegisters[0] = 0x24;
        traits.haltedRegisters[1] = 0x25;
        traits.haltedRegisters[2] = 0x26;
    }

    // 4. Code memory layout.
    const CodeRow* row = FindCodeRow(familyCode, derivativeId);
    if (!row) return ORDWIN_E_STORE_MISSING;
    record.codeSize = row->codeSize;
    record.scratchSize = row->scratchSize;
    record.scratchAddress = row->scratchAddress;
    record.pageSize = row->pageSize;
    record.lockSectorSize = row->lockSectorSize;
    record.reservedStart = row->reservedStart;
    record.reservedEnd = row->reservedEnd;
    record.readLockAddress = row->readLockAddress;
    record.writeLockAddress = row->writeLockAddress;
    record.addressWidth = row->addressWidth;
    record.flashScale = row->flashScale;
    record.bankCount = row->bankCount;

    // 5, 6. Erase scale and RAM sizes.
    traits.massEraseScale = MassEraseScale(familyCode);
    record.internalRamSize = 256;
    record.externalRamSize = ExternalRamSize(familyCode, derivativeId);

    // 7. Breakpoint and XDATA registers.
    result = SetBreakpointRegisters(familyCode, store, traits);
    if (result == 0) result = SetXdataRegisters(familyCode, store, traits);
    if (result != 0) return result;

    // 8. Write-once flag by family.
    traits.writeOnce = IsWriteOnceFamily(familyCode);

    // 9. Breakpoint count; the Zeltra family's is read from the target.
    if (familyCode == 13) {
        record.breakpointCount = 2;
    } else if (familyCode != kZeltraFamily) {
        record.breakpointCount = 4;
    }

    // 10. Name.
    SetName(record, DeviceName(familyCode, derivativeId));
    return 0;
}

const char* DeviceDatabase::DeviceName(uint16_t familyCode, uint8_t derivativeId) {
    for (size_t i = 0; i < devicedb::kNameRowCount; ++i) {
        const devicedb::NameRow& row = devicedb::kNameRows[i];
        if (row.family == familyCode && row.derivative == derivativeId) return row.name;
    }
    return "unknown";
}

}  // namespace ordwin
