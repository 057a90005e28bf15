// The lot store on both databases: the same flow on a SQLite file and on a
// PostgreSQL server of the test's own, and serials taken by many connections
// at once.
#include "lots/lot_store.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <thread>

#include "pg_server.h"

namespace cindral::lots {
namespace {

test::PgServer& Server() {
    static test::PgServer server;
    return server;
}

class Store : public ::testing::TestWithParam<Dialect> {
  protected:
    void SetUp() override {
        if (GetParam() == Dialect::kPostgres) {
            if (!Server().Ready()) GTEST_SKIP() << Server().Why();
            // Each test on an empty database of its own.
            const std::string name =
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
            std::string db = "t";
            for (char c : name)
                db += std::isalnum(static_cast<unsigned char>(c)) ? char(std::tolower(c)) : '_';
            db = db.substr(0, 60);
            ASSERT_EQ(Server().Psql("CREATE DATABASE " + db), 0);
            url_ = DbUrl{Dialect::kPostgres, Server().Url()};
            url_.target.replace(url_.target.find("/postgres?"), 10, "/" + db + "?");
        } else {
            char pattern[] = "/tmp/cindral-lots-XXXXXX";
            ASSERT_NE(mkdtemp(pattern), nullptr);
            dir_ = pattern;
            url_ = DbUrl{Dialect::kSqlite, dir_ + "/sub/lots.sqlite"};
        }
    }
    void TearDown() override {
        std::error_code ec;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
    }
    std::unique_ptr<Database> Open() {
        std::string why;
        std::unique_ptr<Database> db = OpenDatabase(url_, why);
        EXPECT_NE(db, nullptr) << why;
        return db;
    }
    static Lot NewLot(const std::string& name, std::int64_t first, std::int64_t last) {
        Lot lot;
        lot.name = name;
        lot.created = "2026-12-09T10:00:00.000Z";
        lot.burnFileName = "/path/with space/job.nbf";
        lot.sha256 = "ab" + std::string(62, '0');
        lot.place = SerialPlace{Memory::kNvm, 0x1F00, 4};
        lot.first = first;
        lot.last = last;
        return lot;
    }

    DbUrl url_;
    std::string dir_;
};

TEST_P(Store, LotFlowFromCreationToRecords) {
    std::unique_ptr<Database> db = Open();
    ASSERT_TRUE(db);
    LotStore store(*db);
    EXPECT_EQ(store.SchemaVersion(), LotStore::kSchemaVersion);

    // Names are data: quotes and SQL stay what they are.
    const std::string name = "L1'; DROP TABLE lots; --";
    // Binary content with NUL and high bytes survives the round trip.
    const std::string content = std::string("[Burn]\r\n\0\x01\xFF\x80", 12) + "end";
    std::string why;
    ASSERT_TRUE(store.CreateLot(NewLot(name, 1000, 1002), content, why)) << why;
    EXPECT_FALSE(store.CreateLot(NewLot(name, 1, 2), content, why));
    EXPECT_NE(why.find("exists already"), std::string::npos);
    // A second lot with the same burn file keeps one copy of it.
    ASSERT_TRUE(store.CreateLot(NewLot("L2", 1, 1), content, why)) << why;
    EXPECT_EQ(db->Query("SELECT count(*) FROM burn_files").at(0).at(0), "1");

    const std::optional<Lot> lot = store.FindLot(name);
    ASSERT_TRUE(lot);
    EXPECT_EQ(lot->place.address, 0x1F00u);
    EXPECT_EQ(lot->place.width, 4);
    EXPECT_EQ(lot->burnFileName, "/path/with space/job.nbf");
    EXPECT_EQ(store.BurnFile(lot->sha256), content);
    EXPECT_FALSE(store.FindLot("L1"));

    // Three chips: the serials go out in order, each once, whatever the result.
    const char* results[] = {"ok", "failed", "interrupted, state unknown"};
    for (int i = 0; i < 3; ++i) {
        const auto a = store.Allocate(*lot, "2026-12-09T10:0" + std::to_string(i) + ":00.000Z",
                                      "station-1", "VZ000" + std::to_string(i));
        ASSERT_TRUE(a);
        EXPECT_EQ(a->serial, 1000 + i);
        if (i < 2) {
            store.Finish(a->record,
                         Outcome{results[i], "msg " + std::to_string(i), R"({"name":"Zeltra"})",
                                 "0x12345678", R"({"user_match":true})", 1.25});
        }
    }
    // The range is used up; the chip that never reported back still counts.
    EXPECT_FALSE(store.Allocate(*lot, "2026-12-09T11:00:00.000Z", "station-1", "VZ0009"));
    const LotStatus s = store.Status(*lot);
    EXPECT_EQ(s.burned, 1);
    EXPECT_EQ(s.failed, 1);
    EXPECT_EQ(s.unfinished, 1);
    EXPECT_EQ(s.remaining, 0);

    struct Case {
        RecordFilter filter;
        std::vector<std::int64_t> serials;
    };
    const Case cases[] = {
        {{}, {1000, 1001, 1002}},
        {{name, std::nullopt, std::nullopt}, {1000, 1001, 1002}},
        {{"L2", std::nullopt, std::nullopt}, {}},
        {{std::nullopt, 1001, std::nullopt}, {1001}},
        {{std::nullopt, std::nullopt, "2026-12-09T10:01"}, {1001, 1002}},
        {{name, 1002, "2026-12-09"}, {1002}},
    };
    for (const Case& c : cases) {
        std::vector<std::int64_t> got;
        for (const Record& r : store.Records(c.filter)) got.push_back(r.serial);
        EXPECT_EQ(got, c.serials);
    }
    const std::vector<Record> all = store.Records({});
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].lot, name);
    EXPECT_EQ(all[0].result, "ok");
    EXPECT_EQ(all[0].adapter, "VZ0000");
    EXPECT_EQ(all[0].station, "station-1");
    EXPECT_EQ(all[0].trimCrc, "0x12345678");
    EXPECT_EQ(all[0].crc, R"({"user_match":true})");
    EXPECT_EQ(all[0].sha256, lot->sha256);
    ASSERT_TRUE(all[0].durationS);
    EXPECT_DOUBLE_EQ(*all[0].durationS, 1.25);
    EXPECT_EQ(all[1].result, "failed");
    EXPECT_EQ(all[2].result, kAllocated);
    EXPECT_FALSE(all[2].durationS);

