// Text conversions between the program's UTF-16 text and the 8-bit strings of
// the library and the file functions.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace cindral {

// Keeps the low byte of each UTF-16 unit, stopping at a NUL or when a buffer of
// bufferSize bytes (terminator included) would be full. Non-ASCII is not translated.
std::string NarrowText(std::u16string_view text, std::size_t bufferSize);

// The inverse mapping: each byte becomes the UTF-16 unit of the same value.
std::u16string WidenText(std::string_view bytes);

// ASCII literal or plain 8-bit text to UTF-16 (same mapping as WidenText).
inline std::u16string U16(std::string_view bytes) {
    return WidenText(bytes);
}

// UTF-16 text as UTF-8, the form the platform layer takes paths in; a lone
// surrogate becomes U+FFFD, except U+DC80..U+DCFF, which give back the byte
// FromUtf8 kept in them.
std::string ToUtf8(std::u16string_view text);
// UTF-8 text (a path or argument as the system gave it) as UTF-16; each byte
// that is not part of valid UTF-8 becomes U+DC00 + byte, so that ToUtf8 gives
// the same bytes back.
std::u16string FromUtf8(std::string_view text);

// A UTF-16 path as the operating system's path.
std::filesystem::path ToPath(std::u16string_view path);
// A UTF-8 path (as the platform layer and program arguments give it) as the
// operating system's path.
std::filesystem::path Utf8Path(std::string_view path);
std::u16string FromPath(const std::filesystem::path& path);

// snprintf into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace cindral
