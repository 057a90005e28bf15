// Lots end to end: the real program, composer and library on virtual chips,
// with the lots database on SQLite and on a PostgreSQL server of the test's own.
#include <unistd.h>

#include <set>

#include "cli_run.h"
#include "pg_server.h"

namespace cindral {
namespace {

using namespace test;

constexpr std::size_t kSerialAt = 0x1F00;

std::string Host() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

std::vector<Json> Lines(const std::string& text) {
    std::vector<Json> out;
    std::size_t from = 0;
    for (std::size_t nl; (nl = text.find('\n', from)) != std::string::npos; from = nl + 1)
        out.push_back(Json::parse(text.substr(from, nl - from)));
    return out;
}

class Lots : public Cli {
  protected:
    // A Main-page burn file: boot bytes from 0x0200, the boot record at 0x1FF0.
    void Compose() {
        WriteAll(Path("boot.hex"), kBootHex);
        const Result r =
            RunCli({"compose", "--boot", Path("boot.hex") + "@0x0200", "--run", "-o", Nbf()}, "");
        ASSERT_EQ(r.exit, 0) << r.err;
    }
    std::string Nbf() const { return Path("job.nbf"); }
    // The serial a chip holds, big-endian from 0x1F00.
    long Serial(const std::string& chip, int width = 4) const {
        const std::string nvm = Nvm(chip);
        if (nvm.size() < kSerialAt + width) return -1;
        long v = 0;
        for (int i = 0; i < width; ++i)
            v = v * 256 + static_cast<unsigned char>(nvm[kSerialAt + i]);
        return v;
    }
};

TEST_F(Lots, SerialsOnSqliteFromCreationToRecords) {
    Compose();
    const std::string db = "sqlite:" + Path("lots.sqlite");
    const std::string original = ReadAll(Nbf());

    struct Refusal {
        std::vector<std::string> args;
        int exit;
        const char* says;
    };
    const Refusal refusals[] = {
        {{"--serial-nvm", "0x0208:4", "--first", "1"}, 1, "overlap burner image 1"},
        {{"--serial-nvm", "0x1FEE:4", "--first", "1"}, 1, "outside the NVM user region"},
        {{"--serial-nvm", "0x1FF4:2", "--first", "1"}, 1, "outside the NVM user region"},
        {{"--serial-nvm", "0x0100:2", "--first", "1"}, 1, "outside the NVM user region"},
        {{"--serial-nvm", "0x1F00:1", "--first", "250", "--last", "256"}, 1, "do not fit"},
        {{"--serial-nvm", "0x1F00:2", "--first", "9", "--last", "8"}, 1, "below the first"},
        {{"--serial-nvm", "0x1F00:9", "--first", "1"}, 1, "1 to 8 bytes"},
        {{"--serial-mtp", "14:4", "--first", "1"}, 1, "outside the 16-byte MTP"},
        {{"--first", "1"}, 1, "--serial-nvm or --serial-mtp"},
    };
    for (const Refusal& r : refusals) {
        std::vector<std::string> args = {"lot", "create", "L1", "--burn-file", Nbf(), "--db", db};
        args.insert(args.end(), r.args.begin(), r.args.end());
        const Result res = RunCli(args, "");
        EXPECT_EQ(res.exit, r.exit) << r.says;
        EXPECT_NE(res.err.find(r.says), std::string::npos) << res.err;
    }
    // Input and database problems.
    EXPECT_EQ(RunCli({"lot", "create", "L1", "--burn-file", Path("none.nbf"), "--serial-nvm",
                      "0x1F00:4", "--first", "1", "--db", db},
                     "")
                  .exit,
              6);
    const Result unreachable = RunCli(
        {"lot", "create", "L1", "--burn-file", Nbf(), "--serial-nvm", "0x1F00:4", "--first", "1",
         "--db", "postgresql://x@/lots?host=" + Path("no-server") + "&connect_timeout=2"},
        "");
    EXPECT_EQ(unreachable.exit, 7);
    EXPECT_NE(unreachable.err.find("cannot reach the database"), std::string::npos);
    // A burn without its database leaves the chip untouched.
    const Result offline = RunCli({"lot", "burn", "L1", "-a", "VZL009", "--db",
                                   "postgresql://x@/lots?host=" + Path("no-server")},
                                  Adapter("VZL009"));
    EXPECT_EQ(offline.exit, 7);
    EXPECT_EQ(Serial("VZL009"), -1);

    Result created = RunCli({"--json", "lot", "create", "L1", "--burn-file", Nbf(), "--serial-nvm",
                             "0x1F00:4", "--first", "1000", "--last", "1003", "--db", db},
                            "");
    ASSERT_EQ(created.exit, 0) << created.err;
    const std::string sha = created.Objects().at(0)["sha256"];
    EXPECT_EQ(RunCli({"lot", "create", "L1", "--burn-file", Nbf(), "--serial-nvm", "0x1F00:4",
                      "--first", "1", "--db", db},
                     "")
                  .exit,
              1);
    // The lot keeps the file as it was registered.
    WriteAll(Nbf(), "not a burn file any more");

    // A gang of three; the second adapter vanishes during its burn.
    const std::string log = Path("audit.log");
    const std::string gang =
        Adapter("VZL001") + ";" + Adapter("VZL002", ",fault=unplug@40") + ";" + Adapter("VZL003");
    Result first = RunCli({"--json", "--log", log, "lot", "burn", "L1", "--all", "--db", db}, gang);
    EXPECT_NE(first.exit, 0);
    std::vector<Json> objects = first.Objects();
    ASSERT_EQ(objects.size(), 4u) << first.out;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(objects[i]["serial"], 1000 + i);
        EXPECT_EQ(objects[i]["lot"], "L1");
    }
    EXPECT_EQ(objects[0]["result"], "ok");
    EXPECT_NE(objects[1]["result"], "ok");
    EXPECT_EQ(objects[2]["result"], "ok");
    EXPECT_EQ(Serial("VZL001"), 1000);
    EXPECT_EQ(Serial("VZL003"), 1002);
    // The burn file's own bytes are there too.
    EXPECT_EQ(Nvm("VZL001").substr(0x200, 16),
              ReadAll(Path("VZL003") + "/nvm.bin").substr(0x200, 16));
    EXPECT_EQ(Nvm("VZL001")[0x201], '\x01');

