// The terminal a command-line program reports progress on.
#pragma once

#include <string_view>

namespace zt::platform {

// Whether standard output (1) or standard error (2) is a terminal.
bool IsTerminal(int stream);

// The width in columns of the terminal on standard error; 0 when unknown.
int TerminalColumns();

// Lets the terminal on standard error take cursor movement sequences and
// UTF-8 text; false where it cannot.
bool EnableTerminalSequences();

// Writes `text` to standard error at once, unbuffered, in one call, so that
// lines of processes sharing the stream stay whole.
void WriteStandardError(std::string_view text);

}  // namespace zt::platform
