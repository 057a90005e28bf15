// Hexadecimal digits as every text reader of the tree decodes them.
#pragma once

namespace zt {

// The value of one hexadecimal digit, or -1.
constexpr int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The byte of two hexadecimal digits, or -1.
constexpr int HexByte(char high, char low) {
    const int h = HexDigit(high);
    const int l = HexDigit(low);
    return h < 0 || l < 0 ? -1 : h << 4 | l;
}

}  // namespace zt