    // Plugged in again, the chip gets the next serial, never its old one.
    Result second =
        RunCli({"--json", "--log", log, "lot", "burn", "L1", "-a", "VZL002", "--db", db},
               Adapter("VZL002"));
    ASSERT_EQ(second.exit, 0) << second.err;
    EXPECT_EQ(second.Objects().at(0)["serial"], 1003);
    EXPECT_EQ(Serial("VZL002"), 1003);

    // The range is used up: the next chip is not touched.
    Result spent = RunCli({"lot", "burn", "L1", "-a", "VZL004", "--db", db}, Adapter("VZL004"));
    EXPECT_EQ(spent.exit, 1);
    EXPECT_NE(spent.err.find("no serial left"), std::string::npos) << spent.err;
    EXPECT_EQ(Serial("VZL004"), -1);

    Result status = RunCli({"--json", "lot", "status", "L1", "--db", db}, "");
    ASSERT_EQ(status.exit, 0) << status.err;
    const Json st = status.Objects().at(0);
    EXPECT_EQ(st["burned"], 3);
    EXPECT_EQ(st["failed"], 1);
    EXPECT_EQ(st["remaining"], 0);

    Result records = RunCli({"records", "--json", "--db", db}, "");
    ASSERT_EQ(records.exit, 0) << records.err;
    const std::vector<Json> rows = records.Objects();
    ASSERT_EQ(rows.size(), 4u);
    const char* adapters[] = {"VZL001", "VZL002", "VZL003", "VZL002"};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i]["serial"], 1000 + static_cast<int>(i));
        EXPECT_EQ(rows[i]["adapter"], adapters[i]);
        EXPECT_EQ(rows[i]["sha256"], sha);
        EXPECT_EQ(rows[i]["station"], Host());
        EXPECT_TRUE(rows[i]["duration_s"].is_number());
    }
    EXPECT_EQ(rows[0]["result"], "ok");
    EXPECT_EQ(rows[1]["result"], objects[1]["result"]);
    EXPECT_EQ(rows[0]["chip"]["device"]["wBoot_NvmUserBeg"], "0x0200");
    EXPECT_EQ(rows[0]["trim_crc"], rows[0]["crc"]["trim"]);
    EXPECT_FALSE(rows[0]["trim_crc"].get<std::string>().empty());

    struct Query {
        std::vector<std::string> args;
        std::size_t lines;
    };
    const Query queries[] = {
        {{"--csv"}, 5},
        {{"--csv", "--serial", "1001"}, 2},
        {{"--json", "--lot", "L1", "--since", "2000-01-01"}, 4},
        {{"--json", "--since", "2999-01-01T00:00"}, 0},
        {{"--json", "--lot", "other"}, 0},
    };
    for (const Query& q : queries) {
        std::vector<std::string> args = {"records", "--db", db};
        args.insert(args.end(), q.args.begin(), q.args.end());
        const Result r = RunCli(args, "");
        ASSERT_EQ(r.exit, 0) << r.err;
        EXPECT_EQ(static_cast<std::size_t>(std::count(r.out.begin(), r.out.end(), '\n')), q.lines)
            << q.args.at(0) << " " << r.out;
    }
    EXPECT_EQ(RunCli({"records", "--since", "yesterday", "--db", db}, "").exit, 1);

    // The audit log names lot and serial for every chip.
    const std::vector<Json> logged = Lines(ReadAll(log));
    ASSERT_EQ(logged.size(), 4u);
    std::multiset<long> serials;
    for (const Json& line : logged) {
        EXPECT_EQ(line["lot"], "L1");
        serials.insert(line["serial"].get<long>());
    }
    EXPECT_EQ(serials, (std::multiset<long>{1000, 1001, 1002, 1003}));
}

