#include "output_log.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <new>
#include <vector>

#include "text.h"
#include "zt/platform/system.h"

namespace cindral {

OutputLog::OutputLog(IOutputSink& sink, IMessagePort& messages, Clock clock)
    : sink_(sink), messages_(messages), clock_(std::move(clock)) {}

std::tm OutputLog::LocalTime() {
    return zt::platform::LocalTime(std::time(nullptr));
}

void OutputLog::WriteOutputText(const std::u16string& text, bool timeStamp, bool lineEnd) {
    std::u16string line;
    if (timeStamp) {
        std::tm now = clock_();
        char stamp[32];
        std::size_t n = std::strftime(stamp, sizeof stamp, "%H:%M:%S", &now);
        line = WidenText(std::string_view(stamp, n)) + u" ";
    }
    line += text;
    if (lineEnd) line += u"\r\n";
    sink_.AppendAtEnd(line);
}

void OutputLog::AppendOutputFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        messages_.Ok(WidenText(Format("Failed to open output file: %s\n", path.c_str())));
        return;
    }
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size < 0) {
        messages_.Ok(u"Failed to read output file into buffer.\n");
        return;
    }
    std::unique_ptr<char[]> data(new (std::nothrow) char[static_cast<std::size_t>(size) + 1]);
    if (!data) {
        messages_.Ok(u"Failed to allocate memory for output file processing.\n");
        return;
    }
    in.read(data.get(), size);
    if (in.gcount() != size) {
        messages_.Ok(u"Failed to read output file into buffer.\n");
        return;
    }
    // Only complete lines are shown, so the walk ends at the last LF.
    std::streamoff end = size;
    while (end > 0 && data[static_cast<std::size_t>(end - 1)] != '\n') --end;
    std::string line;
    line.reserve(kLineBufferSize);
    for (std::streamoff i = 0; i < end; ++i) {
        char c = data[static_cast<std::size_t>(i)];
        line.push_back(c);
        if (c == '\n') {
            WriteOutputText(WidenText(line), false, false);
            line.clear();
        } else if (line.size() == kLineBufferSize - 1) {
            // A full buffer goes out as a piece; the rest of the line follows.
            WriteOutputText(WidenText(line), false, false);
            line.clear();
        }
    }
}

}  // namespace cindral
