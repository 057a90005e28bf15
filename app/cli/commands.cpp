#include "commands.h"

#include <unistd.h>
#include <wickport.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "audit_log.h"
#include "console.h"
#include "core/burn_file.h"
#include "core/compose_map.h"
#include "core/connection.h"
#include "core/crc_report.h"
#include "core/device_info.h"
#include "core/main_settings.h"
#include "core/mtp_engine.h"
#include "core/nvm_engine.h"
#include "core/ordwin_binding.h"
#include "core/text.h"
#include "gang.h"
#include "zt/firmware_layout.h"

namespace cindral::cli {

namespace {

namespace fs = std::filesystem;

// Longest input file read whole; burn files and settings are small.
constexpr std::uintmax_t kMaxInputSize = 64u << 20;

std::string Hex2(unsigned v) {
    return Format("0x%02X", v & 0xFF);
}

std::string Hex4(const std::array<uint8_t, 4>& v) {
    return Format("0x%02X%02X%02X%02X", v[0], v[1], v[2], v[3]);
}

void Emit(const Globals& g, const Json& object) {
    if (!g.json) return;
    const std::string line = object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
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
    if (!fs::is_regular_file(path, ec)) {
        why = "cannot read " + path + ": not a readable file";
        return std::nullopt;
    }
    if (fs::file_size(path, ec) > kMaxInputSize) {
        why = "cannot read " + path + ": file too large";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
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
    fs::path p = fs::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

bool HasSpace(const std::string& path) {
    return path.find(' ') != std::string::npos;
}

std::u16string ProgramDirectory() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    std::string dir = ec ? std::string(".") : self.parent_path().string();
    if (dir.empty() || dir.back() != '/') dir += '/';
    return WidenText(dir);
}

// Everything one process needs to talk to adapters through the library.
struct Session {
    Session(const Globals& g, std::string prefix)
        : messages(style, g.yes),
          progress(style),
          bridge(messages, progress, &pump),
          host(style),
          connection(ordwin, messages) {
        style.quiet = g.quiet;
        style.progress = !g.quiet && isatty(STDERR_FILENO);
        style.prefix = std::move(prefix);
    }
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
void FocusVirtualAdapters(const std::vector<std::string>& serials) {
    const char* env = std::getenv("WICKPORT_VIRTUAL");
    if (env == nullptr || serials.empty()) return;
    std::string kept, text = env;
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
    setenv("WICKPORT_VIRTUAL", kept.c_str(), 1);
}

// Lets go of every virtual adapter this process listed, for the workers.
void ReleaseVirtualAdapters(Session& s) {
    const char* env = std::getenv("WICKPORT_VIRTUAL");
    if (env == nullptr) return;
    const std::string saved = env;
    setenv("WICKPORT_VIRTUAL", "", 1);
    s.connection.ListAdapters();
    setenv("WICKPORT_VIRTUAL", saved.c_str(), 1);
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

constexpr int kProtocolC2 = 1;

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
    const std::string error = AppendAuditLine(g.log, rec);
    if (error.empty()) return;
    std::fprintf(stderr, "cindral-cli: cannot write the log %s: %s\n", g.log.c_str(),
                 error.c_str());
    if (exit == kExitOk) exit = kExitInput;
    rec["exit"] = exit;
    rec["ok"] = false;
}

// --- burning --------------------------------------------------------------------------------

class BurnMonitor final : public IBurnMonitor {
  public:
    BurnMonitor(const ConsoleStyle& style, bool direct) : style_(style), direct_(direct) {}
    void ImageStarted(long long index, long long count) override {
        if (style_.progress) style_.Line(Format("image %lld of %lld", index, count));
    }
    void ImageJudged(long long index, const uint8_t b[4]) override {
        const bool ok = b[0] == zt::burner::kResultSuccess;
        if (ok) ++burned;
        images.push_back(Json{{"index", index},
                              {"ok", ok},
                              {"status", Hex2(b[0])},
                              {"code", Hex2(b[1])},
                              {"address", Format("0x%02X%02X", b[2], b[3])},
                              {"text", Tidy(BurnResultMessage(b, direct_))}});
    }
    void ImageTimedOut(long long index) override {
        timedOut = true;
        images.push_back(Json{{"index", index}, {"ok", false}, {"text", "timed out"}});
    }
    bool StopRequested() override { return InterruptRequested(); }

    Json images = Json::array();
    int burned = 0;
    bool timedOut = false;

  private:
    const ConsoleStyle& style_;
    bool direct_;
};

// A working directory of its own for the temporary burner files, so that
// parallel workers never share them.
class PrivateDirectory {
  public:
    PrivateDirectory() {
        std::error_code ec;
        saved_ = fs::current_path(ec);
        std::string pattern = (fs::temp_directory_path(ec) / "cindral-cli-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            dir_ = pattern;
            fs::current_path(dir_, ec);
        }
    }
    ~PrivateDirectory() {
        std::error_code ec;
        fs::current_path(saved_, ec);
        if (!dir_.empty()) fs::remove_all(dir_, ec);
    }
    PrivateDirectory(const PrivateDirectory&) = delete;
    PrivateDirectory& operator=(const PrivateDirectory&) = delete;

  private:
    fs::path saved_, dir_;
};

// The burn file must hold at least one whole burner image before a chip is touched.
bool CheckBurnFile(const std::string& data, bool direct, std::string& why) {
    long long images = 0;
    for (const BurnSection& section : ParseBurnFile(data)) {
        if (!section.Complete()) {
            why = "the burn file is incomplete: a burner image is missing or cut short";
            return false;
        }
        if (section.count > (direct ? 9 : 99)) {
            why = direct ? "the burn file holds more than 9 images"
                         : "the burn file holds more than 99 images";
            return false;
        }
        if (section.count > 0) images += section.count;
    }
    if (images == 0) {
        why = "the burn file holds no burner image";
        return false;
    }
    return true;
}

struct BurnJob {
    std::string file;  // absolute
    std::string sha256;
    bool direct = false;
    bool dryRun = false;
};

const char* JobCommand(const BurnJob& job) {
    return job.direct ? "direct-burn" : "burn";
}

// Burns on one adapter in this process; the record is logged and returned.
Json BurnOnAdapter(const Globals& g, const BurnJob& job, const std::string& serial, int com,
                   int& exit) {
    const auto start = std::chrono::steady_clock::now();
    Session s(g, serial + ": ");
    Json rec{{"command", JobCommand(job)}, {"time", UtcTimestamp()}, {"host", HostName()},
             {"adapter", serial},          {"burn_file", job.file},  {"sha256", job.sha256}};
    BurnMonitor monitor(s.style, job.direct);
    std::string result;
    std::string why;
    bool connected = false;
    if (InterruptRequested()) {
        exit = 128 + InterruptSignal();
        result = "interrupted, state unknown";
    } else if (com < 0 && !PickAdapter(s, serial, why)) {
        exit = kExitAdapter;
        result = "connect failed";
        s.style.transcript.push_back(why);
    } else if (!ConnectTo(s, serial, com)) {
        exit = kExitAdapter;
        result = "connect failed";
    } else {
        connected = true;
        rec["chip"] = ChipIdentity(s.ordwin);
        if (job.dryRun) {
            exit = kExitOk;
            result = "dry run";
            s.style.transcript.push_back("burn file and connection checked; nothing burned");
        } else {
            PrivateDirectory workDir;
            NvmEngine engine(s.ordwin, s.ports(), s.host, ProgramDirectory());
            engine.SetPollIntervalMs(g.pollMs);
            engine.SetBurnMonitor(&monitor);
            const std::u16string path = WidenText(job.file);
            engine.Options().burnFile = path;
            engine.Options().directNvmBurnFile = path;
            s.host.connected = 1;
            const int r = job.direct ? engine.DirectBurn() : engine.Burn();
            bool allOk = true;
            for (const Json& image : monitor.images) allOk = allOk && image["ok"].get<bool>();
            if (InterruptRequested()) {
                exit = 128 + InterruptSignal();
                result = "interrupted, state unknown";
            } else if (monitor.timedOut) {
                exit = kExitTimedOut;
                result = "timed out";
            } else if (r == 1 && allOk && !monitor.images.empty()) {
                exit = kExitOk;
                result = "ok";
            } else {
                exit = kExitChip;
                result = "failed";
            }
            if (!InterruptRequested()) rec["crc"] = CrcJson(ReadCrcs(s.ordwin));
        }
    }
    if (connected) DisconnectFrom(s, com);
    rec["images"] = monitor.images;
    rec["images_burned"] = monitor.burned;
    rec["result"] = result;
    rec["message"] = s.LastText();
    Conclude(g, rec, exit, start);
    return rec;
}

// The adapters a burn goes to.
std::optional<std::vector<std::string>> BurnTargets(const Globals& g, const BurnArgs& a,
                                                    std::string& why) {
    if (a.all) {
        Session s(g, "");
        std::vector<std::string> list = s.connection.ListAdapters();
        if (list.empty()) {
            why = "no adapter attached";
            return std::nullopt;
        }
        if (list.size() > 1) ReleaseVirtualAdapters(s);
        return list;
    }
    if (!a.adapters.empty()) {
        if (a.adapters.size() == 1) FocusVirtualAdapters(a.adapters);
        return a.adapters;
    }
    Session s(g, "");
    std::optional<std::string> one = PickAdapter(s, "", why);
    if (!one) return std::nullopt;
    return std::vector<std::string>{*one};
}

int BurnFileOn(const Globals& g, const BurnArgs& a, bool direct) {
    const char* command = direct ? "direct-burn" : "burn";
    std::string why;
    BurnJob job;
    job.file = Absolute(a.file);
    job.direct = direct;
    job.dryRun = a.dryRun;
    std::optional<std::string> data = ReadInput(job.file, why);
    if (!data) return Fail(g, command, kExitInput, why);
    if (!CheckBurnFile(*data, direct, why)) return Fail(g, command, kExitInput, why);
    job.sha256 = Sha256Hex(*data);
    std::optional<std::vector<std::string>> targets =
        a.com >= 0 ? std::vector<std::string>{ComName(a.com)} : BurnTargets(g, a, why);
    if (!targets) return Fail(g, command, kExitAdapter, why);

    std::vector<Json> records;
    int exit = kExitOk;
    if (targets->size() == 1) {
        records.push_back(BurnOnAdapter(g, job, targets->front(), a.com, exit));
    } else {
        std::vector<std::string> workerArgs = {"_worker", job.file};
        if (direct) workerArgs.push_back("--direct");
        if (a.dryRun) workerArgs.push_back("--dry-run");
        exit = RunGang(g, *targets, workerArgs, records);
    }
    for (const Json& rec : records) {
        Emit(g, rec);
        std::string line = rec.value("adapter", "?") + ": " + rec.value("result", "?");
        if (rec.contains("images_burned"))
            line += Format(", %d image(s) burned", rec["images_burned"].get<int>());
        if (rec.contains("crc"))
            line += std::string(", user CRC ") +
                    (rec["crc"].value("user_match", false) ? "OK" : "DIFF");
        if (!rec.value("ok", false)) line += " - " + rec.value("message", "");
        Print(g, line + "\n");
    }
    if (records.size() > 1) {
        int failed = 0;
        for (const Json& rec : records) failed += rec.value("ok", false) ? 0 : 1;
        Emit(g, Json{{"command", command},
                     {"summary", true},
                     {"adapters", records.size()},
                     {"failed", failed},
                     {"exit", exit}});
        Print(g, Format("%zu adapter(s), %d failed\n", records.size(), failed));
    }
    return exit;
}

}  // namespace

// --- list, info, erase ----------------------------------------------------------------------

int RunList(const Globals& g) {
    Session s(g, "");
    // The library enumerates; the product ids come from the same Wickport list.
    const std::vector<std::string> list = s.connection.ListAdapters();
    const bool virtualList = std::getenv("WICKPORT_VIRTUAL") != nullptr;
    int count = 0;
    WpGetDeviceCount(&count);
    for (const std::string& sn : list) {
        Json item{{"command", "list"}, {"serial", sn}, {"virtual", virtualList}};
        std::string pidText = "?";
        for (int i = 0; i < count; ++i) {
            const char* other = nullptr;
            int pid = 0;
            if (WpGetSerialByIndex(i, &other) >= 0 && other != nullptr && sn == other &&
                WpGetProductIdByIndex(i, &pid) >= 0) {
                pidText = Format("0x%04X", static_cast<unsigned>(pid) & 0xFFFF);
                item["product_id"] = pidText;
                break;
            }
        }
        Emit(g, item);
        Print(g, sn + "  " + pidText + "  " + (virtualList ? "virtual" : "real") + "\n");
    }
    if (list.empty()) Print(g, "no adapter attached\n");
    return kExitOk;
}

int RunInfo(const Globals& g, const std::string& adapter, int com) {
    if (!adapter.empty()) FocusVirtualAdapters({adapter});
    Session s(g, "");
    std::string why;
    std::optional<std::string> serial = com >= 0 ? ComName(com) : PickAdapter(s, adapter, why);
    if (!serial) return Fail(g, "info", kExitAdapter, why);
    if (!ConnectTo(s, *serial, com))
        return Fail(g, "info", kExitAdapter, "cannot connect to " + *serial + ": " + s.LastText());
    Json rec{{"command", "info"}, {"adapter", *serial}, {"chip", ChipIdentity(s.ordwin)}};
    const DeviceReading device = ReadDeviceInformation(s.ordwin);
    const CrcReading crc = ReadCrcs(s.ordwin);
    DisconnectFrom(s, com);

    Json values = Json::object();
    std::string text = "Adapter: " + *serial + "\n";
    text += "Device:  " + rec["chip"].value("name", "?") + " (hardware id " +
            rec["chip"].value("hardware_id", "?") + ", derivative " +
            rec["chip"].value("derivative_id", "?") + ")\n";
    for (int i = 0; i < kDeviceRowCount; ++i) {
        values[kDeviceRowNames[i]] = device.values[i];
        text += Format("%-20s %s\n", kDeviceRowNames[i], device.values[i].c_str());
    }
    rec["device"] = values;
    rec["crc"] = CrcJson(crc);
    rec["ok"] = true;
    rec["exit"] = kExitOk;
    Emit(g, rec);
    Print(g, text + "\n" + CrcText(crc));
    return kExitOk;
}

int RunErase(const Globals& g, const std::string& adapter, int com) {
    if (!adapter.empty()) FocusVirtualAdapters({adapter});
    const auto start = std::chrono::steady_clock::now();
    Session s(g, "");
    std::string why;
    std::optional<std::string> serial = com >= 0 ? ComName(com) : PickAdapter(s, adapter, why);
    if (!serial) return Fail(g, "erase", kExitAdapter, why);
    const int rc = com >= 0 ? s.ordwin.FLASHErase(com, 0, kProtocolC2)
                            : s.ordwin.FLASHEraseUSB(serial->c_str(), 0, kProtocolC2);
    const std::string text = rc < 0 ? s.ordwin.GetErrorMsg(rc) : "Erase succeeded";
    int exit = rc < 0 ? kExitChip : kExitOk;
    Json rec{{"command", "erase"},
             {"time", UtcTimestamp()},
             {"host", HostName()},
             {"adapter", *serial},
             {"code", Format("0x%08X", static_cast<unsigned>(rc))},
             {"message", text},
             {"result", rc < 0 ? "failed" : "ok"}};
    Conclude(g, rec, exit, start);
    Emit(g, rec);
    Print(g, *serial + ": " + text + "\n");
    return exit;
}

int RunMtp(const Globals& g, const MtpArgs& a) {
    const char* command = a.write ? "mtp write" : "mtp read";
    const auto start = std::chrono::steady_clock::now();
    std::string hexText, why;
    std::optional<mtp::Bytes> given;
    if (a.write && !a.hex.empty()) {
        std::optional<std::string> text = ReadInput(Absolute(a.hex), why);
        if (!text) return Fail(g, command, kExitInput, why);
        hexText = *text;
    } else if (a.write) {
        given = mtp::ParseDigits(mtp::ContentDigits(WidenText(a.bytes)));
        if (!given || mtp::ContentDigits(WidenText(a.bytes)).size() != mtp::kDigits)
            return Fail(g, command, kExitUsage,
                        "BYTES must be 16 bytes as hex, e.g. \"00 11 22 .. FF\"");
    }
    if (!a.adapter.empty()) FocusVirtualAdapters({a.adapter});
    Session s(g, "");
    std::optional<std::string> serial = PickAdapter(s, a.adapter, why);
    if (!serial) return Fail(g, command, kExitAdapter, why);
    if (!ConnectTo(s, *serial, -1))
        return Fail(g, command, kExitAdapter, "cannot connect to " + *serial + ": " + s.LastText());
    MtpEngine engine(s.ordwin, s.messages, s.sleep);
    Json rec{{"command", command},
             {"time", UtcTimestamp()},
             {"host", HostName()},
             {"adapter", *serial},
             {"chip", ChipIdentity(s.ordwin)}};
    int exit = kExitOk;
    std::optional<mtp::Bytes> before = engine.Read();
    if (before) rec["before"] = Tidy(mtp::FormatContent(*before));
    if (!a.write) {
        DisconnectFrom(s, -1);
        if (!before) return Fail(g, command, kExitChip, "reading the MTP failed");
        const std::u16string layout = mtp::FormatContent(*before);
        if (!a.save.empty()) {
            std::string file(mtp::kInitialSaveTemplate);
            mtp::PatchSaveTemplate(file, mtp::ContentDigits(layout));
            std::ofstream out(Absolute(a.save), std::ios::binary | std::ios::trunc);
            out << file;
            if (!out.flush()) return Fail(g, command, kExitInput, "cannot write " + a.save);
            rec["saved"] = Absolute(a.save);
        }
        rec["content"] = Tidy(layout);
        rec["ok"] = true;
        rec["exit"] = kExitOk;
        Emit(g, rec);
        Print(g, Tidy(layout) + "\n");
        return kExitOk;
    }
    if (!given) {
        // As the page does: the chip's content overlaid with the file's records.
        const std::u16string current =
            mtp::ContentDigits(before ? mtp::FormatContent(*before) : mtp::BlankContent());
        std::optional<std::u16string> digits = mtp::LoadDigitsFromHex(hexText, current);
        if (digits) given = mtp::ParseDigits(*digits);
        if (!given) {
            s.messages.Ok(u"Incompatible file format.\n");
            DisconnectFrom(s, -1);
            return Fail(g, command, kExitInput, "Incompatible file format.");
        }
    }
    rec["content"] = Tidy(mtp::FormatContent(*given));
    MtpEngine::Outcome outcome;
    {
        PrivateDirectory workDir;
        outcome = engine.WriteBytes(*given);
    }
    std::optional<mtp::Bytes> after = engine.Read();
    DisconnectFrom(s, -1);
    if (after) rec["after"] = Tidy(mtp::FormatContent(*after));
    rec["code"] = Hex2(outcome.code);
    rec["message"] = Tidy(outcome.message);
    if (InterruptRequested()) {
        exit = 128 + InterruptSignal();
        rec["result"] = "interrupted, state unknown";
    } else if (outcome.status == MtpEngine::Status::kTimedOut) {
        exit = kExitTimedOut;
        rec["result"] = "timed out";
    } else if (outcome.status == MtpEngine::Status::kFinished && outcome.code == 5) {
        rec["result"] = "ok";
    } else {
        exit = kExitChip;
        rec["result"] = "failed";
    }
    Conclude(g, rec, exit, start);
    Emit(g, rec);
    Print(g, *serial + ": " + rec.value("result", "") + " - " + rec.value("message", "") + "\n");
    return exit;
}

// --- compose ---------------------------------------------------------------------------------

namespace {

// "FILE[@ADDR]" into an entry; the address is empty when none is given.
bool ParseFileArg(const std::string& arg, NVMData& entry, std::string& why) {
    std::string path = arg, address;
    const std::size_t at = arg.rfind('@');
    if (at != std::string::npos && arg.find('/', at) == std::string::npos) {
        path = arg.substr(0, at);
        address = arg.substr(at + 1);
        if (address.empty()) {
            why = "no address after '@' in " + arg;
            return false;
        }
    }
    const std::string full = Absolute(path);
    std::string ignored;
    if (!ReadInput(full, ignored)) {
        why = ignored;
        return false;
    }
    entry.fullPath = WidenText(full);
    entry.fileName = WidenText(fs::path(full).filename().string());
    entry.nvmAddress = WidenText(address);
    entry.hexFlag = HexFlagOf(entry.fileName);
    return true;
}

// Runs the engine's compose and reports the output and the map.
int ReportCompose(const Globals& g, Session& s, NvmEngine& engine, bool direct,
                  const std::string& burnFile) {
    const char* command = direct ? "direct-compose" : "compose";
    s.host.connected = 1;  // composing needs no chip
    const int r = direct ? engine.DirectCompose() : engine.Compose();
    Json rec{{"command", command}, {"burn_file", burnFile}};
    rec["command_line"] =
        NarrowText(direct ? engine.DirectCommandLine() : engine.ComposeCommandLine(), 1u << 20);
    const NvmEngine::RunResult& run = engine.LastRun();
    if (run.ran) rec["composer_exit"] = run.exitCode;
    rec["output"] = s.host.ComposerOutput();
    Print(g, s.host.ComposerOutput());
    if (r == 0) {
        rec["ok"] = false;
        rec["exit"] = kExitCompose;
        rec["message"] = s.LastText();
        Emit(g, rec);
        std::fprintf(stderr, "cindral-cli: compose failed%s: %s\n",
                     run.ran ? Format(" (composer exit code %d)", run.exitCode).c_str() : "",
                     s.LastText().c_str());
        return kExitCompose;
    }
    std::string why;
    std::optional<std::string> data = ReadInput(burnFile, why);
    Json map = Json::array();
    bool conflict = false, error = false;
    if (data) {
        for (const ComposeMapRow& row : ParseComposeMap(WidenText(*data))) {
            conflict = conflict || row.conflict;
            error = error || row.error;
            const std::string file = Tidy(row.map.fileName), range = Tidy(row.map.nvmRange),
                              length = Tidy(row.map.length), status = Tidy(row.map.status);
            map.push_back(Json{{"file", file},
                               {"range", range},
                               {"length", length},
                               {"status", status},
                               {"conflict", row.conflict},
                               {"error", row.error}});
            Print(g, Format("%s %-24s %-18s %-14s %s\n", row.conflict || row.error ? "!" : " ",
                            file.c_str(), range.c_str(), length.c_str(), status.c_str()));
        }
    }
    rec["map"] = map;
    rec["conflict"] = conflict;
    rec["error"] = error;
    rec["ok"] = true;
    rec["exit"] = kExitOk;
    Emit(g, rec);
    if (conflict || error)
        s.style.Line(conflict && error ? "Address Conflicts and Errors detected!"
                     : conflict        ? "Address Conflict detected!"
                                       : "Address Error detected!");
    return kExitOk;
}

}  // namespace

int RunCompose(const Globals& g, const ComposeArgs& a) {
    Session s(g, "");
    NvmEngine engine(s.ordwin, s.ports(), s.host, ProgramDirectory());
    std::vector<NVMData> boot, app;
    std::u16string burnFile;
    std::string why;
    ComposeSwitches sw;
    bool overwrite = a.overwrite;
    if (!a.settings.empty()) {
        std::optional<SettingsReader> in = SettingsReader::Open(WidenText(Absolute(a.settings)));
        MainSettings settings;
        if (!in || !ReadMainSettings(*in, settings))
            return Fail(g, "compose", kExitInput, "cannot read the settings file " + a.settings);
        boot = settings.bootFiles;
        app = settings.appFiles;
        burnFile = settings.burnFile;
        sw = settings.switches;
        overwrite = overwrite || settings.overwrite;
    } else {
        for (const auto& [args, list] : {std::pair{&a.boot, &boot}, std::pair{&a.app, &app}}) {
            for (const std::string& arg : *args) {
                NVMData e;
                if (!ParseFileArg(arg, e, why)) return Fail(g, "compose", kExitInput, why);
                list->push_back(std::move(e));
            }
        }
        sw.strict = !a.logicOr;
        sw.user = a.user;
        sw.run = a.run;
        sw.xoEarlyEnable = a.xoEarly;
        sw.exeUserBoot = a.exeUserBoot;
        sw.nvmDisable = a.nvmDisable;
        sw.mtpDisable = a.mtpDisable;
        sw.ramClear = a.ramClear;
        sw.c2Disable = a.c2Disable;
        // As on the Main page: the first boot file starts where the chip's user
        // region does, "0" before a chip was read; every other file at "0".
        std::u16string first(1, u'0');
        if (!a.adapter.empty()) {
            FocusVirtualAdapters({a.adapter});
            std::optional<std::string> serial = PickAdapter(s, a.adapter, why);
            if (!serial) return Fail(g, "compose", kExitAdapter, why);
            if (!s.connection.Connect(*serial))
                return Fail(g, "compose", kExitAdapter, "cannot connect to " + *serial);
            const DeviceReading device = ReadDeviceInformation(s.ordwin);
            s.ordwin.DisconnectUSB();
            if (!device.nvmUserStartText.empty()) first = WidenText(device.nvmUserStartText);
        }
        const std::u16string zero(1, u'0');
        for (std::size_t i = 0; i < boot.size(); ++i)
            if (boot[i].nvmAddress.empty()) boot[i].nvmAddress.assign(i == 0 ? first : zero);
        for (NVMData& e : app)
            if (e.nvmAddress.empty()) e.nvmAddress.assign(zero);
    }
    if (!a.out.empty()) burnFile = WidenText(Absolute(a.out));
    if (burnFile.empty())
        return Fail(g, "compose", kExitUsage, "An NVM Burn File is required (-o OUT.nbf).");
    if (burnFile.find(u".nbf") == std::u16string::npos) burnFile += u".nbf";
    for (const std::vector<NVMData>* list : {&boot, &app})
        for (const NVMData& e : *list)
            if (e.fullPath.find(u' ') != std::u16string::npos)
                return Fail(g, "compose", kExitUsage,
                            "Spaces are not allowed in the file name or file path.");
    if (burnFile.find(u' ') != std::u16string::npos)
        return Fail(g, "compose", kExitUsage,
                    "Spaces are not allowed in the file name or file path.");

    NvmOptions& o = engine.Options();
    o.strict = sw.strict;
    o.overwrite = overwrite;
    o.user = sw.user;
    o.xoEarlyEnable = sw.xoEarlyEnable;
    o.exeUserBoot = sw.exeUserBoot;
    o.run = sw.run;
    o.nvmDisable = sw.nvmDisable;
    o.mtpDisable = sw.mtpDisable;
    o.ramClear = sw.ramClear;
    o.c2Disable = sw.c2Disable;
    o.bootFiles = boot;
    o.appFiles = app;
    o.burnFile = burnFile;
    return ReportCompose(g, s, engine, false, NarrowText(burnFile, burnFile.size() + 1));
}

int RunBurn(const Globals& g, const BurnArgs& a) {
    return BurnFileOn(g, a, a.direct);
}

int RunDirectBurn(const Globals& g, DirectArgs a) {
    std::u16string input, text, nbf = WidenText(Absolute(a.out));
    if (!a.textGiven) {
        input = WidenText(Absolute(a.file));
        std::string why;
        if (!ReadInput(Absolute(a.file), why)) return Fail(g, "direct-burn", kExitInput, why);
    }
    // The composer gets the text as one line, as the Direct Burn page sends it.
    for (char c : a.text)
        text +=
            (c == '\r' || c == '\n') ? u' ' : static_cast<char16_t>(static_cast<unsigned char>(c));
    if (HasSpace(a.out) || (!a.textGiven && HasSpace(a.file)))
        return Fail(g, "direct-burn", kExitUsage,
                    "Spaces are not allowed in the file name or file path.");
    if (a.textGiven && text.empty())
        return Fail(g, "direct-burn", kExitUsage, "Text is required for Composing.");
    {
        Session s(g, "");
        NvmEngine engine(s.ordwin, s.ports(), s.host, ProgramDirectory());
        NvmOptions& o = engine.Options();
        o.directFromFile = a.textGiven ? 0 : 1;
        o.directStrict = a.logicOr ? 0 : 1;
        o.directBurnFile = input;
        o.directText = text;
        o.directNvmBurnFile = nbf;
        o.directOverwrite = a.overwrite ? 1 : 0;
        const int rc = ReportCompose(g, s, engine, true, NarrowText(nbf, nbf.size() + 1));
        if (rc != kExitOk) return rc;
    }
    if (InterruptRequested()) return 128 + InterruptSignal();
    a.burn.file = NarrowText(nbf, nbf.size() + 1);
    return BurnFileOn(g, a.burn, true);
}

int RunWorker(const Globals& g, const BurnArgs& a) {
    FocusVirtualAdapters(a.adapters);
    BurnJob job;
    job.file = a.file;
    job.direct = a.direct;
    job.dryRun = a.dryRun;
    std::string why;
    std::optional<std::string> data = ReadInput(job.file, why);
    job.sha256 = data ? Sha256Hex(*data) : std::string();
    int exit = kExitOk;
    Json rec =
        BurnOnAdapter(g, job, a.adapters.empty() ? std::string() : a.adapters.front(), -1, exit);
    // The parent reads exactly one line.
    const std::string line = rec.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    return exit;
}

}  // namespace cindral::cli
