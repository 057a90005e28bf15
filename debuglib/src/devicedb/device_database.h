// Knowledge of the derivatives the library can program, keyed by family code
// and derivative id.
#pragma once

#include <cstdint>

#include "devicedb/device_record.h"

namespace ordwin {

inline constexpr uint16_t kZeltraFamily = 36;
inline constexpr uint8_t kZeltraDerivative = 0xD0;
inline constexpr uint8_t kZeltraPristineDerivative = 0xFF;

// Values of the context that are set with the record but live outside its
// 128 bytes; the target operations take them from here and nowhere else. A
// register the build does not set for a family keeps its value, which before
// the first connection is the common one of the newer families.
struct DeviceTraits {
    bool writeOnce = false;
    int massEraseScale = 6;
    // Debug core, in the direct register space: PC low byte (high byte next),
    // and where R0, R1, R2 sit while the core is halted.
    uint8_t pcRegister = 0x20;
    uint8_t haltedRegisters[3] = {0x24, 0x25, 0x26};
    // Low-address register of breakpoint slots 0 to 3 (the high one is next).
    uint8_t breakpointRegisters[4] = {0x85, 0xAB, 0xCE, 0xD2};
    // XDATA access registers.
    uint8_t xadrh = 0xC7;
    uint8_t xadrl = 0xAD;
    uint8_t xdata = 0x84;
};

class DeviceDatabase {
  public:
    // The record before any target is identified: zeroed, then the defaults.
    static int FillDefaults(DeviceRecord& record);

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
