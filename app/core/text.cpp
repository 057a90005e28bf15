#include "text.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace cindral {

std::string NarrowText(std::u16string_view text, std::size_t bufferSize) {
    std::string out;
    if (bufferSize == 0) return out;
    for (char16_t unit : text) {
        if (unit == 0 || out.size() + 1 >= bufferSize) break;
        out.push_back(static_cast<char>(unit & 0xFF));
    }
    return out;
}

std::u16string WidenText(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (char c : bytes) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return out;
}

// UTF-8 by hand: the standard conversion throws on a lone surrogate, which a
// settings file or a typed path can carry. It becomes U+FFFD instead.
std::string ToUtf8(std::u16string_view path) {
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        char32_t c = path[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < path.size() && path[i + 1] >= 0xDC00 &&
            path[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (path[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | c >> 6));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | c >> 12));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | c >> 18));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// Through char8_t: a plain string would be taken in the ANSI code page on Windows.
std::filesystem::path ToPath(std::u16string_view path) {
    const std::string utf8 = ToUtf8(path);
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::u16string FromPath(const std::filesystem::path& path) {
    // A file name that is not UTF-8 comes back with U+FFFD, not as an exception.
    try {
        return path.u16string();
    } catch (const std::exception&) {
        return WidenText(path.string());
    }
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out;
    if (needed > 0) {
        std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, args);
        out.assign(buffer.data(), static_cast<std::size_t>(needed));
    }
    va_end(args);
    return out;
}

}  // namespace cindral
