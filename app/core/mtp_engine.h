// Reading and writing the Zeltra's MTP through the library, without widgets: the
// MTP Write page and the command-line program both drive it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "mtp_content.h"
#include "operation_gate.h"
#include "ordwin_api.h"
#include "ports.h"
#include "zt/firmware_layout.h"
#include "zt/zeltra_map.h"

namespace cindral {

// The writer program as the program carries it (resource "DataFile" 138), unpatched.
std::string MtpWriterResource();

// The whole of a content hex file (messages shown on failure), and the saved file.
std::optional<std::string> ReadMtpHexFile(const std::u16string& path, IMessagePort& messages);
bool WriteMtpHexFile(const std::u16string& path, const std::string& text, IMessagePort& messages);

class MtpEngine {
  public:
    static constexpr unsigned kWindow = zt::zeltra::kXdataMtpWindow;
    static constexpr unsigned kReadLength = 32;
    static constexpr unsigned kResultAddress = zt::mtp_writer::kResultAddress;
    static constexpr int kRunMs = 1000;
    static constexpr const char* kImageName = "Burn1.hex";

    MtpEngine(IOrdwin& ordwin, IMessagePort& messages, ISleepPort& sleep,
              OperationGate& gate = OperationGate::Shared());

    // The 16 cells as the MTP window shows them; nothing (and no message) when the
    // library fails or another operation runs.
    std::optional<mtp::Bytes> Read();

    enum class Status {
        kRefused,   // another operation runs; nothing was done
        kFailed,    // a step failed; its message was shown
        kTimedOut,  // the writer had not finished when halted
        kFinished,  // the writer's own result is in code
    };
    struct Outcome {
        Status status = Status::kRefused;
        uint8_t code = 0;
        std::u16string message;  // what the operator was shown
    };
    // Writes the patched writer program to Burn1.hex in the current directory,
    // downloads and runs it for a second and shows the result.
    Outcome Write(const std::string& patchedWriter);
    // Patches a fresh writer with the 16 bytes, then Write.
    Outcome WriteBytes(const mtp::Bytes& bytes);

    // Told true just before the one-second wait and false after it (wait cursor).
    std::function<void(bool)> onWait;

    OperationGate& Gate() { return gate_; }

  private:
    Outcome Fail(const std::u16string& text);

    IOrdwin& ordwin_;
    IMessagePort& messages_;
    ISleepPort& sleep_;
    OperationGate& gate_;
};

}  // namespace cindral
