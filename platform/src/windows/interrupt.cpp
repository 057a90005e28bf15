#include "zt/platform/interrupt.h"

#include <windows.h>

namespace zt::platform {
namespace {

volatile LONG g_signal = 0;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    // The numbers POSIX gives these, so exit statuses read the same.
    InterlockedExchange(&g_signal, event == CTRL_C_EVENT ? 2 : 15);
    return TRUE;
}

}  // namespace

void CatchInterrupts() {
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

int InterruptSignal() {
    return static_cast<int>(g_signal);
}

}  // namespace zt::platform
