// The status byte that answers most target commands.
#pragma once

#include <cstdint>

#include "zt/adapter_protocol.h"

namespace ordwin {

// Result of a status byte: 0 for success, otherwise its failure code.
int32_t StatusToResult(uint8_t status);

}  // namespace ordwin
