#include "burn.h"

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/gang.h"
#include "core/burn_file.h"
#include "core/burn_guard.h"
#include "core/nvm_engine.h"
#include "core/text.h"
#include "zt/firmware_layout.h"

namespace cindral::cli {

namespace {

class BurnMonitor final : public IBurnMonitor {
  public:
    BurnMonitor(const ConsoleStyle& style, bool direct) : style_(style), direct_(direct) {}
    void ImageStarted(long long index, long long count) override {
        ProgressState now = style_.CurrentProgress();
        now.image = index;
        now.images = count;
        now.percent = -1;
        style_.Progress(now);
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
    void UserCrcChecked(bool matches, const std::string& text) override {
        crcCheck = Json{{"ok", matches}, {"text", text}};
    }
    bool StopRequested() override { return InterruptRequested(); }

    Json images = Json::array();
    Json crcCheck;
    int burned = 0;
    bool timedOut = false;

  private:
    const ConsoleStyle& style_;
    bool direct_;
};

const char* JobCommand(const BurnJob& job) {
    return job.direct ? "direct-burn" : "burn";
}

}  // namespace

// The adapters a burn goes to: -a, --all or the one attached.
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

std::optional<std::string> RefuseBurnFile(const std::string& data, bool direct) {
    const BurnFileCheck check = CheckBurnFile(data, direct);
    switch (check.verdict) {
        case BurnFileCheck::Verdict::kOk:
            return std::nullopt;
        case BurnFileCheck::Verdict::kNoImages:
            return "the burn file holds no burner image";
        case BurnFileCheck::Verdict::kTooManyImages:
            return "the burn file holds " + check.why;
        case BurnFileCheck::Verdict::kDamaged:
            break;
    }
    return "the burn file is damaged: " + check.why;
}

// Burns on one adapter in this process; the record is logged and returned.
Json BurnOnAdapter(const Globals& g, const BurnJob& job, const std::string& serial, int com,
                   int& exit) {
    const auto start = std::chrono::steady_clock::now();
    Session s(g, serial + ": ");
    Json rec{{"command", JobCommand(job)}, {"time", UtcTimestamp()}, {"host", HostName()},
             {"adapter", serial},          {"burn_file", job.file},  {"sha256", job.sha256}};
    for (const auto& [key, value] : job.fields.items()) rec[key] = value;
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
        if (job.addOn != nullptr && !job.addOn->Connected(s, rec, why)) {
            exit = kExitChip;
            result = "failed";
            s.style.transcript.push_back(why);
        } else if (job.dryRun) {
            exit = kExitOk;
            result = "dry run";
            s.style.transcript.push_back("burn file and connection checked; nothing burned");
        } else {
            PrivateDirectory workDir;
            NvmEngine engine(s.ordwin, s.ports(), s.host, ProgramDirectory());
            engine.SetPollIntervalMs(g.pollMs);
            engine.SetBurnMonitor(&monitor);
            s.host.connected = 1;
            // The bytes that were checked and hashed, never the path again.
            const int r = engine.BurnBytes(job.data, job.direct);
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
            if (job.addOn != nullptr && exit == kExitOk) job.addOn->AfterBurn(s, rec, result, exit);
        }
    }
    if (connected) DisconnectFrom(s, com);
    rec["images"] = monitor.images;
    rec["images_burned"] = monitor.burned;
    if (!monitor.crcCheck.is_null()) rec["crc_check"] = monitor.crcCheck;
    rec["result"] = result;
    rec["message"] = s.LastText();
    Conclude(g, rec, exit, start);
    return rec;
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
    if (std::optional<std::string> refused = RefuseBurnFile(*data, direct))
        return Fail(g, command, kExitInput, *refused);
    // A one-time chip is not burned from a file its own composer warned about.
    if (!g.yes && MapReportsTrouble(*data))
        return Fail(
            g, command, kExitInput,
            "the burn file's map reports conflicts or errors; give --yes to burn it anyway");
    job.data = std::move(*data);
    job.sha256 = Sha256Hex(job.data);
    if (!OpenAuditLog(g, why)) return Fail(g, command, kExitInput, why);
    std::optional<std::vector<std::string>> targets =
        a.com >= 0 ? std::vector<std::string>{ComName(a.com)} : BurnTargets(g, a, why);
    if (!targets) return Fail(g, command, kExitAdapter, why);

    std::vector<Json> records;
    int exit = kExitOk;
    if (targets->size() == 1) {
        records.push_back(BurnOnAdapter(g, job, targets->front(), a.com, exit));
    } else {
        // Each worker reads the file once more and burns it only when it is
        // still the file checked here.
        std::vector<std::string> workerArgs = {"_worker", job.file, "--sha256", job.sha256};
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
        if (rec.contains("log_error")) line += ", not logged";
        if (!rec.value("ok", false)) line += " - " + rec.value("message", "");
        if (rec.contains("log_error")) line += " - " + rec.value("log_error", "");
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

int RunBurn(const Globals& g, const BurnArgs& a) {
    return BurnFileOn(g, a, a.direct);
}

int RunWorker(const Globals& g, const BurnArgs& a) {
    FocusVirtualAdapters(a.adapters);
    BurnJob job;
    job.file = a.file;
    job.direct = a.direct;
    job.dryRun = a.dryRun;
    const std::string serial = a.adapters.empty() ? std::string() : a.adapters.front();
    std::string why;
    std::optional<std::string> data = ReadInput(job.file, why);
    if (data) {
        job.sha256 = Sha256Hex(*data);
        if (std::optional<std::string> refused = RefuseBurnFile(*data, job.direct)) {
            why = *refused;
        } else if (!a.sha256.empty() && job.sha256 != a.sha256) {
            why = "the burn file changed after it was checked";
        } else {
            job.data = std::move(*data);
        }
    }
    int exit = kExitOk;
    Json rec;
    if (job.data.empty()) {
        exit = kExitInput;
        rec = Json{{"command", JobCommand(job)}, {"time", UtcTimestamp()},
                   {"host", HostName()},         {"adapter", serial},
                   {"burn_file", job.file},      {"sha256", job.sha256},
                   {"images", Json::array()},    {"images_burned", 0},
                   {"result", "failed"},         {"message", why}};
        Conclude(g, rec, exit, std::chrono::steady_clock::now());
    } else if (!OpenAuditLog(g, why)) {
        exit = kExitInput;
        rec = Json{{"command", JobCommand(job)},
                   {"adapter", serial},
                   {"burn_file", job.file},
                   {"sha256", job.sha256},
                   {"result", "failed"},
                   {"message", why},
                   {"exit", exit},
                   {"ok", false}};
    } else {
        rec = BurnOnAdapter(g, job, serial, -1, exit);
    }
    // The parent reads exactly one line.
    WriteJsonLine(rec);
    return exit;
}

}  // namespace cindral::cli
