// Register and memory transfers through the adapter's debug commands: single
// SFRs (optionally on an SFR page), C2 interface registers, and the packet
// loops of the memory commands.
#pragma once

#include <cstdint>

#include "devicedb/device_traits.h"
#include "link/target_commands.h"

namespace ordwin {

struct DebugContext;

// The family's SFR page register, or -1 for families without paging.
int SfrPageRegister(const DebugContext& context);

int32_t ReadDirect(DebugContext& context, uint8_t address, uint8_t* value);
int32_t WriteDirect(DebugContext& context, uint8_t address, uint8_t value);
// Writes one SFR with the page selected for the write and restored after.
int32_t WriteSfrOnPage(DebugContext& context, int page, uint8_t address, uint8_t value);
int32_t ReadSfrOnPage(DebugContext& context, int page, uint8_t address, uint8_t* value);

// C2 interface registers (indirect commands).
int32_t ReadC2Register(DebugContext& context, uint8_t reg, uint8_t* value);
int32_t WriteC2Register(DebugContext& context, uint8_t reg, uint8_t value);
// A C2 register write on an SFR page, for the families whose breakpoint
// registers sit behind the page register 0xA7.
int32_t WriteC2RegisterOnPage(DebugContext& context, int page, uint8_t reg, uint8_t value);

// Reads count (at most 255) bytes in packets of the link's read chunk.
int32_t ReadPackets(DebugContext& context, uint8_t op, AddressShape shape, uint32_t address,
                    int count, uint8_t* out);
// Writes count (at most 255) bytes in packets of at most chunk bytes, each
// acknowledged by a status byte.
int32_t WritePackets(DebugContext& context, uint8_t op, AddressShape shape, uint32_t address,
                     int count, const uint8_t* data, int chunk);
// Any count: pieces of at most 255 bytes, each read into scratch space and
// copied out when it succeeded.
int32_t ReadPieces(DebugContext& context, uint8_t op, AddressShape shape, uint32_t address,
                   uint32_t count, uint8_t* out);

// Block reads and writes of the direct register space (SFRs, debug core).
int32_t ReadDirectBlock(DebugContext& context, uint8_t address, int count, uint8_t* out);
int32_t WriteDirectBlock(DebugContext& context, uint8_t address, int count, const uint8_t* data);

}  // namespace ordwin
