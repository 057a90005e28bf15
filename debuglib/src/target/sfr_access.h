// Single SFR accesses through the direct register commands, optionally on an
// SFR page.
#pragma once

#include <cstdint>

namespace ordwin {

struct DebugContext;

inline constexpr int kNoSfrPage = 256;

// The family's SFR page register, or -1 for families without paging.
int SfrPageRegister(uint16_t familyCode);

int32_t ReadDirect(DebugContext& context, uint8_t address, uint8_t* value);
int32_t WriteDirect(DebugContext& context, uint8_t address, uint8_t value);
// Writes one SFR with the page selected for the write and restored after.
int32_t WriteSfrOnPage(DebugContext& context, int page, uint8_t address, uint8_t value);

}  // namespace ordwin