TEST_F(Lots, SerialIntoTheMtpKeepsTheOtherBytes) {
    Compose();
    const std::string db = "sqlite:" + Path("lots.sqlite");
    // The MTP writer runs on the chip's clock for its second.
    const std::string chip = "VZM001:state=" + Path("VZM001");
    const Result written =
        RunCli({"mtp", "write", "11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF 01"}, chip);
    ASSERT_EQ(written.exit, 0) << written.err << written.out;
    ASSERT_EQ(RunCli({"lot", "create", "M", "--burn-file", Nbf(), "--serial-mtp", "2:2", "--first",
                      "700", "--db", db},
                     "")
                  .exit,
              0);
    const Result burn = RunCli({"lot", "burn", "M", "-a", "VZM001", "--db", db}, chip);
    ASSERT_EQ(burn.exit, 0) << burn.err << burn.out;
    EXPECT_EQ(ReadAll(Path("VZM001") + "/mtp.bin"),
              std::string("\x11\x22\x02\xBC\x55\x66\x77\x88\x99\xAA\xBB\xCC\xDD\xEE\xFF\x01", 16));
    EXPECT_EQ(Nvm("VZM001")[0x201], '\x01');
}

// Two stations on one line database, each with a gang of its own, at once.
TEST_F(Lots, TwoStationsOnPostgresNeverShareASerial) {
    PgServer server;
    if (!server.Ready()) GTEST_SKIP() << server.Why();
    Compose();
    ASSERT_EQ(RunCli({"lot", "create", "line", "--burn-file", Nbf(), "--serial-nvm", "0x1F00:4",
                      "--first", "1", "--last", "100", "--db", server.Url()},
                     "")
                  .exit,
              0);
    std::string a, b;
    for (int i = 1; i <= 3; ++i) {
        a += (i > 1 ? ";" : "") + Adapter("VZA00" + std::to_string(i));
        b += (i > 1 ? ";" : "") + Adapter("VZB00" + std::to_string(i));
    }
    Child one = Start({"--json", "lot", "burn", "line", "--all", "--db", server.Url()}, a);
    Child two = Start({"--json", "lot", "burn", "line", "--all", "--db", server.Url()}, b);
    const Result ra = Finish(one), rb = Finish(two);
    ASSERT_EQ(ra.exit, 0) << ra.err << ra.out;
    ASSERT_EQ(rb.exit, 0) << rb.err << rb.out;

    std::set<long> serials;
    for (const Result* r : {&ra, &rb}) {
        const std::vector<Json> objects = r->Objects();
        ASSERT_EQ(objects.size(), 4u);
        for (int i = 0; i < 3; ++i) {
            const long serial = objects[i]["serial"];
            EXPECT_EQ(Serial(objects[i]["adapter"]), serial);
            serials.insert(serial);
        }
    }
    EXPECT_EQ(serials, (std::set<long>{1, 2, 3, 4, 5, 6}));
    const Result records = RunCli({"records", "--json", "--db", server.Url()}, "");
    EXPECT_EQ(records.Objects().size(), 6u);
}

}  // namespace
}  // namespace cindral
