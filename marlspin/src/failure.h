#pragma once

#include <stdexcept>
#include <string>

#include "zt/composer_exit.h"

namespace marlspin {

using namespace zt::composer;  // the exit codes

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
