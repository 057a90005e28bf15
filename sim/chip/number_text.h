// Numbers as the simulator's users type them: "0x" hex or plain decimal.
#pragma once

#include <cstdint>
#include <string>

#include "zt/hex_digit.h"

namespace zsim {

// True and *out set when text is a number no greater than max; nothing else
// (signs, spaces, an empty text, overflow) is accepted.
inline bool ParseNumberText(const std::string& text, uint64_t max, uint64_t* out) {
    if (text.empty()) return false;
    int base = 10;
    size_t i = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        i = 2;
    }
    uint64_t v = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int d = zt::HexDigit(c);
        if (d >= base) d = -1;
        if (d < 0 || uint64_t(d) > max || v > (max - uint64_t(d)) / uint64_t(base)) return false;
        v = v * uint64_t(base) + uint64_t(d);
    }
    *out = v;
    return true;
}

}  // namespace zsim
