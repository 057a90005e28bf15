#include "support.h"

#include <wickport.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/text.h"
#include "zt/platform/console.h"
#include "zt/platform/files.h"
#include "zt/platform/places.h"
#include "zt/platform/process.h"
#include "zt/platform/system.h"

namespace cindral::cli {

std::string Hex2(unsigned v) {
    return Format("0x%02X", v & 0xFF);
}

std::string Hex4(const std::array<uint8_t, 4>& v) {
    return Format("0x%02X%02X%02X%02X", v[0], v[1], v[2], v[3]);
}

void WriteJsonLine(const Json& object) {
    const std::string line = JsonLine(object);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

void Emit(const Globals& g, const Json& object) {
    if (g.json) WriteJsonLine(object);
}

void Print(const Globals& g, const std::string& text) {
    if (g.json) return;
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

// A command that ends before its work: the reason on stderr (also with -q)
// and, with --json, as an object.
int Fail(const Globals& g, const char* command, int code, const std::string& why) {
    std::fprintf(stderr, "cindral-cli: %s\n", why.c_str());
    Emit(g, Json{{"command", command}, {"ok", false}, {"exit", code}, {"message", why}});
    return code;
}

std::optional<std::string> ReadInput(const std::string& path, std::string& why) {
    std::error_code ec;
    if (!fs::is_regular_file(Utf8Path(path), ec)) {
        why = "cannot read " + path + ": not a readable file";
        return std::nullopt;
    }
    if (fs::file_size(Utf8Path(path), ec) > kMaxInputSize) {
        why = "cannot read " + path + ": file too large";
        return std::nullopt;
    }
    std::ifstream in(Utf8Path(path), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    if (!in.good() && !in.eof()) {
        why = "cannot read " + path;
        return std::nullopt;
    }
    return s.str();
}

std::string Absolute(const std::string& path) {
    std::error_code ec;
    const fs::path p = fs::absolute(Utf8Path(path), ec);
    if (ec) return path;
    const std::u8string text = p.lexically_normal().u8string();
    return std::string(text.begin(), text.end());
}

bool HasSpace(const std::string& path) {
    return path.find(' ') != std::string::npos;
}

std::u16string ProgramDirectory() {
    // This program's own module, with its trailing separator.
    std::string dir = zt::platform::ExecutableDirectory();
    if (dir.empty()) dir = std::string(".") + zt::platform::kPathSeparator;
    return FromPath(fs::path(std::u8string(dir.begin(), dir.end())));
}

Session::Session(const Globals& g, std::string prefix)
    : messages(style, g.yes),
      progress(style),
      bridge(messages, progress, &pump),
      host(style),
      connection(ordwin, messages) {
    style.quiet = g.quiet;
    style.mode = ChooseProgressMode(g.quiet, g.progressReport, zt::platform::IsTerminal(2));
    style.progress = style.mode != ProgressMode::kNone;
    style.prefix = std::move(prefix);
}

// Virtual chips lock their state directories while this process lists them,
// so a process that works on some adapters lists only those.
void FocusVirtualAdapters(const std::vector<std::string>& serials) {
    const std::optional<std::string> env = zt::platform::GetEnvironment("WICKPORT_VIRTUAL");
    if (!env || serials.empty()) return;
    std::string kept, text = *env;
    std::size_t from = 0;
    while (from <= text.size()) {
        std::size_t end = text.find(';', from);
        if (end == std::string::npos) end = text.size();
        const std::string item = text.substr(from, end - from);
        const std::string serial = item.substr(0, item.find(':'));
        for (const std::string& wanted : serials)
            if (serial == wanted) kept += (kept.empty() ? "" : ";") + item;
        from = end + 1;
    }
    zt::platform::SetEnvironment("WICKPORT_VIRTUAL", kept.c_str());
}

// Lets go of every virtual adapter this process listed, for the workers.
void ReleaseVirtualAdapters(Session& s) {
    const std::optional<std::string> env = zt::platform::GetEnvironment("WICKPORT_VIRTUAL");
    if (!env) return;
    const std::string saved = *env;
    zt::platform::SetEnvironment("WICKPORT_VIRTUAL", "");
    s.connection.ListAdapters();
    zt::platform::SetEnvironment("WICKPORT_VIRTUAL", saved.c_str());
}

// Without -a the one attached adapter; several need a choice.
std::optional<std::string> PickAdapter(Session& s, const std::string& wanted, std::string& why) {
    const std::vector<std::string> list = s.connection.ListAdapters();
    if (!wanted.empty()) {
        for (const std::string& sn : list)
            if (sn == wanted) return sn;
        why = "unknown adapter " + wanted;
        return std::nullopt;
    }
    if (list.empty()) {
        why = "no adapter attached";
        return std::nullopt;
    }
    if (list.size() > 1) {
        why = "several adapters attached: name one with -a SERIAL";
        return std::nullopt;
    }
    return list.front();
}

std::string ComName(int com) {
    return Format("COM%d", com);
}

// A USB adapter by serial number, or the serial adapter on COM `com`; only a
// Zeltra is kept connected.
bool ConnectTo(Session& s, const std::string& serial, int com) {
    if (com < 0) return s.connection.Connect(serial);
    const int rc = s.ordwin.Connect(com, 0, kProtocolC2, 0);
    if (rc < 0) {
        s.messages.Ok(WidenText(Format("Connect Failure: %s", s.ordwin.GetErrorMsg(rc))));
        return false;
    }
    uint16_t id = 0;
    if (s.ordwin.GetHardwareID(&id) < 0 || id != kZeltraHardwareId) {
        s.messages.Ok(u"Connection failure:\nInvalid target", MsgIcon::Exclamation);
        s.ordwin.Disconnect(com);
        return false;
    }
    return true;
}

void DisconnectFrom(Session& s, int com) {
    if (com < 0) {
        s.ordwin.DisconnectUSB();
    } else {
        s.ordwin.Disconnect(com);
    }
}

Json ChipIdentity(IOrdwin& ordwin) {
    uint16_t hw = 0;
    uint8_t derivative = 0;
    const char* name = nullptr;
    Json chip = Json::object();
    if (ordwin.GetHardwareID(&hw) >= 0) chip["hardware_id"] = Hex2(hw);
    if (ordwin.GetDerivativeID(&derivative) >= 0) chip["derivative_id"] = Hex2(derivative);
    if (ordwin.GetDeviceName(&name) >= 0 && name != nullptr) chip["name"] = name;
    return chip;
}

Json CrcJson(const CrcReading& r) {
    return Json{{"ok", r.ok},
                {"trim", Hex4(r.trim)},
                {"trim_reference", Hex4(r.TrimReference())},
                {"trim_match", r.ok && r.TrimMatches()},
                {"user", Hex4(r.user)},
                {"user_reference", Hex4(r.UserReference())},
                {"user_match", r.ok && r.UserMatches()},
                {"rom", Hex4(r.rom)}};
}

std::string CrcText(const CrcReading& r) {
    std::string out;
    for (const ReportLine& line : FormatCrcReport(r)) {
        out += line.text;
        if (line.lineEnd) out += "\n";
    }
    // The report's own line ends are CR-free already; drop its blank lead-in.
    while (!out.empty() && out.front() == '\n') out.erase(0, 1);
    return out;
}

// Completes a chip's record and logs it before anything reports it; a log that
// cannot be written fails the command.
void Conclude(const Globals& g, Json& rec, int& exit, std::chrono::steady_clock::time_point start) {
    rec["exit"] = exit;
    rec["ok"] = exit == kExitOk;
    rec["duration_s"] =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (g.log.empty()) return;
    std::string why;
    std::string error;
    if (!OpenAuditLog(g, why)) {
        error = why;
    } else {
        error = ProcessAuditLog().Append(rec);
        if (!error.empty()) error = "cannot write the log " + g.log + ": " + error;
    }
    if (error.empty()) return;
    std::fprintf(stderr, "cindral-cli: %s\n", error.c_str());
    if (exit == kExitOk) exit = kExitInput;
    rec["exit"] = exit;
    rec["ok"] = false;
    rec["log_error"] = error;
}

AuditLog& ProcessAuditLog() {
    static AuditLog log;
    return log;
}

bool OpenAuditLog(const Globals& g, std::string& why) {
    AuditLog& log = ProcessAuditLog();
    if (g.log.empty() || (log.IsOpen() && log.Path() == g.log)) return true;
    const std::string error = log.Open(g.log);
    if (error.empty()) return true;
    why = "cannot write the log " + g.log + ": " + error;
    return false;
}

PrivateDirectory::PrivateDirectory() {
    std::error_code ec;
    saved_ = fs::current_path(ec);
    const std::string made = zt::platform::MakeTempDirectory("cindral-cli-", nullptr);
    if (made.empty()) return;
    dir_ = fs::path(std::u8string(made.begin(), made.end()));
    fs::current_path(dir_, ec);
}

PrivateDirectory::~PrivateDirectory() {
    std::error_code ec;
    fs::current_path(saved_, ec);
    if (!dir_.empty()) fs::remove_all(dir_, ec);
}

}  // namespace cindral::cli
