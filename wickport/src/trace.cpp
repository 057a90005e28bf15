#include "trace.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace wickport {

Trace::~Trace() {
    if (file_) std::fclose(file_);
}

void Trace::SetCallback(WpTraceCallback callback, void* user) {
    callback_ = callback;
    user_ = user;
}

std::FILE* Trace::File() {
    const char* env = std::getenv("WICKPORT_TRACE");
    std::string path = env ? env : "";
    if (path != path_) {
        if (file_) std::fclose(file_);
        file_ = nullptr;
        path_ = path;
        if (!path.empty()) {
            // Close-on-exec: child processes the caller starts must not inherit it.
            file_ = std::fopen(path.c_str(), "ae");
            // Say so once per path rather than on every report.
            if (!file_ && failed_path_ != path) {
                std::fprintf(stderr, "wickport: cannot open trace file %s: %s\n", path.c_str(),
                             std::strerror(errno));
                failed_path_ = path;
            }
        }
    }
    return file_;
}

void Trace::Note(const std::string& text) {
    Line("# " + text);
}

void Trace::Bytes(const char* prefix, const uint8_t* data, int length) {
    std::FILE* file = File();
    if (!file && !callback_) return;
    static const char* hex = "0123456789abcdef";
    std::string line = prefix;
    for (int i = 0; i < length; ++i) {
        if (i) line += ' ';
        line += hex[data[i] >> 4];
        line += hex[data[i] & 15];
    }
    Line(std::move(line));
}

void Trace::Line(std::string line) {
    std::FILE* file = File();
    if (callback_) callback_(line.c_str(), user_);
    if (file) {
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), file);
        // Readers follow the file while the process runs.
        std::fflush(file);
    }
}

}  // namespace wickport
