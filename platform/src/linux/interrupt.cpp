#include "zt/platform/interrupt.h"

#include <signal.h>

#include <csignal>

namespace zt::platform {
namespace {

volatile std::sig_atomic_t g_signal = 0;

void OnSignal(int signo) {
    g_signal = signo;
}

}  // namespace

void CatchInterrupts() {
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    // Library calls in progress carry on; the flag is looked at between steps.
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

int InterruptSignal() {
    return g_signal;
}

}  // namespace zt::platform
