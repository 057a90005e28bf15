#pragma once

#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "compose.h"

namespace marlspin {

// What the command line asks for: a compose, a direct burn, or an exit code
// right away (help, version, or a command-line error already reported).
struct Parsed {
    std::variant<int, ComposeRequest, DirectRequest> request;
};

Parsed ParseCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The whole program: parse, compose, write the burn file. Returns the exit code.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace marlspin