    // Opening again keeps everything and migrates nothing.
    db.reset();
    std::unique_ptr<Database> again = Open();
    LotStore reopened(*again);
    EXPECT_EQ(reopened.Records({}).size(), 3u);
    EXPECT_EQ(again->Query("SELECT count(*) FROM schema_version").at(0).at(0), "1");
}

TEST_P(Store, ConcurrentConnectionsNeverShareASerial) {
    {
        std::unique_ptr<Database> db = Open();
        ASSERT_TRUE(db);
        LotStore store(*db);
        std::string why;
        ASSERT_TRUE(store.CreateLot(NewLot("gang", 1, 1000), "x", why)) << why;
    }
    constexpr int kStations = 4, kEach = 15;
    std::vector<std::vector<std::int64_t>> taken(kStations);
    std::vector<std::thread> stations;
    for (int t = 0; t < kStations; ++t) {
        stations.emplace_back([&, t] {
            std::string why;
            std::unique_ptr<Database> db = OpenDatabase(url_, why);
            if (!db) return;
            LotStore store(*db);
            const Lot lot = *store.FindLot("gang");
            for (int i = 0; i < kEach; ++i)
                if (auto a = store.Allocate(lot, "t", "station-" + std::to_string(t), "A"))
                    taken[t].push_back(a->serial);
        });
    }
    for (std::thread& t : stations) t.join();
    std::set<std::int64_t> all;
    for (const auto& serials : taken) {
        EXPECT_EQ(serials.size(), static_cast<std::size_t>(kEach));
        all.insert(serials.begin(), serials.end());
    }
    EXPECT_EQ(all.size(), static_cast<std::size_t>(kStations * kEach));
    EXPECT_EQ(*all.begin(), 1);
    EXPECT_EQ(*all.rbegin(), kStations * kEach);
}

