// The breakpoint table and the per-family breakpoint hardware.
#pragma once

#include <cstdint>

namespace ordwin {

struct DebugContext;

// SetClrBP after the argument checks of the export.
int32_t SetClearBreakpoint(DebugContext& context, bool set, uint32_t address);
// Reprograms the hardware from an enable mask of slots.
int32_t ProgramBreakpoints(DebugContext& context, uint16_t enableMask);
// Empties the table the way TargetReset does.
void ClearAllBreakpoints(DebugContext& context);

}  // namespace ordwin
