// Checking that the adapter runs the firmware this library expects.
#pragma once

#include <cstdint>

namespace ordwin {

struct DebugContext;

struct FirmwareExpectation {
    int mode;
    int checkPage;  // -1: small adapters are not probed with a page command
    int version;
    int pages;
};

// The expectation for the context's adapter; false for adapter types
// without one.
bool ExpectedFirmware(const DebugContext& context, int resetTarget, FirmwareExpectation* out);

int32_t CheckAdapterFirmware(DebugContext& context, int resetTarget);
// Reads the adapter's firmware version (the reply comes after a pause).
int32_t ReadAdapterVersion(DebugContext& context, uint8_t* version);
int32_t UpdateAdapterFirmware(DebugContext& context, int mode);
// Writes the fixed records and the filler that put an older serial adapter
// into its update mode, then handshakes again.
int32_t SwitchSerialToUpdateMode(DebugContext& context);

// The carried firmware images are generated for the virtual adapters only:
// true when the context's adapter is one of them.
bool CarriesFirmwareFor(const DebugContext& context);
// 0 when the adapter may receive the carried images; otherwise tells the user
// so and returns the update's failure code. Every path that writes adapter
// firmware asks this first.
int32_t RefuseUncarriedFirmware(const DebugContext& context);

}  // namespace ordwin
