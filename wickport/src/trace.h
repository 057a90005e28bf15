// The report trace: WICKPORT_TRACE=PATH and the in-process hook.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "wickport_test.h"

namespace wickport {

class Trace {
  public:
    ~Trace();
    // One line: the prefix ("> ", "< ", "F> ", ...) and the bytes in hex.
    void Bytes(const char* prefix, const uint8_t* data, int length);
    // A remark, as a line of its own: "# " and the text.
    void Note(const std::string& text);
    void SetCallback(WpTraceCallback callback, void* user);

  private:
    // Follows WICKPORT_TRACE, reopening when it names another file.
    std::FILE* File();
    void Line(std::string line);

    std::FILE* file_ = nullptr;
    std::string path_;
    std::string failed_path_;
    WpTraceCallback callback_ = nullptr;
    void* user_ = nullptr;
};

}  // namespace wickport
