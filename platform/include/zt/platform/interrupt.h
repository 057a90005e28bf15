// Ctrl-C and termination requests, seen as a flag that long jobs look at
// between steps instead of being killed halfway through a chip.
#pragma once

namespace zt::platform {

// From now on an interrupt (Ctrl-C, SIGTERM, console close) sets the flag
// instead of ending the process; calls in progress carry on.
void CatchInterrupts();
// 0 until an interrupt came, then the signal number it stands for (SIGINT 2,
// SIGTERM 15), so that the exit status can say which.
int InterruptSignal();

}  // namespace zt::platform
