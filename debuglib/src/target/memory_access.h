// Internal RAM, XDATA, SFRs (direct, paged and through the shadow), C2
// registers, code memory and page CRCs. Each function runs after the argument
// and connection checks of its export unless it says otherwise.
#pragma once

#include <cstdint>

namespace ordwin {

struct DebugContext;

int32_t ReadRam(DebugContext& context, uint8_t* buffer, uint32_t start, uint32_t count);
int32_t WriteRam(DebugContext& context, const uint8_t* buffer, uint32_t start, uint32_t count);
int32_t ReadXram(DebugContext& context, uint8_t* buffer, uint32_t start, uint32_t count);
int32_t WriteXram(DebugContext& context, const uint8_t* buffer, uint32_t start, uint32_t count);

int32_t ReadSfrShadow(DebugContext& context, uint8_t* buffer, uint32_t start, uint32_t count);
int32_t WriteSfrShadow(DebugContext& context, const uint8_t* buffer, uint32_t start,
                       uint32_t count);
// Writes every changed shadow register to the target.
int32_t WriteBackSfrShadow(DebugContext& context);
// Forgets the shadow without writing it.
void DiscardSfrShadow(DebugContext& context);

// Code memory as the target holds it.
int32_t ReadCode(DebugContext& context, uint8_t* buffer, uint32_t start, uint32_t count);

// Page CRC as the target computes it, high byte first.
int32_t ReadPageCrc(DebugContext& context, uint8_t page, uint8_t* crc);

}  // namespace ordwin
