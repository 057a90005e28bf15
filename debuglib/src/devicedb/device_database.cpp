#include "devicedb/device_database.h"

#include <cstdio>
#include <cstring>

#include "devicedb/description_store.h"
#include "devicedb/device_tables.h"
#include "ordwin.h"
#include "zt/xdata_registers.h"

namespace ordwin {
namespace {

using devicedb::CodeRow;

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

int SetBreakpointRegisters(const DeviceTraits& row, const DescriptionStore& store,
                           DeviceTraits& traits) {
    uint8_t* r = traits.breakpointRegisters;
    switch (row.breakpointRegisterSource) {
        case RegisterSource::kDescription: {
            static const char* const kSlots[4][2] = {
                {"BP0", "BPL0"}, {"BP1", "BPL1"}, {"BP2", "BPL2"}, {"BP3", "BPL3"}};
            for (int i = 0; i < 4; ++i) {
                int result = ReadRegister(store, kSlots[i][0], kSlots[i][1], &r[i]);
                if (result != 0) return result;
            }
            return 0;
        }
        case RegisterSource::kRow:
            std::memcpy(r, row.breakpointRegisters, sizeof traits.breakpointRegisters);
            return 0;
        case RegisterSource::kKept:
            return 0;
    }
    return 0;
}

int SetXdataRegisters(uint16_t family, const DeviceTraits& row, const DescriptionStore& store,
                      DeviceTraits& traits) {
    if (row.xdataRegisterSource == RegisterSource::kDescription) {
        int result = ReadRegister(store, "XADR", "XADRH", &traits.xadrh);
        if (result == 0) result = ReadRegister(store, "XADR", "XADRL", &traits.xadrl);
        if (result == 0) result = ReadRegister(store, "XDATA", "XDATA", &traits.xdata);
        return result;
    }
    // A family without address registers keeps the previous ones.
    if (const zt::family::XdataRegisters* regs = zt::family::XdataRegistersOf(family)) {
        traits.xadrh = regs->high;
        traits.xadrl = regs->low;
        traits.xdata = regs->data;
    }
    return 0;
}

}  // namespace

int DeviceDatabase::FillDefaults(DeviceRecord& record, DeviceTraits& traits) {
    const int result = FillDefaults(record);
    static_cast<FamilyTraits&>(traits) = *Family(record.familyCode);
    return result;
}

const DeviceTraits* DeviceDatabase::Family(uint16_t familyCode) {
    return familyCode < devicedb::kFamilyTraitsCount ? &devicedb::kFamilyTraits[familyCode]
                                                     : nullptr;
}

bool DeviceDatabase::AcceptsDerivative(uint16_t familyCode, uint8_t derivativeId) {
    const DeviceTraits* row = Family(familyCode);
    if (!row || !row->accepted) return false;
    if (!row->acceptsListedDerivativesOnly) return true;
    for (size_t i = 0; i < devicedb::kAcceptedDerivativeCount; ++i) {
        const devicedb::DerivativeRow& listed = devicedb::kAcceptedDerivatives[i];
        if (listed.family == familyCode && listed.derivative == derivativeId) return true;
    }
    return false;
}

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
    const DeviceTraits* row = Family(familyCode);
    return row && row->writeOnce;
}

uint32_t DeviceDatabase::ExternalRamSize(uint16_t familyCode, uint8_t derivativeId) {
    const DeviceTraits* row = Family(familyCode);
    if (!row) return 0x10000;
    if (!row->xramByDerivative) return row->externalRamSize;
    for (size_t i = 0; i < devicedb::kXramRowCount; ++i) {
        const devicedb::XramRow& listed = devicedb::kXramRows[i];
        if (listed.family == familyCode && listed.derivative == derivativeId) return listed.size;
    }
    // A derivative these families do not list is taken to have none.
    return 0;
}

int DeviceDatabase::BuildRecord(DeviceRecord& record, DeviceTraits& traits, uint16_t familyCode,
                                uint8_t revision, uint8_t derivativeId, uint8_t debugLogicVersion) {
    // 1. The family's description list (none for the newer families).
    DescriptionStore store;
    int result = store.SelectFamily(familyCode);
    if (result != 0) return result;
    const DeviceTraits* row = Family(familyCode);
    if (!row) return ORDWIN_E_STORE_MISSING;

    // 2. Identity.
    record.revision = revision;
    record.familyCode = familyCode;
    record.derivativeId = derivativeId;
    record.debugLogicVersion = debugLogicVersion;
    static_cast<FamilyTraits&>(traits) = *row;

    // 3. Debug core registers.
    traits.pcRegister = row->pcRegister;
    std::memcpy(traits.haltedRegisters, row->haltedRegisters, sizeof traits.haltedRegisters);

    // 4. Code memory layout.
    const CodeRow* code = FindCodeRow(familyCode, derivativeId);
    if (!code) return ORDWIN_E_STORE_MISSING;
    record.codeSize = code->codeSize;
    record.scratchSize = code->scratchSize;
    record.scratchAddress = code->scratchAddress;
    record.pageSize = code->pageSize;
    record.lockSectorSize = code->lockSectorSize;
    record.reservedStart = code->reservedStart;
    record.reservedEnd = code->reservedEnd;
    record.readLockAddress = code->readLockAddress;
    record.writeLockAddress = code->writeLockAddress;
    record.addressWidth = code->addressWidth;
    record.flashScale = code->flashScale;
    record.bankCount = code->bankCount;

    // 5, 6. Erase scale and RAM sizes.
    traits.massEraseScale = row->massEraseScale;
    record.internalRamSize = 256;
    record.externalRamSize = ExternalRamSize(familyCode, derivativeId);

    // 7. Breakpoint and XDATA registers.
    result = SetBreakpointRegisters(*row, store, traits);
    if (result == 0) result = SetXdataRegisters(familyCode, *row, store, traits);
    if (result != 0) return result;

    // 8. Write-once flag by family.
    traits.writeOnce = row->writeOnce;

    // 9. Breakpoint count, unless the target reports it.
    if (row->breakpointCount != 0) record.breakpointCount = row->breakpointCount;

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
