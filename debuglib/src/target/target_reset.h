// Resetting the connected target, optionally leaving it halted.
#pragma once

#include <cstdint>

namespace ordwin {

struct DebugContext;

int32_t ResetTarget(DebugContext& context, int pulse, int halt, int haltOption);

// The register set-up some families need after a halt or a connection.
int32_t FamilySetup(DebugContext& context);

}  // namespace ordwin
