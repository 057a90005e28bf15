// The per-connection description of the target derivative. Its 128-byte
// layout is fixed: fields in this order, natural alignment, explicit padding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ordwin {

struct DeviceRecord {
    uint8_t addressWidth;       // code address width in bits
    uint8_t derivativeId;       // as read at connection
    uint8_t debugLogicVersion;  // third identity byte read at connection
    uint8_t flashScale;         // flash timing scale of the family
    uint8_t revision;           // second byte of the identity reply
    uint8_t padding0[3];
    uint32_t codeSize;
    uint32_t lockSectorSize;
    uint32_t pageSize;
    uint32_t internalRamSize;
    uint32_t readLockAddress;
    uint32_t reservedEnd;
    uint32_t reservedStart;
    uint32_t scratchSize;  // 0 when the device has no scratch-pad flash
    uint32_t scratchAddress;
    uint32_t writeLockAddress;
    uint16_t familyCode;  // as read at connection
    uint8_t padding1[2];
    uint32_t externalRamSize;  // 0 when the device has no XDATA
    uint32_t bankCount;
    uint32_t breakpointCount;
    char name[64];  // zero-terminated
};

static_assert(sizeof(DeviceRecord) == 128);
static_assert(offsetof(DeviceRecord, revision) == 4);
static_assert(offsetof(DeviceRecord, codeSize) == 8);
static_assert(offsetof(DeviceRecord, writeLockAddress) == 44);
static_assert(offsetof(DeviceRecord, familyCode) == 48);
static_assert(offsetof(DeviceRecord, externalRamSize) == 52);
static_assert(offsetof(DeviceRecord, breakpointCount) == 60);
static_assert(offsetof(DeviceRecord, name) == 64);

// The reserved range includes both ends.
inline bool InReserved(const DeviceRecord& record, uint32_t address) {
    return address >= record.reservedStart && address <= record.reservedEnd;
}

}  // namespace ordwin
