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

}  // namespace ordwin
