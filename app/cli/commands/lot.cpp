#include "lot.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <optional>

#include "burn.h"
#include "cli/gang.h"
#include "core/burn_guard.h"
#include "core/compose_map.h"
#include "core/device_info.h"
#include "core/mtp_engine.h"
#include "core/text.h"
#include "core/work_place.h"
#include "lots/lot_store.h"
#include "support.h"
#include "zt/platform/files.h"
#include "zt/platform/lock.h"

namespace cindral::cli {

namespace {

using lots::Lot;
using lots::LotStore;
using lots::SerialPlace;

// The database the command works on, opened and brought up to date.
struct OpenStore {
    std::unique_ptr<lots::Database> db;
    std::unique_ptr<LotStore> store;
};

std::optional<OpenStore> Open(const std::string& url, std::string& why) {
    const std::optional<lots::DbUrl> parsed =
        lots::ParseDbUrl(url.empty() ? lots::DefaultDbUrl() : url, why);
    if (!parsed) return std::nullopt;
    if (const std::string warning = lots::PasswordWarning(*parsed); !warning.empty())
        std::fprintf(stderr, "cindral-cli: %s\n", warning.c_str());
    OpenStore s;
    s.db = lots::OpenDatabase(*parsed, why);
    if (!s.db) return std::nullopt;
    try {
        s.store = std::make_unique<LotStore>(*s.db);
    } catch (const lots::DbError& e) {
        why = std::string("cannot use the lots database: ") + e.what();
        return std::nullopt;
    }
    return s;
}

// "nvm:ADDR:BYTES" / "mtp:OFFSET:BYTES" as PlaceText writes them.
std::optional<SerialPlace> ParsePlaceText(const std::string& text, std::string& why) {
    if (text.rfind("nvm:", 0) == 0)
        return lots::ParsePlace(text.substr(4), lots::Memory::kNvm, why);
    if (text.rfind("mtp:", 0) == 0)
        return lots::ParsePlace(text.substr(4), lots::Memory::kMtp, why);
    why = "bad serial place " + text;
    return std::nullopt;
}

std::string Hex(unsigned v) {
    return Format("0x%04X", v);
}

// A temporary directory of the command's own, removed with everything in it.
class TempDir {
  public:
    TempDir() { path_ = zt::platform::MakeTempDirectory("cindral-lot-", nullptr); }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(Utf8Path(path_), ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(Utf8Path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

class SerialMonitor final : public IBurnMonitor {
  public:
    void ImageJudged(long long, const uint8_t b[4]) override {
        judged = true;
        ok = ok && b[0] == zt::burner::kResultSuccess;
        if (b[0] != zt::burner::kResultSuccess) text = Tidy(BurnResultMessage(b, true));
    }
    void ImageTimedOut(long long) override { timedOut = true; }
    bool StopRequested() override { return InterruptRequested(); }
    bool judged = false, ok = true, timedOut = false;
    std::string text;
};

// After the lot's burn file: the serial, burned from its own direct burn file
// (NVM) or written with the MTP writer.
class SerialAddOn final : public BurnAddOn {
  public:
    // serialBurn: for an NVM place, the serial's direct burn file as checked.
    SerialAddOn(const Globals& g, SerialPlace place, std::int64_t serial, std::string serialBurn)
        : g_(g), place_(place), serial_(serial), serialBurn_(std::move(serialBurn)) {}

    bool Connected(Session& s, Json& rec, std::string& why) override {
        const DeviceReading d = ReadDeviceInformation(s.ordwin);
        Json device = Json::object();
        for (int i = 0; i < kDeviceRowCount; ++i)
            if (!d.values[i].empty()) device[kDeviceRowNames[i]] = d.values[i];
        rec["device"] = device;
        if (place_.memory != lots::Memory::kNvm || d.nvmUserStartText.empty()) return true;
        // The lot allows any user region; this chip's own may begin later.
        const unsigned long begin = std::strtoul(d.nvmUserStartText.c_str(), nullptr, 16);
        if (place_.address < begin) {
            why = "the serial's address " + Hex(place_.address) +
                  " lies before this chip's user region (" + d.nvmUserStartText + ")";
            return false;
        }
        return true;
    }

    void AfterBurn(Session& s, Json& rec, std::string& result, int& exit) override {
        rec["burn_crc"] = rec.value("crc", Json::object());
        if (place_.memory == lots::Memory::kNvm) {
            BurnSerial(s, result, exit);
        } else {
            WriteMtp(s, rec, result, exit);
        }
        if (!InterruptRequested()) rec["crc"] = CrcJson(ReadCrcs(s.ordwin));
    }

  private:
    void BurnSerial(Session& s, std::string& result, int& exit) {
        NvmEngine engine(s.ordwin, s.ports(), s.host, ProgramDirectory());
        SerialMonitor monitor;
        engine.SetPollIntervalMs(g_.pollMs);
        engine.SetBurnMonitor(&monitor);
        s.host.connected = 1;
        const int r = engine.BurnBytes(serialBurn_, true);
        if (InterruptRequested()) {
            exit = 128 + InterruptSignal();
            result = "interrupted, state unknown";
        } else if (monitor.timedOut) {
            exit = kExitTimedOut;
            result = "timed out";
        } else if (r != 1 || !monitor.judged || !monitor.ok) {
            exit = kExitChip;
            result = "failed";
            s.style.transcript.push_back(
                Format("burning serial %lld failed: %s", static_cast<long long>(serial_),
                       (monitor.text.empty() ? s.LastText() : monitor.text).c_str()));
        } else {
            s.style.transcript.push_back(Format("serial %lld burned at %s",
                                                static_cast<long long>(serial_),
                                                Hex(place_.address).c_str()));
        }
    }

    void WriteMtp(Session& s, Json& rec, std::string& result, int& exit) {
        MtpEngine engine(s.ordwin, s.messages, s.sleep);
        const std::optional<mtp::Bytes> before = engine.Read();
        if (!before) {
            exit = kExitChip;
            result = "failed";
            s.style.transcript.push_back("reading the MTP failed; the serial is not written");
            return;
        }
        mtp::Bytes wanted = *before;
        const std::vector<uint8_t> bytes = lots::SerialBytes(serial_, place_.width);
        for (std::size_t i = 0; i < bytes.size(); ++i) wanted[place_.address + i] = bytes[i];
        rec["mtp_before"] = Tidy(mtp::FormatContent(*before));
        const MtpEngine::Outcome outcome = engine.WriteBytes(wanted);
        const std::optional<mtp::Bytes> after = engine.Read();
        if (after) rec["mtp_after"] = Tidy(mtp::FormatContent(*after));
        if (InterruptRequested()) {
            exit = 128 + InterruptSignal();
            result = "interrupted, state unknown";
        } else if (outcome.status == MtpEngine::Status::kTimedOut) {
            exit = kExitTimedOut;
            result = "timed out";
        } else if (outcome.status != MtpEngine::Status::kFinished ||
                   outcome.code != zt::mtp_writer::kResultSuccess || !after || *after != wanted) {
            exit = kExitChip;
            result = "failed";
            s.style.transcript.push_back(Format("writing serial %lld into the MTP failed: %s",
                                                static_cast<long long>(serial_),
                                                Tidy(outcome.message).c_str()));
        } else {
            s.style.transcript.push_back(Format("serial %lld written at MTP offset %u",
                                                static_cast<long long>(serial_), place_.address));
        }
    }

    const Globals& g_;
    SerialPlace place_;
    std::int64_t serial_;
    std::string serialBurn_;
};

// The composer's output log lies beside the program, the same file for every
// process: two stations (or gangs) composing at once would cut each other's
// log short, which fails the compose. One compose at a time per place (the
// engine's choice between the program's and the cache directory); without a
// lock (a place that cannot have one) the compose goes ahead as before.
void LockComposer(Session& s, zt::platform::DirectoryLock& lock) {
    const std::u16string place = ChooseWorkPlace(ProgramDirectory()).directory + u"marlspin.lock";
    const std::string dir = ToUtf8(place);
    std::error_code ec;
    fs::create_directories(Utf8Path(dir), ec);
    std::string reason;
    while (lock.Acquire(dir, &reason) == zt::platform::DirectoryLock::Result::kBusy &&
           !InterruptRequested())
        s.sleep.Sleep(10);
}

std::string SerialPath(const std::string& dir, std::int64_t serial) {
    return dir + Format("/serial-%lld.nbf", static_cast<long long>(serial));
}

// The direct burn file that writes one serial, composed in Strict mode as the
// Direct Burn page does it, into SerialPath; its bytes as checked.
std::optional<std::string> ComposeSerial(const Globals& g, const std::string& dir, const Lot& lot,
                                         std::int64_t serial, std::string& why) {
    const std::string path = SerialPath(dir, serial);
    Session s(g, "");
    // One compose per chip: its log lines are no news; a failure is reported.
    s.style.quiet = true;
    s.style.progress = false;
    NvmEngine engine(s.ordwin, s.ports(), s.host, ProgramDirectory());
    NvmOptions& o = engine.Options();
    o.directFromFile = 0;
    o.directStrict = 1;
    o.directText = WidenText(lots::DirectText(lot.place, serial));
    o.directNvmBurnFile = FromUtf8(path);
    o.directOverwrite = 1;
    s.host.connected = 1;
    bool composed = false;
    {
        zt::platform::DirectoryLock lock;
        LockComposer(s, lock);
        composed = engine.DirectCompose() == 1;
    }
    std::optional<std::string> data = composed ? ReadInput(path, why) : std::nullopt;
    if (!data) {
        why = Format("composing serial %lld failed: %s", static_cast<long long>(serial),
                     s.LastText().c_str());
        return std::nullopt;
    }
    for (const ComposeMapRow& row : ParseComposeMap(FromUtf8(*data)))
        if (row.conflict || row.error) {
            why = Format("composing serial %lld: %s", static_cast<long long>(serial),
                         Tidy(row.map.status).c_str());
            return std::nullopt;
        }
    if (std::optional<std::string> refused = RefuseBurnFile(*data, true)) {
        why = Format("composing serial %lld: %s", static_cast<long long>(serial), refused->c_str());
        return std::nullopt;
    }
    return data;
}

lots::Outcome OutcomeOf(const Json& rec) {
    lots::Outcome o;
    o.result = rec.value("result", "failed");
    o.message = rec.value("message", "");
    Json chip = rec.value("chip", Json::object());
    if (rec.contains("device")) chip["device"] = rec["device"];
    if (!chip.empty()) o.chip = chip.dump();
    if (rec.contains("crc") && rec["crc"].is_object()) {
        o.crc = rec["crc"].dump();
        o.trimCrc = rec["crc"].value("trim", "");
    }
    if (rec.contains("duration_s") && rec["duration_s"].is_number())
        o.durationS = rec["duration_s"].get<double>();
    return o;
}

int RunCreate(const Globals& g, const LotArgs& a, bool lastGiven) {
    const char* command = "lot create";
    std::string why;
    if (a.name.empty()) return Fail(g, command, kExitUsage, "the lot needs a name");
    const bool mtp = !a.serialMtp.empty();
    const std::optional<SerialPlace> place = lots::ParsePlace(
        mtp ? a.serialMtp : a.serialNvm, mtp ? lots::Memory::kMtp : lots::Memory::kNvm, why);
    if (!place) return Fail(g, command, kExitUsage, why);
    const std::int64_t last = lastGiven ? a.last : lots::MaxSerial(place->width);
    if (why = lots::CheckRange(a.first, last, place->width); !why.empty())
        return Fail(g, command, kExitUsage, why);
    const std::string file = Absolute(a.burnFile);
    const std::optional<std::string> data = ReadInput(file, why);
    if (!data) return Fail(g, command, kExitInput, why);
    if (std::optional<std::string> refused = RefuseBurnFile(*data, false))
        return Fail(g, command, kExitInput, *refused);
    // As burn does: not from a file its own composer warned about.
    if (!g.yes && MapReportsTrouble(*data))
        return Fail(
            g, command, kExitInput,
            "the burn file's map reports conflicts or errors; give --yes to register it anyway");
    if (why = lots::CheckPlace(*place, CheckBurnFile(*data, false).writes); !why.empty())
        return Fail(g, command, kExitUsage, why);

    std::optional<OpenStore> s = Open(a.db, why);
    if (!s) return Fail(g, command, kExitDatabase, why);
    Lot lot;
    lot.name = a.name;
    lot.created = UtcTimestamp();
    lot.burnFileName = file;
    lot.sha256 = Sha256Hex(*data);
    lot.place = *place;
    lot.first = a.first;
    lot.last = last;
    try {
        if (!s->store->CreateLot(lot, *data, why)) return Fail(g, command, kExitUsage, why);
    } catch (const lots::DbError& e) {
        return Fail(g, command, kExitDatabase, std::string("the lots database: ") + e.what());
    }
    Emit(g, Json{{"command", command},
                 {"ok", true},
                 {"exit", kExitOk},
                 {"lot", lot.name},
                 {"burn_file", file},
                 {"sha256", lot.sha256},
                 {"serial_place", lots::PlaceText(lot.place)},
                 {"first", lot.first},
                 {"last", lot.last}});
    Print(g,
          Format("lot %s: serials %lld..%lld at %s, burn file %s (SHA-256 %s)\n", lot.name.c_str(),
                 static_cast<long long>(lot.first), static_cast<long long>(lot.last),
                 lots::PlaceText(lot.place).c_str(), file.c_str(), lot.sha256.c_str()));
    return kExitOk;
}

int RunStatus(const Globals& g, const LotArgs& a) {
    const char* command = "lot status";
    std::string why;
    std::optional<OpenStore> s = Open(a.db, why);
    if (!s) return Fail(g, command, kExitDatabase, why);
    try {
        const std::optional<Lot> lot = s->store->FindLot(a.name);
        if (!lot) return Fail(g, command, kExitUsage, "no lot named \"" + a.name + "\"");
        const lots::LotStatus st = s->store->Status(*lot);
        Emit(g, Json{{"command", command},
                     {"ok", true},
                     {"lot", lot->name},
                     {"burned", st.burned},
                     {"failed", st.failed},
                     {"unfinished", st.unfinished},
                     {"remaining", st.remaining},
                     {"first", lot->first},
                     {"last", lot->last},
                     {"serial_place", lots::PlaceText(lot->place)},
                     {"sha256", lot->sha256}});
        std::string line =
            Format("%s: burned %lld, failed %lld, remaining %lld", lot->name.c_str(),
                   static_cast<long long>(st.burned), static_cast<long long>(st.failed),
                   static_cast<long long>(st.remaining));
        if (st.unfinished > 0)
            line += Format(", %lld never reported back", static_cast<long long>(st.unfinished));
        Print(g, line + Format(" (serials %lld..%lld at %s)\n", static_cast<long long>(lot->first),
                               static_cast<long long>(lot->last),
                               lots::PlaceText(lot->place).c_str()));
    } catch (const lots::DbError& e) {
        return Fail(g, command, kExitDatabase, std::string("the lots database: ") + e.what());
    }
    return kExitOk;
}

// "2026-12-09", "2026-12-09T10:30", "2026-12-09 10:30:05.5Z": a prefix of the
// stored UTC times, which then compares as text.
std::optional<std::string> SinceText(std::string text) {
    if (!text.empty() && (text.back() == 'Z' || text.back() == 'z')) text.pop_back();
    const std::string shape = "dddd-dd-ddTdd:dd:dd";
    if (text.size() < 10) return std::nullopt;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char& c = text[i];
        if (i >= shape.size()) {
            if (i == shape.size() ? c != '.' : !std::isdigit(static_cast<unsigned char>(c)))
                return std::nullopt;
            continue;
        }
        if (i == 10 && c == ' ') c = 'T';
        if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(c)) : c != shape[i])
            return std::nullopt;
    }
    // A cut-off time ("10:3") would compare before "10:30".
    if (text.size() != 10 && text.size() != 13 && text.size() != 16 && text.size() < 19)
        return std::nullopt;
    return text;
}

std::string CsvField(const std::string& v) {
    if (v.find_first_of(",\"\r\n") == std::string::npos) return v;
    std::string out = "\"";
    for (char c : v) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

Json Parsed(const std::string& text) {
    if (text.empty()) return nullptr;
    Json v = Json::parse(text, nullptr, false);
    return v.is_discarded() ? Json(text) : v;
}

int RunRecords(const Globals& g, const LotArgs& a, bool serialGiven) {
    const char* command = "records";
    std::string why;
    lots::RecordFilter f;
    if (!a.lot.empty()) f.lot = a.lot;
    if (serialGiven) f.serial = a.serial;
    if (!a.since.empty()) {
        f.since = SinceText(a.since);
        if (!f.since)
            return Fail(g, command, kExitUsage,
                        "--since takes a UTC time such as 2026-12-09 or 2026-12-09T10:30");
    }
    std::optional<OpenStore> s = Open(a.db, why);
    if (!s) return Fail(g, command, kExitDatabase, why);
    std::vector<lots::Record> records;
    try {
        records = s->store->Records(f);
    } catch (const lots::DbError& e) {
        return Fail(g, command, kExitDatabase, std::string("the lots database: ") + e.what());
    }
    std::string out;
    if (a.csv) {
        out =
            "id,lot,serial,time,station,adapter,result,message,sha256,trim_crc,duration_s,chip,"
            "crc\n";
        for (const lots::Record& r : records) {
            const std::string fields[] = {
                std::to_string(r.id),
                r.lot,
                std::to_string(r.serial),
                r.time,
                r.station,
                r.adapter,
                r.result,
                r.message,
                r.sha256,
                r.trimCrc,
                r.durationS ? Format("%.3f", *r.durationS) : std::string(),
                r.chip,
                r.crc};
            std::string line;
            for (const std::string& field : fields)
                line += (line.empty() ? "" : ",") + CsvField(field);
            out += line + "\n";
        }
    } else if (a.json || g.json) {
        for (const lots::Record& r : records) {
            Json j{{"id", r.id},
                   {"lot", r.lot},
                   {"serial", r.serial},
                   {"time", r.time},
                   {"station", r.station},
                   {"adapter", r.adapter},
                   {"result", r.result},
                   {"message", r.message},
                   {"sha256", r.sha256},
                   {"trim_crc", r.trimCrc},
                   {"chip", Parsed(r.chip)},
                   {"crc", Parsed(r.crc)}};
            j["duration_s"] = r.durationS ? Json(*r.durationS) : Json(nullptr);
            out += JsonLine(j);
        }
    } else {
        for (const lots::Record& r : records)
            out += Format("%-12s %8lld  %s  %-12s %-10s %s%s%s\n", r.lot.c_str(),
                          static_cast<long long>(r.serial), r.time.c_str(), r.station.c_str(),
                          r.adapter.c_str(), r.result.c_str(), r.message.empty() ? "" : " - ",
                          r.message.c_str());
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    return kExitOk;
}

struct Assignment {
    std::string adapter;
    lots::LotStore::Allocation allocation;
    std::string serialBurn;  // NVM: the serial's direct burn file
};

int RunBurnLot(const Globals& g, const LotArgs& a) {
    const char* command = "lot burn";
    std::string why;
    // Everything the lot needs is at hand before any adapter is opened.
    std::optional<OpenStore> s = Open(a.db, why);
    if (!s) return Fail(g, command, kExitDatabase, why);
    std::optional<Lot> lot;
    std::optional<std::string> data;
    try {
        lot = s->store->FindLot(a.name);
        if (!lot) return Fail(g, command, kExitUsage, "no lot named \"" + a.name + "\"");
        data = s->store->BurnFile(lot->sha256);
    } catch (const lots::DbError& e) {
        return Fail(g, command, kExitDatabase, std::string("the lots database: ") + e.what());
    }
    if (!data || Sha256Hex(*data) != lot->sha256)
        return Fail(g, command, kExitDatabase,
                    "the lot's stored burn file does not match its SHA-256 " + lot->sha256);
    if (std::optional<std::string> refused = RefuseBurnFile(*data, false))
        return Fail(g, command, kExitInput, *refused);
    if (!OpenAuditLog(g, why)) return Fail(g, command, kExitInput, why);
    TempDir temp;
    if (temp.Path().empty() || HasSpace(temp.Path()))
        return Fail(g, command, kExitInput, "no usable temporary directory for the burn files");
    const std::string file = temp.Path() + "/lot.nbf";
    if (!WriteFile(file, *data)) return Fail(g, command, kExitInput, "cannot write " + file);

    BurnArgs targetsOf;
    targetsOf.adapters = a.adapters;
    targetsOf.all = a.all;
    const std::optional<std::vector<std::string>> targets = BurnTargets(g, targetsOf, why);
    if (!targets) return Fail(g, command, kExitAdapter, why);

    // One serial per chip, each taken for good before its chip is touched.
    int exit = kExitOk;
    std::vector<Assignment> assigned;
    std::vector<Json> records;
    for (const std::string& adapter : *targets) {
        std::optional<LotStore::Allocation> allocation;
        try {
            allocation = s->store->Allocate(*lot, UtcTimestamp(), HostName(), adapter);
        } catch (const lots::DbError& e) {
            return Fail(g, command, kExitDatabase, std::string("the lots database: ") + e.what());
        }
        if (!allocation) {
            std::fprintf(stderr, "cindral-cli: lot %s has no serial left for %s\n",
                         lot->name.c_str(), adapter.c_str());
            exit = std::max(exit, static_cast<int>(kExitUsage));
            continue;
        }
        Assignment as{adapter, *allocation, {}};
        if (lot->place.memory == lots::Memory::kNvm) {
            std::optional<std::string> serialBurn =
                ComposeSerial(g, temp.Path(), *lot, allocation->serial, why);
            if (!serialBurn) {
                Json rec{{"command", command},    {"time", UtcTimestamp()},
                         {"host", HostName()},    {"adapter", adapter},
                         {"lot", lot->name},      {"serial", allocation->serial},
                         {"sha256", lot->sha256}, {"result", "failed"},
                         {"message", why}};
                int code = kExitCompose;
                Conclude(g, rec, code, std::chrono::steady_clock::now());
                exit = std::max(exit, code);
                records.push_back(rec);
                try {
                    s->store->Finish(allocation->record, OutcomeOf(rec));
                } catch (const lots::DbError&) {
                }
                continue;
            }
            as.serialBurn = std::move(*serialBurn);
        }
        assigned.push_back(std::move(as));
    }

    std::vector<Json> burned;
    if (assigned.size() == 1) {
        const Assignment& as = assigned.front();
        SerialAddOn addOn(g, lot->place, as.allocation.serial, as.serialBurn);
        BurnJob job;
        job.file = file;
        job.data = *data;
        job.sha256 = lot->sha256;
        job.addOn = &addOn;
        job.fields = Json{{"lot", lot->name}, {"serial", as.allocation.serial}};
        int code = kExitOk;
        burned.push_back(BurnOnAdapter(g, job, as.adapter, -1, code));
        exit = std::max(exit, code);
    } else if (!assigned.empty()) {
        std::vector<std::string> adapters;
        std::vector<std::string> args = {"_lot-worker", file,       "--lot",
                                         lot->name,     "--place",  lots::PlaceText(lot->place),
                                         "--sha256",    lot->sha256};
        for (const Assignment& as : assigned) {
            adapters.push_back(as.adapter);
            args.push_back("--assign");
            args.push_back(as.adapter + ":" + std::to_string(as.allocation.serial) + ":" +
                           (as.serialBurn.empty() ? std::string()
                                                  : SerialPath(temp.Path(), as.allocation.serial)));
        }
        exit = std::max(exit, RunGang(g, adapters, args, burned));
    }
    // Every attempt goes into the database, whatever became of its chip.
    for (Json& rec : burned) {
        const auto it = std::find_if(assigned.begin(), assigned.end(), [&](const Assignment& as) {
            return as.adapter == rec.value("adapter", "");
        });
        if (it == assigned.end()) continue;
        rec["lot"] = lot->name;
        rec["serial"] = it->allocation.serial;
        try {
            s->store->Finish(it->allocation.record, OutcomeOf(rec));
        } catch (const lots::DbError& e) {
            std::fprintf(stderr,
                         "cindral-cli: the result of serial %lld on %s is not in the lots "
                         "database: %s\n",
                         static_cast<long long>(it->allocation.serial), it->adapter.c_str(),
                         e.what());
            exit = std::max(exit, static_cast<int>(kExitDatabase));
        }
        records.push_back(rec);
    }
    int failed = 0;
    for (const Json& rec : records) {
        Emit(g, rec);
        failed += rec.value("ok", false) ? 0 : 1;
        std::string line = Format("%s: serial %lld: %s", rec.value("adapter", "?").c_str(),
                                  static_cast<long long>(rec.value("serial", std::int64_t{0})),
                                  rec.value("result", "?").c_str());
        if (!rec.value("ok", false) || !rec.value("message", "").empty())
            line += " - " + rec.value("message", "");
        Print(g, line + "\n");
    }
    Emit(g, Json{{"command", command},
                 {"summary", true},
                 {"lot", lot->name},
                 {"chips", records.size()},
                 {"failed", failed},
                 {"exit", exit}});
    Print(g, Format("%zu chip(s), %d failed\n", records.size(), failed));
    return exit;
}

// One adapter of a gang: burns with the serial the parent took for it and
// reports the record as one JSON line.
int RunLotWorker(const Globals& g, const LotArgs& a) {
    const std::string adapter = a.adapters.empty() ? std::string() : a.adapters.front();
    FocusVirtualAdapters({adapter});
    std::string why;
    std::optional<SerialPlace> place = ParsePlaceText(a.place, why);
    std::int64_t serial = 0;
    bool found = false;
    std::string serialFile;
    const std::string mine = adapter + ":";
    for (const std::string& item : a.assign) {
        if (item.rfind(mine, 0) != 0) continue;
        const std::size_t colon = item.find(':', mine.size());
        try {
            serial = std::stoll(item.substr(mine.size(), colon - mine.size()));
            found = true;
        } catch (const std::exception&) {
            found = false;
        }
        if (colon != std::string::npos) serialFile = item.substr(colon + 1);
    }
    // The files are read once more here and burned only as the parent checked
    // them: the lot's by its SHA-256, the serial's whole.
    std::optional<std::string> data, serialBurn = std::string();
    if (!place || !found) {
        why = "no serial for this adapter";
    } else if (!(data = ReadInput(a.file, why))) {
    } else if (Sha256Hex(*data) != a.sha256) {
        why = "the lot's burn file changed after it was checked";
    } else if (!serialFile.empty() && !(serialBurn = ReadInput(serialFile, why))) {
    } else if (std::optional<std::string> refused =
                   serialBurn->empty() ? std::nullopt : RefuseBurnFile(*serialBurn, true)) {
        why = *refused;
    }
    Json rec;
    int exit = kExitOk;
    const bool ready = why.empty() && OpenAuditLog(g, why);
    if (!ready) {
        exit = kExitInput;
        rec = Json{{"command", "lot burn"}, {"time", UtcTimestamp()}, {"host", HostName()},
                   {"adapter", adapter},    {"lot", a.lot},           {"serial", serial},
                   {"sha256", a.sha256},    {"result", "failed"},     {"message", why}};
        Conclude(g, rec, exit, std::chrono::steady_clock::now());
    } else {
        SerialAddOn addOn(g, *place, serial, *serialBurn);
        BurnJob job;
        job.file = a.file;
        job.data = std::move(*data);
        job.sha256 = a.sha256;
        job.addOn = &addOn;
        job.fields = Json{{"lot", a.lot}, {"serial", serial}};
        rec = BurnOnAdapter(g, job, adapter, -1, exit);
    }
    WriteJsonLine(rec);
    return exit;
}

}  // namespace

void AddLotCommands(CLI::App& app, LotCommands& c) {
    LotArgs& a = c.args;
    CLI::App* lot = app.add_subcommand("lot", "production lots: a serial number in every chip");
    lot->require_subcommand(1);

    c.create =
        lot->add_subcommand("create", "register a lot: its burn file, serial place and range");
    c.create->add_option("name", a.name, "the lot's name")->required();
    c.create->add_option("--burn-file", a.burnFile, "NVM burn file (.nbf), stored in the database")
        ->required();
    auto* nvm = c.create->add_option("--serial-nvm", a.serialNvm,
                                     "NVM address and bytes of the serial, e.g. 0x1F00:4");
    auto* mtp = c.create->add_option("--serial-mtp", a.serialMtp,
                                     "MTP offset and bytes of the serial, written after the burn");
    nvm->excludes(mtp);
    c.create->add_option("--first", a.first, "first serial")->required();
    c.create->add_option("--last", a.last, "last serial (default: the largest the bytes hold)");

    c.status = lot->add_subcommand("status", "burned, failed and remaining serials of a lot");
    c.status->add_option("name", a.name, "the lot's name")->required();

    c.burn = lot->add_subcommand("burn", "burn the lot's burn file and the next serial per chip");
    c.burn->add_option("name", a.name, "the lot's name")->required();
    c.burn->add_option("-a,--adapter", a.adapters, "adapter serial number; repeat for a gang");
    c.burn->add_flag("--all", a.all, "every attached adapter, one serial each")->excludes("-a");

    c.records = app.add_subcommand("records", "the record of every chip and attempt");
    c.records->add_option("--lot", a.lot, "only this lot");
    c.records->add_option("--serial", a.serial, "only this serial");
    c.records->add_option("--since", a.since, "only from this UTC time on (2026-12-09T10:30)");
    auto* json = c.records->add_flag("--json", a.json, "one JSON object per record");
    c.records->add_flag("--csv", a.csv, "comma-separated values with a header line")
        ->excludes(json);

    for (CLI::App* cmd : {c.create, c.status, c.burn, c.records})
        cmd->add_option("--db", a.db,
                        "sqlite:PATH or postgresql://... (default: sqlite: in the user's data "
                        "directory)");

    c.worker = app.add_subcommand("_lot-worker", "one adapter of a lot's gang")->group("");
    c.worker->add_option("file", a.file)->required();
    c.worker->add_option("-a", a.adapters)->required();
    c.worker->add_option("--lot", a.lot)->required();
    c.worker->add_option("--place", a.place)->required();
    c.worker->add_option("--sha256", a.sha256);
    c.worker->add_option("--assign", a.assign);
}

int RunLotCommands(const Globals& g, LotCommands& c) {
    LotArgs& a = c.args;
    if (c.create->parsed()) {
        if (a.serialNvm.empty() && a.serialMtp.empty())
            return Fail(g, "lot create", kExitUsage, "--serial-nvm or --serial-mtp is required");
        return RunCreate(g, a, c.create->get_option("--last")->count() > 0);
    }
    if (c.status->parsed()) return RunStatus(g, a);
    if (c.burn->parsed()) {
        if (a.adapters.empty() && !a.all)
            return Fail(g, "lot burn", kExitUsage, "-a SERIAL... or --all is required");
        return RunBurnLot(g, a);
    }
    if (c.records->parsed())
        return RunRecords(g, a, c.records->get_option("--serial")->count() > 0);
    if (c.worker->parsed()) return RunLotWorker(g, a);
    return -1;
}

}  // namespace cindral::cli
