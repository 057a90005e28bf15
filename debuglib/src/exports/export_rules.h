// The checks every export makes before the work: the process-wide context,
// its readiness and connection, and arguments that must be 0 or 1. Only the
// export layer fetches the context; the operations below it take it.
#pragma once

#include <cstdint>

#include "devicedb/device_record.h"
#include "exports/debug_context.h"

namespace ordwin {

// What an export returns when load could not set the context up.
inline constexpr int32_t kNoContext = static_cast<int32_t>(0x81000031);

inline bool IsFlag(int value) {
    return value == 0 || value == 1;
}

// The connected flag alone (identity getters answer from what was read).
inline bool IsConnected(const DebugContext* ctx) {
    return ctx != nullptr && ctx->connected != 0;
}

// The context once set up, else nullptr.
inline DebugContext* ReadyContext() {
    DebugContext* ctx = Context();
    return ctx != nullptr && ctx->Ready() ? ctx : nullptr;
}

// The set-up context of a connected target, else nullptr.
inline DebugContext* ConnectedContext() {
    DebugContext* ctx = ReadyContext();
    return ctx != nullptr && ctx->connected ? ctx : nullptr;
}

}  // namespace ordwin
