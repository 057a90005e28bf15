// Halting, running, stepping and resetting the target, its run state and
// program counter.
#pragma once

#include <cstdint>

namespace ordwin {

struct DebugContext;

int32_t HaltTarget(DebugContext& context);
// The halt of a JTAG target: board state 1, then the halt flag.
int32_t JtagHaltTarget(DebugContext& context);
int32_t RunTarget(DebugContext& context);
int32_t StepTarget(DebugContext& context);
int32_t PollTargetStatus(DebugContext& context, int* status);
int32_t ReadProgramCounter(DebugContext& context, uint32_t* pc);
int32_t WriteProgramCounter(DebugContext& context, uint32_t pc);

// The user's reset: the target reset with halt, then every breakpoint cleared.
int32_t ResetTargetAndBreakpoints(DebugContext& context);

}  // namespace ordwin