// The README's grants are all a station's role needs to burn a lot, and they
// do not let it make or change lots.
TEST(StationRole, BurnsWithTheDocumentedGrantsOnly) {
    if (!Server().Ready()) GTEST_SKIP() << Server().Why();
    ASSERT_EQ(Server().Psql("CREATE DATABASE line"), 0);
    std::string url = Server().Url();
    url.replace(url.find("/postgres?"), 10, "/line?");
    std::string why;
    {
        std::unique_ptr<Database> owner = OpenPostgres(url, why);
        ASSERT_TRUE(owner) << why;
        LotStore store(*owner);
        Lot lot;
        lot.name = "line-lot";
        lot.created = "2026-12-09T10:00:00.000Z";
        lot.burnFileName = "job.nbf";
        lot.sha256 = std::string(64, 'c');
        lot.place = SerialPlace{Memory::kNvm, 0x1F00, 2};
        lot.first = 1;
        lot.last = 9;
        ASSERT_TRUE(store.CreateLot(lot, "content", why)) << why;
        for (const char* sql : {
                 "CREATE ROLE station LOGIN",
                 "GRANT CONNECT ON DATABASE line TO station",
                 "GRANT USAGE ON SCHEMA public TO station",
                 "GRANT SELECT ON schema_version, burn_files TO station",
                 "GRANT SELECT, UPDATE ON lots TO station",
                 "GRANT SELECT, INSERT, UPDATE ON records TO station",
             })
            owner->Query(sql);
    }
    std::string stationUrl = url;
    stationUrl.replace(stationUrl.find("cindral@"), 8, "station@");
    std::unique_ptr<Database> station = OpenPostgres(stationUrl, why);
    ASSERT_TRUE(station) << why;
    LotStore store(*station);
    const std::optional<Lot> lot = store.FindLot("line-lot");
    ASSERT_TRUE(lot);
    EXPECT_EQ(store.BurnFile(lot->sha256), "content");
    const auto a = store.Allocate(*lot, "2026-12-09T10:00:00.000Z", "station-7", "VZ0001");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->serial, 1);
    store.Finish(a->record, Outcome{"ok", "", "", "", "", 0.5});
    EXPECT_EQ(store.Status(*lot).burned, 1);
    EXPECT_EQ(store.Records({}).size(), 1u);
    Lot other = *lot;
    other.name = "made-by-a-station";
    EXPECT_THROW(store.CreateLot(other, "content", why), DbError);
    EXPECT_THROW(station->Query("DELETE FROM records"), DbError);
}

INSTANTIATE_TEST_SUITE_P(Dialects, Store, ::testing::Values(Dialect::kSqlite, Dialect::kPostgres),
                         [](const auto& info) {
                             return info.param == Dialect::kSqlite ? "Sqlite" : "Postgres";
                         });

TEST(Database, UrlsAndRefusals) {
    struct Case {
        const char* text;
        bool ok;
        Dialect dialect;
        const char* target;
    };
    const Case cases[] = {
        {"sqlite:/tmp/a.sqlite", true, Dialect::kSqlite, "/tmp/a.sqlite"},
        {"sqlite:///tmp/a.sqlite", true, Dialect::kSqlite, "/tmp/a.sqlite"},
        {"sqlite:rel.db", true, Dialect::kSqlite, "rel.db"},
        {"postgresql://line@db/lots", true, Dialect::kPostgres, "postgresql://line@db/lots"},
        {"postgres://db/lots", true, Dialect::kPostgres, "postgres://db/lots"},
        {"sqlite:", false, Dialect::kSqlite, ""},
        {"mysql://db", false, Dialect::kSqlite, ""},
        {"/tmp/a.sqlite", false, Dialect::kSqlite, ""},
    };
    for (const Case& c : cases) {
        std::string why;
        const std::optional<DbUrl> url = ParseDbUrl(c.text, why);
        ASSERT_EQ(url.has_value(), c.ok) << c.text;
        if (!url) {
            EXPECT_FALSE(why.empty());
            continue;
        }
        EXPECT_EQ(url->dialect, c.dialect) << c.text;
        EXPECT_EQ(url->target, c.target) << c.text;
    }
    EXPECT_NE(PasswordWarning({Dialect::kPostgres, "postgresql://u:secret@h/db"}), "");
    EXPECT_NE(PasswordWarning({Dialect::kPostgres, "postgresql://u@h/db?password=secret"}), "");
    EXPECT_EQ(PasswordWarning({Dialect::kPostgres, "postgresql://u@h/db"}), "");

    // Nothing to reach, and a file that is not a database: refused at open.
    std::string why;
    EXPECT_EQ(OpenPostgres("postgresql://nobody@/x?host=/nonexistent-dir&connect_timeout=2", why),
              nullptr);
    EXPECT_NE(why.find("cannot reach the database"), std::string::npos) << why;
    char pattern[] = "/tmp/cindral-notdb-XXXXXX";
    const int fd = mkstemp(pattern);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "this is no database at all, just some text.......", 48), 48);
    close(fd);
    EXPECT_EQ(OpenSqlite(pattern, why), nullptr);
    EXPECT_NE(why.find("cannot open the database"), std::string::npos) << why;
    unlink(pattern);
}

}  // namespace
}  // namespace cindral::lots
