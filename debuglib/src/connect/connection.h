// Bringing the debug context from idle to a connected, identified target and
// back.
#pragma once

#include <cstdint>

namespace ordwin {

struct DebugContext;

enum class LinkState { kClose, kOpen };

// The connects behind the exports, which have checked disableDialogs; the
// protocol is checked where the sequence reaches it (after the previous
// connection is closed).
int32_t ConnectUSBImpl(DebugContext& context, const char* serialNumber, int protocol,
                       int connectOption, int disableDialogs);
int32_t ConnectImpl(DebugContext& context, int comPort, int disableDialogs, int protocol,
                    int baudIndex);
int32_t DisconnectImpl(DebugContext& context);

int32_t ConnectTarget(DebugContext& context);
int32_t AdapterHandshake(DebugContext& context);
int32_t IdentifyTarget(DebugContext& context);
int32_t SetConnectionState(DebugContext& context, LinkState state);
void DropLostTarget(DebugContext& context);
// 1 when the user accepted the reset and the target came back.
int OfferRecovery(DebugContext& context);

// Opens the adapter link with the context's checks; 0 or a failure code.
int32_t OpenAdapterLink(DebugContext& context);
// Stores a COM port, refusing numbers outside 1..512.
int32_t StoreComPort(DebugContext& context, int comPort);

// BaudRateLookup: the rate of a baud index, 0 for automatic baud.
int BaudRateForIndex(unsigned index);

// The identity check of the target's family and derivative.
bool IdentityAccepted(const DebugContext& context);

}  // namespace ordwin
