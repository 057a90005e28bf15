// Erasing the whole code memory through a connection of its own.
#pragma once

#include <cstdint>

namespace ordwin {

struct DebugContext;

// The erases behind the exports, which have checked disableDialogs.
int32_t FlashEraseSerial(DebugContext& context, int comPort, int disableDialogs, int protocol);
int32_t FlashEraseUsb(DebugContext& context, const char* serialNumber, int disableDialogs,
                      int protocol);

// The shortened connection an erase runs on; leaves the target identified
// and the record filled.
int32_t ConnectForErase(DebugContext& context);

}  // namespace ordwin
