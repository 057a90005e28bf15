// zeltra-sim: runs an Intel-HEX program on a virtual Zeltra from the command line.
#pragma once

#include <ostream>

namespace zsim {

// The whole program: returns the exit status (0 stop address reached, 3 cycle
// limit, 2 bad arguments or input, or a state directory that could not be written).
int ZeltraSimMain(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace zsim
