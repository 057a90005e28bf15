// Result codes and their texts: the one table behind GetErrorMsg.
#pragma once

#include <cstdint>
#include <string>

#include "ordwin.h"

namespace ordwin {

// Text of a code in the table, or null for a code the table lacks. The code
// whose text comes from the operating system is not in the table.
const char* LookupErrorText(int32_t code);

// GetErrorMsg: the text of any code copied into one static buffer, which the
// next call overwrites.
const char* ErrorMessage(int32_t code);

// The transport's own words for why a transfer failed with `code` (the HID
// layer's error text); ErrorMessage adds them to that code's text until
// another failure is noted. An empty text forgets.
void NoteTransferProblem(int32_t code, const std::string& text);
// A failed transfer reported under another code: the reason noted for `from`
// goes with `to` (and none does when `from` had none).
void MoveTransferProblem(int32_t from, int32_t to);

constexpr int32_t kSystemErrorCode = static_cast<int32_t>(0x81040006);
constexpr int kErrorBufferSize = 256;

}  // namespace ordwin
