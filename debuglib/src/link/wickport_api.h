// The Wickport calls the library makes, gathered in one table so that every
// call site goes through the same binding.
#pragma once

#include <cstdint>

namespace ordwin {

struct WickportApi {
    int (*getDeviceCount)(int* count);
    int (*resetBootMode)();
    int (*selectDevice)(const char* serialNumber);
    int (*setTimeout)(int milliseconds);
    int (*getSelectedSerial)(const char** serialNumber);
    int (*getSerialByIndex)(int index, const char** serialNumber);
    int (*open)();
    int (*close)();
    int (*read)(uint8_t* buffer, int length, int* received);
    int (*write)(const uint8_t* packet, int length);
    int (*resetAdapter)();
    int (*getVersion)(const char** version);
    int (*setControlValue)(int id, int value);
    int (*getControlValue)(int id, uint8_t* value);
    int (*getProductId)(int* productId);
    int (*getProductIdByIndex)(int index, int* productId);
    int (*setFeatureReport)(uint8_t* report, int length);
    int (*getFeatureReport)(uint8_t* report, int length);
    // Our extension, not an ordinal: which backend the selected adapter is on.
    int (*getBackend)(int* backend);
    int (*getOpenError)(const char** text);  // also ours: why the last open failed
    // Also ours: a fixed pause, on a virtual adapter's own clock; null sleeps.
    int (*pause)(int milliseconds);
    // Also ours: the HID layer's reason for the last failed transfer.
    int (*getLastError)(const char** text);
};

// The binding in force: libwickport unless a test replaced it.
const WickportApi& Wickport();

// Replaces the binding (null restores libwickport); for tests of the layers
// above the HID library.
void SetWickportApi(const WickportApi* api);

}  // namespace ordwin
