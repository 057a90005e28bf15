#pragma once

#include <stdexcept>
#include <string>

namespace marlspin {

// Exit codes, as Cindral interprets them.
enum ExitCode : int {
    kExitOk = 0,
    kExitCommandLine = 1,
    kExitFirstBootAddress = 2,
    kExitBurnerCreation = 3,
    kExitOutputDir = 4,
    kExitBootHexInput = 5,
    kExitBootMemInput = 6,
    kExitAppHexInput = 7,
    kExitAppMemInput = 8,
    kExitDirectInput = 9,
    kExitAddressSpec = 10,
    kExitBurnFile = 11,
    kExitUnhandled = 12,
};

// A failure that ends the run with an exit code and a message for the operator.
class Failure : public std::runtime_error {
  public:
    Failure(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int code() const { return code_; }

  private:
    int code_;
};

// printf-style formatting into a std::string.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace marlspin
