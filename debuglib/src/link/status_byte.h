// The status byte that answers most target commands.
#pragma once

#include <cstdint>

namespace ordwin {

inline constexpr uint8_t kStatusSuccess = 0x0D;

// Result of a status byte: 0 for success, otherwise its failure code.
int32_t StatusToResult(uint8_t status);

}  // namespace ordwin
