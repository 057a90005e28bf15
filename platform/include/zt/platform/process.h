// A child process that runs hidden, its standard output and error both going
// into one file, waited for in slices so the caller can keep its UI alive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zt::platform {

// What a program's file name adds to its name: ".exe" on Windows.
const char* ExecutableSuffix();

// A path that starts this same program again, even when its file was replaced
// while it runs (where the system allows that).
std::string SelfExecutable();
// The arguments this program was started with, as UTF-8: on Windows from the
// wide command line (main's argv holds the ANSI code page's rendering), on
// Linux argv as given.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// The directory of the running program's file, with its trailing separator;
// empty when unknown.
std::string ExecutableDirectory();

// The file a child writes its output to; created anew (truncated).
class OutputFile {
  public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() { Close(); }

    // Empty on success, else the system's text.
    std::string Create(const std::string& path);
    // Bytes in the file now; -1 when it cannot be told.
    long long Size() const;
    void Close();
    intptr_t handle() const { return handle_; }

  private:
    intptr_t handle_ = -1;
};

// The read end of a pipe a child writes its output into.
class PipeReader {
  public:
    PipeReader() = default;
    PipeReader(const PipeReader&) = delete;
    PipeReader& operator=(const PipeReader&) = delete;
    ~PipeReader() { Close(); }

    // Appends what has arrived to `into` without waiting; false (and closed)
    // once the child's end is closed and everything has been read.
    bool ReadAvailable(std::string& into);
    bool IsOpen() const { return handle_ != -1; }
    void Close();

  private:
    friend class ChildProcess;
    friend void WaitForPipes(const std::vector<const PipeReader*>& pipes, int milliseconds);
    intptr_t handle_ = -1;
};

// Waits up to `milliseconds` until one of the open `pipes` has something to
// read or has been closed by its child.
void WaitForPipes(const std::vector<const PipeReader*>& pipes, int milliseconds);

class ChildProcess {
  public:
    enum class Wait { kEnded, kRunning, kFailed };

    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // A child still running is killed: nothing outlives its owner unseen.
    ~ChildProcess();

    // Starts args[0] with the other arguments; standard input is the null
    // device, standard error goes to `errors` when given, else with the output.
    // On failure returns false with the system's error code.
    bool Start(const std::vector<std::string>& args, const OutputFile& output, int* error_code,
               const OutputFile* errors = nullptr);
    // Starts args[0] sharing this process's standard input and console, its
    // standard output going into `out`, its standard error into `err` when
    // given, else where this process's goes.
    bool StartPiped(const std::vector<std::string>& args, PipeReader& out, PipeReader* err,
                    int* error_code);
    // Waits up to `milliseconds` for the child to end.
    Wait WaitFor(int milliseconds);
    // The exit code once ended; -1 when it was ended by a signal.
    int exit_code() const { return exit_code_; }
    // The signal that ended it, else 0 (always 0 on Windows).
    int end_signal() const { return end_signal_; }
    // Asks the child to stop as Ctrl-C would. On Windows the console has
    // already told every process attached to it, so nothing is sent.
    void Interrupt();
    void Kill();

  private:
    intptr_t process_ = -1;
    int exit_code_ = -1;
    int end_signal_ = 0;
    bool ended_ = false;
};

}  // namespace zt::platform
