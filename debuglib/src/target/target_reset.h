// Resetting the connected target, optionally leaving it halted.
#pragma once

#include <cstdint>

namespace ordwin {

struct DebugContext;

int32_t ResetTarget(DebugContext& context, int pulse, int halt, int haltOption);

// Runs once the target of a new connection is identified: starts the
// connection's target state (breakpoints, SFR shadow, per-family register
// addresses) and does the register set-up of its family.
int32_t FamilySetup(DebugContext& context);

// The register set-up some families need after a halting reset.
int32_t FamilyRegisterSetup(DebugContext& context);

}  // namespace ordwin
