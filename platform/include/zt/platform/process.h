// A child process that runs hidden, its standard output and error both going
// into one file, waited for in slices so the caller can keep its UI alive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zt::platform {

// What a program's file name adds to its name: ".exe" on Windows.
const char* ExecutableSuffix();

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
    // Waits up to `milliseconds` for the child to end.
    Wait WaitFor(int milliseconds);
    // The exit code once ended; -1 when it was ended by a signal.
    int exit_code() const { return exit_code_; }
    void Kill();

  private:
    intptr_t process_ = -1;
    int exit_code_ = -1;
    bool ended_ = false;
};

}  // namespace zt::platform
