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

std::filesystem::path ToPath(std::u16string_view path) {
    return std::filesystem::path(std::u16string(path));
}

std::u16string FromPath(const std::filesystem::path& path) {
    return path.u16string();
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
