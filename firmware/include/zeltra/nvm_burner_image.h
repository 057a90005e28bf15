#pragma once

#include <cstddef>

#include "zt/firmware_layout.h"

namespace zeltra::firmware {

// The NVM burner as assembled, from code address 0x0000; bytes not written by
// the assembler are 0xFF. Its parameter table starts at kNvmBurnerParamAddress.
extern const unsigned char kNvmBurnerImage[];
extern const std::size_t kNvmBurnerImageSize;

inline constexpr unsigned kNvmBurnerParamAddress = zt::burner::kParamTable;

}  // namespace zeltra::firmware
