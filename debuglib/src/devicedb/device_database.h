// Knowledge of the derivatives the library can program, keyed by family code
// and derivative id.
#pragma once

#include <cstdint>

#include "devicedb/device_record.h"
#include "devicedb/device_traits.h"

namespace ordwin {

class DeviceDatabase {
  public:
    // The record before any target is identified: zeroed, then the defaults.
    static int FillDefaults(DeviceRecord& record);
    // The same, with the family facts of the defaults' family in the traits
    // (the rest of the traits is kept).
    static int FillDefaults(DeviceRecord& record, DeviceTraits& traits);

    // The row of a family code; nullptr for a code the database does not know.
    static const DeviceTraits* Family(uint16_t familyCode);

    // Whether an identified family and derivative may be connected (the
    // Zeltra's own rule aside).
    static bool AcceptsDerivative(uint16_t familyCode, uint8_t derivativeId);

    // Whether the identified target is a device this library knows.
    static bool IsKnownDevice(uint16_t familyCode, uint8_t debugLogicVersion, uint8_t derivativeId);

    // Fills the record of an identified target; returns 0 or a failure code
    // (0x8100002e for a family above 48). The breakpoint count of the Zeltra
    // family is left for the caller, which reads it from the target.
    static int BuildRecord(DeviceRecord& record, DeviceTraits& traits, uint16_t familyCode,
                           uint8_t revision, uint8_t derivativeId, uint8_t debugLogicVersion);

    // The derivative's name, "unknown" when the family lists no such derivative.
    static const char* DeviceName(uint16_t familyCode, uint8_t derivativeId);

    // XDATA bytes of a derivative; 0 when it has none.
    static uint32_t ExternalRamSize(uint16_t familyCode, uint8_t derivativeId);

    // Whether the family's code memory can be written only once.
    static bool IsWriteOnceFamily(uint16_t familyCode);
};

}  // namespace ordwin
