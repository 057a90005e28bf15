// The device database's tables: family traits, code layouts, external RAM by derivative,
// names and the description store's lists (data in device_tables.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "devicedb/device_traits.h"

namespace ordwin::devicedb {

// A code row that holds for every derivative of its family.
inline constexpr int kAnyDerivative = -1;

struct CodeRow {
    uint16_t family;
    int derivative;  // or kAnyDerivative
    uint32_t codeSize;
    uint32_t scratchSize;
    uint32_t scratchAddress;
    uint32_t pageSize;
    uint32_t lockSectorSize;
    uint32_t reservedStart;
    uint32_t reservedEnd;
    uint32_t readLockAddress;
    uint32_t writeLockAddress;
    uint8_t addressWidth;
    uint8_t flashScale;
    uint32_t bankCount;
};

struct XramRow {
    uint16_t family;
    uint8_t derivative;
    uint32_t size;
};

struct NameRow {
    uint16_t family;
    uint8_t derivative;
    const char* name;
};

struct StorePair {
    const char* key;
    const char* value;
};

// One described family: its pairs sorted by key (ignoring case), ending with
// a null key. The table ends with family -1.
struct StoreFamily {
    int family;
    const StorePair* pairs;
};

struct DerivativeRow {
    uint16_t family;
    uint8_t derivative;
};

// Indexed by family code.
extern const DeviceTraits kFamilyTraits[];
extern const size_t kFamilyTraitsCount;
extern const DerivativeRow kAcceptedDerivatives[];
extern const size_t kAcceptedDerivativeCount;
extern const CodeRow kCodeRows[];
extern const size_t kCodeRowCount;
extern const XramRow kXramRows[];
extern const size_t kXramRowCount;
extern const NameRow kNameRows[];
extern const size_t kNameRowCount;
extern const StoreFamily kStoreFamilies[];

}  // namespace ordwin::devicedb
