#include "devicedb/device_database.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "ordwin.h"

namespace ordwin {
namespace {

struct NameRow {
    uint16_t family;
    uint8_t derivative;
    const char* name;
};

constexpr NameRow kNames[] = {
    {kZeltraFamily, kZeltraDerivative, "Zeltra"},
    {kZeltraFamily, kZeltraPristineDerivative, "Zeltra Pristine"},
};

struct CodeLayout {
    uint16_t family;
    uint32_t codeSize;
    uint32_t pageSize;
    uint32_t lockSectorSize;
    uint32_t reservedStart;
    uint32_t reservedEnd;
    uint32_t readLock;
    uint32_t writeLock;
    uint8_t addressWidth;
    uint32_t externalRam;
};

constexpr CodeLayout kLayouts[] = {
    {kZeltraFamily, 0x8000, 512, 512, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 16, 0x10000},
};

const CodeLayout* FindLayout(uint16_t family) {
    for (const CodeLayout& layout : kLayouts) {
        if (layout.family == family) return &layout;
    }
    return nullptr;
}

bool IsIn(uint16_t code, std::initializer_list<uint16_t> codes) {
    for (uint16_t c : codes) {
        if (c == code) return true;
    }
    return false;
}

DeviceTraits TraitsFor(uint16_t family) {
    DeviceTraits traits;
    traits.writeOnce = IsIn(family, {16, 19, 23, 24, 25, 26, 27, 38, 39, 44, 45});
    if (IsIn(family, {0, 2, 3, 5, 6})) {
        traits.massEraseScale = 10;
    } else if (family == 7) {
        traits.massEraseScale = 49;
    }
    return traits;
}

void SetName(DeviceRecord& record, const char* name) {
    std::snprintf(record.name, sizeof record.name, "%s", name);
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
                                   uint8_t /*derivativeId*/) {
    return FindLayout(familyCode) != nullptr;
}

int DeviceDatabase::BuildRecord(DeviceRecord& record, DeviceTraits& traits, uint16_t familyCode,
                                uint8_t revision, uint8_t derivativeId, uint8_t debugLogicVersion) {
    const CodeLayout* layout = FindLayout(familyCode);
    if (layout == nullptr) return ORDWIN_E_STORE_MISSING;
    std::memset(&record, 0, sizeof record);
    record.revision = revision;
    record.familyCode = familyCode;
    record.derivativeId = derivativeId;
    record.debugLogicVersion = debugLogicVersion;
    record.codeSize = layout->codeSize;
    record.pageSize = layout->pageSize;
    record.lockSectorSize = layout->lockSectorSize;
    record.reservedStart = layout->reservedStart;
    record.reservedEnd = layout->reservedEnd;
    record.readLockAddress = layout->readLock;
    record.writeLockAddress = layout->writeLock;
    record.addressWidth = layout->addressWidth;
    record.internalRamSize = 256;
    record.externalRamSize = layout->externalRam;
    // The breakpoint count of the Zeltra family is read from the target
    // afterwards; eight is the most its hardware has.
    record.breakpointCount = familyCode == 13 ? 2 : (familyCode == kZeltraFamily ? 8 : 4);
    traits = TraitsFor(familyCode);
    SetName(record, DeviceName(familyCode, derivativeId));
    return 0;
}

const char* DeviceDatabase::DeviceName(uint16_t familyCode, uint8_t derivativeId) {
    for (const NameRow& row : kNames) {
        if (row.family == familyCode && row.derivative == derivativeId) return row.name;
    }
    return "unknown";
}

}  // namespace ordwin
