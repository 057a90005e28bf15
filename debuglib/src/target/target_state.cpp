#include "target/target_state.h"

#include <memory>

#include "exports/debug_context.h"

namespace ordwin {

TargetState& Target(DebugContext& context) {
    if (!context.target) context.target = std::make_shared<TargetState>();
    return *context.target;
}

void StartConnectionState(DebugContext& context) {
    TargetState& state = Target(context);
    state.breakpoints = BreakpointTable{};
    state.breakpointUpdate = false;
    state.sfr.Discard();
    state.lockByteFlag = false;
    // Pages left flagged by an earlier connection belong to another chip.
    state.pageFlags.fill(0);
}

}  // namespace ordwin
