// Packet sizes of the two transports, kept together so the serial link uses
// the same numbers as the block transfers.
#pragma once

#include "zt/adapter_protocol.h"

namespace ordwin {

// Data bytes of one block-read packet.
inline constexpr int kUsbReadChunk = 60;
inline constexpr int kSerialReadChunk = 12;
// Data bytes of one memory-write packet.
inline constexpr int kUsbWriteChunk = 60;
inline constexpr int kSerialWriteChunk = 8;
// Block writes carry at most this many data bytes on either adapter.
inline constexpr int kBlockWriteChunk = 60;

}  // namespace ordwin
