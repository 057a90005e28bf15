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
// settings file or a typed path can carry. It becomes U+FFFD instead, but for
// U+DC80..U+DCFF, which stand for the bytes FromUtf8 could not decode.
std::string ToUtf8(std::u16string_view path) {
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        char32_t c = path[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < path.size() && path[i + 1] >= 0xDC00 &&
            path[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (path[++i] - 0xDC00);
        } else if (c >= 0xDC80 && c <= 0xDCFF) {
            out.push_back(static_cast<char>(c - 0xDC00));
            continue;
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

std::u16string FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    const auto byte = [&text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char b = byte(i);
        std::size_t length = 0;
        char32_t c = 0, least = 0;
        if (b < 0x80) {
            length = 1, c = b;
        } else if (b >= 0xC2 && b <= 0xDF) {
            length = 2, c = b & 0x1F, least = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3, c = b & 0x0F, least = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4, c = b & 0x07, least = 0x10000;
        }
        bool valid = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            valid = (byte(i + k) & 0xC0) == 0x80;
            c = (c << 6) | (byte(i + k) & 0x3F);
        }
        // Overlong forms, encoded surrogates and code points past U+10FFFF too.
        valid = valid && c >= least && !(c >= 0xD800 && c <= 0xDFFF) && c <= 0x10FFFF;
        if (!valid) {
            out.push_back(static_cast<char16_t>(0xDC00 + b));
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += length;
    }
    return out;
}

// Through char8_t: a plain string would be taken in the ANSI code page on Windows.
std::filesystem::path ToPath(std::u16string_view path) {
    const std::string utf8 = ToUtf8(path);
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::filesystem::path Utf8Path(std::string_view path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

std::u16string FromPath(const std::filesystem::path& path) {
    // A Linux file name that is not UTF-8 keeps its bytes, to be found again.
    const std::u8string text = path.u8string();
    return FromUtf8(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
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
