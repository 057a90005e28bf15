#include "zt/platform/console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace zt::platform {

bool IsTerminal(int stream) {
    return ::isatty(stream) == 1;
}

int TerminalColumns() {
    winsize size{};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

bool EnableTerminalSequences() {
    return IsTerminal(STDERR_FILENO);
}

void WriteStandardError(std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(STDERR_FILENO, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace zt::platform
