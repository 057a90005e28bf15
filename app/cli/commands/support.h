// What every cindral-cli command shares: output, input files, the library
// session, adapters and connections, chip records.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/audit_log.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "core/connection.h"
#include "core/crc_report.h"
#include "core/ordwin_binding.h"

namespace cindral::cli {

namespace fs = std::filesystem;

// Longest input file read whole; burn files and settings are small.
constexpr std::uintmax_t kMaxInputSize = 64u << 20;
constexpr int kProtocolC2 = 1;

std::string Hex2(unsigned v);
std::string Hex4(const std::array<uint8_t, 4>& v);
// A JSON line on stdout with --json; nothing otherwise.
void Emit(const Globals& g, const Json& object);
// A JSON line on stdout whatever --json says: a gang worker's one reply.
void WriteJsonLine(const Json& object);
// Plain text on stdout without --json.
void Print(const Globals& g, const std::string& text);
// A command that ends before its work: the reason on stderr (also with -q)
// and, with --json, as an object.
int Fail(const Globals& g, const char* command, int code, const std::string& why);
std::optional<std::string> ReadInput(const std::string& path, std::string& why);
std::string Absolute(const std::string& path);
bool HasSpace(const std::string& path);
std::u16string ProgramDirectory();

// Everything one process needs to talk to adapters through the library.
struct Session {
    Session(const Globals& g, std::string prefix);
    Ports ports() { return Ports{messages, files, sleep, pump}; }
    std::string LastText() const {
        return style.transcript.empty() ? std::string() : style.transcript.back();
    }

    ConsoleStyle style;
    ConsoleMessages messages;
    NoFileDialogs files;
    RealSleep sleep;
    NoPump pump;
    ConsoleProgress progress;
    OrdwinBinding ordwin;
    OrdwinHostUiBridge bridge;
    ConsoleHost host;
    AdapterConnection connection;
};

// Virtual chips lock their state directories while this process lists them,
// so a process that works on some adapters lists only those.
void FocusVirtualAdapters(const std::vector<std::string>& serials);
// Lets go of every virtual adapter this process listed, for the workers.
void ReleaseVirtualAdapters(Session& s);
// Without -a the one attached adapter; several need a choice.
std::optional<std::string> PickAdapter(Session& s, const std::string& wanted, std::string& why);
std::string ComName(int com);
// A USB adapter by serial number, or the serial adapter on COM `com`; only a
// Zeltra is kept connected.
bool ConnectTo(Session& s, const std::string& serial, int com);
void DisconnectFrom(Session& s, int com);
Json ChipIdentity(IOrdwin& ordwin);
Json CrcJson(const CrcReading& r);
std::string CrcText(const CrcReading& r);
// The process's --log, opened for appending before any chip is touched: a
// log that cannot take a line ends the command with nothing done. True when
// there is no log or it is open.
bool OpenAuditLog(const Globals& g, std::string& why);
AuditLog& ProcessAuditLog();
// Completes a chip's record and logs it before anything reports it; a log that
// cannot be written fails the command and says so in the record (`log_error`).
void Conclude(const Globals& g, Json& rec, int& exit, std::chrono::steady_clock::time_point start);

// A working directory of its own for the temporary burner files, so that
// parallel workers never share them.
class PrivateDirectory {
  public:
    PrivateDirectory();
    ~PrivateDirectory();
    PrivateDirectory(const PrivateDirectory&) = delete;
    PrivateDirectory& operator=(const PrivateDirectory&) = delete;

  private:
    fs::path saved_, dir_;
};

}  // namespace cindral::cli
