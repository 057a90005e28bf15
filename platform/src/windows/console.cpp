#include "zt/platform/console.h"

#include <windows.h>

namespace zt::platform {

namespace {

HANDLE StreamHandle(int stream) {
    return GetStdHandle(stream == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

}  // namespace

bool IsTerminal(int stream) {
    DWORD mode = 0;
    return (stream == 1 || stream == 2) && GetConsoleMode(StreamHandle(stream), &mode) != 0;
}

int TerminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(StreamHandle(2), &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

bool EnableTerminalSequences() {
    const HANDLE h = StreamHandle(2);
    DWORD mode = 0;
    if (!GetConsoleMode(h, &mode)) return false;
    SetConsoleOutputCP(CP_UTF8);
    return SetConsoleMode(h, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void WriteStandardError(std::string_view text) {
    const HANDLE h = StreamHandle(2);
    while (!text.empty()) {
        DWORD written = 0;
        const DWORD chunk = text.size() > 0x10000 ? 0x10000 : static_cast<DWORD>(text.size());
        if (!WriteFile(h, text.data(), chunk, &written, nullptr) || written == 0) return;
        text.remove_prefix(written);
    }
}

}  // namespace zt::platform
