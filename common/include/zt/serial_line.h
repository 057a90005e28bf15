// The line rates of a serial adapter link and their termios speeds, for the
// library's port and the virtual adapter's pseudo-terminal alike.
#pragma once

#include <termios.h>

namespace zt::serial {

struct LineRate {
    int baud;
    speed_t speed;
};

inline constexpr LineRate kLineRates[] = {{2400, B2400},   {9600, B9600},   {19200, B19200},
                                          {38400, B38400}, {57600, B57600}, {115200, B115200}};

// B0 for a rate not in the table.
constexpr speed_t SpeedFor(int baud) {
    for (const LineRate& rate : kLineRates) {
        if (rate.baud == baud) return rate.speed;
    }
    return B0;
}

// 0 for a speed not in the table.
constexpr int BaudOf(speed_t speed) {
    for (const LineRate& rate : kLineRates) {
        if (rate.speed == speed) return rate.baud;
    }
    return 0;
}

// Each rate and speed stands once, so the lookups agree both ways.
static_assert([] {
    for (const LineRate& rate : kLineRates) {
        if (BaudOf(SpeedFor(rate.baud)) != rate.baud) return false;
        if (SpeedFor(BaudOf(rate.speed)) != rate.speed) return false;
    }
    return true;
}());

}  // namespace zt::serial
