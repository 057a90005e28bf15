// Context-level work with USB adapters: listing, choosing, feature reports.
#pragma once

#include <cstdint>

namespace ordwin {

struct DebugContext;

int32_t CountUsbAdapters(DebugContext& context, int* count);
int32_t SetUSBDeviceImpl(DebugContext& context, const char* serialNumber);

int32_t GetPinModeImpl(uint8_t* a, uint8_t* b, uint8_t* c);
int32_t SetPinModeImpl(uint8_t a, uint8_t b, uint8_t c);
int32_t GetPinLatchImpl(uint8_t* latch);
int32_t SetPinLatchImpl(uint8_t mask, uint8_t value);

}  // namespace ordwin
