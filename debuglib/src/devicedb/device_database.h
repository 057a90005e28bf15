// Knowledge of the derivatives the library can program, keyed by family code
// and derivative id.
#pragma once

#include <cstdint>

#include "devicedb/device_record.h"

namespace ordwin {

inline constexpr uint16_t kZeltraFamily = 36;
inline constexpr uint8_t kZeltraDerivative = 0xD0;
inline constexpr uint8_t kZeltraPristineDerivative = 0xFF;

// Values of the record that are not part of its 128 bytes but are set with it.
struct DeviceTraits {
    bool writeOnce = false;
    int massEraseScale = 6;
};

class DeviceDatabase {
  public:
    // The record before any target is identified: zeroed, then the defaults.
    static int FillDefaults(DeviceRecord& record);

    // Whether the identified target is a device this library knows.
    static bool IsKnownDevice(uint16_t familyCode, uint8_t debugLogicVersion, uint8_t derivativeId);

    // Fills the record of an identified target; returns 0 or a failure code.
    static int BuildRecord(DeviceRecord& record, DeviceTraits& traits, uint16_t familyCode,
                           uint8_t revision, uint8_t derivativeId, uint8_t debugLogicVersion);

    // The derivative's name, "unknown" when the family lists no such derivative.
    static const char* DeviceName(uint16_t familyCode, uint8_t derivativeId);
};

}  // namespace ordwin
