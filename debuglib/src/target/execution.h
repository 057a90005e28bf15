// Halting, running, stepping and resetting the target, its run state and
// program counter, and the exports of breakpoints.
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

// Complete exports (checks included).
int32_t SetTargetHaltExport();
int32_t SetTargetGoExport();
int32_t TargetStepExport();
int32_t TargetResetExport();
int32_t GetTargetStatusExport(int* status);
int32_t ReadPCExport(uint32_t* pc);
int32_t WritePCExport(uint32_t pc);
int32_t SetClrBPExport(int set, uint32_t address);

}  // namespace ordwin
