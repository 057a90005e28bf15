// The program's time-stamped output log ("Composer Output" on the Device page).
#pragma once

#include <ctime>
#include <functional>
#include <string>

#include "ports.h"

namespace cindral {

// Where the log's text goes: appended at the very end, in black, with the
// log taking the keyboard focus.
class IOutputSink {
  public:
    virtual ~IOutputSink() = default;
    virtual void AppendAtEnd(const std::u16string& text) = 0;
};

class OutputLog {
  public:
    using Clock = std::function<std::tm()>;
    // The line buffer of AppendOutputFile, terminator included.
    static constexpr std::size_t kLineBufferSize = 2048;

    OutputLog(IOutputSink& sink, IMessagePort& messages, Clock clock = LocalTime);

    void WriteOutputText(const std::u16string& text, bool timeStamp, bool lineEnd);
    void WriteOutputLine(const std::u16string& text) { WriteOutputText(text, true, true); }
    // Appends a text file line by line; bytes after the last LF are not shown.
    // Lines longer than the line buffer are shown in pieces.
    void AppendOutputFile(const std::string& path);

    static std::tm LocalTime();

  private:
    IOutputSink& sink_;
    IMessagePort& messages_;
    Clock clock_;
};

}  // namespace cindral
