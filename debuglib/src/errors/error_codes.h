// Result codes and their texts: the one table behind GetErrorMsg.
#pragma once

#include <cstdint>

#include "ordwin.h"

namespace ordwin {

// Text of a code in the table, or null for a code the table lacks. The code
// whose text comes from the operating system is not in the table.
const char* LookupErrorText(int32_t code);

// GetErrorMsg: the text of any code copied into one static buffer, which the
// next call overwrites.
const char* ErrorMessage(int32_t code);

constexpr int32_t kSystemErrorCode = static_cast<int32_t>(0x81040006);
constexpr int kErrorBufferSize = 256;

}  // namespace ordwin
