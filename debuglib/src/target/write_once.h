// Write-once (OTP) devices: the write mode around a programming pass and the
// status read after each code write. Both do nothing on other devices, the
// Zeltra among them.
#pragma once

#include <cstdint>

namespace ordwin {

struct DebugContext;

// The connected device's write-once flag, as the device database set it.
bool IsWriteOnce(const DebugContext& context);

int32_t EnterWriteMode(DebugContext& context);
int32_t LeaveWriteMode(DebugContext& context);
// 0, or ORDWIN_E_STATUS_FLASH when the device reports the last write failed.
int32_t ReadWriteStatus(DebugContext& context);

}  // namespace ordwin
