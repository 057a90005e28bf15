#include "lot_store.h"

#include <string_view>

namespace cindral::lots {

namespace {

// Each step brings the schema from the version before it to its own. Tokens
// in braces stand for what the two dialects spell differently.
const char* const kMigrations[] = {
    // 1
    "CREATE TABLE burn_files ("
    " sha256 TEXT PRIMARY KEY,"
    " size BIGINT NOT NULL,"
    " content {blob} NOT NULL);"
    "CREATE TABLE lots ("
    " id {id},"
    " name TEXT NOT NULL UNIQUE,"
    " created TEXT NOT NULL,"
    " burn_file_name TEXT NOT NULL,"
    " burn_file_sha256 TEXT NOT NULL REFERENCES burn_files(sha256),"
    " memory TEXT NOT NULL CHECK (memory IN ('nvm', 'mtp')),"
    " address INTEGER NOT NULL,"
    " width INTEGER NOT NULL CHECK (width BETWEEN 1 AND 8),"
    " first_serial BIGINT NOT NULL,"
    " last_serial BIGINT NOT NULL,"
    " next_serial BIGINT NOT NULL,"
    " CHECK (first_serial <= last_serial));"
    "CREATE TABLE records ("
    " id {id},"
    " lot_id BIGINT NOT NULL REFERENCES lots(id),"
    " serial BIGINT NOT NULL,"
    " time TEXT NOT NULL,"
    " station TEXT NOT NULL,"
    " adapter TEXT NOT NULL,"
    " chip TEXT,"
    " trim_crc TEXT,"
    " burn_file_sha256 TEXT NOT NULL,"
    " result TEXT NOT NULL,"
    " message TEXT,"
    " crc TEXT,"
    " duration_s {real},"
    " UNIQUE (lot_id, serial));"
    "CREATE INDEX records_time ON records(time)",
};

std::string Spelled(std::string_view sql, Dialect d) {
    const bool pg = d == Dialect::kPostgres;
    const std::pair<std::string_view, std::string_view> tokens[] = {
        {"{id}", pg ? "BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY"
                    : "INTEGER PRIMARY KEY AUTOINCREMENT"},
        {"{blob}", pg ? "BYTEA" : "BLOB"},
        {"{real}", pg ? "DOUBLE PRECISION" : "REAL"},
    };
    std::string out(sql);
    for (const auto& [token, spelling] : tokens)
        for (std::size_t at; (at = out.find(token)) != std::string::npos;)
            out.replace(at, token.size(), spelling);
    return out;
}

std::vector<std::string> Statements(const std::string& script) {
    std::vector<std::string> out;
    std::size_t from = 0;
    while (from < script.size()) {
        std::size_t end = script.find(';', from);
        if (end == std::string::npos) end = script.size();
        out.push_back(script.substr(from, end - from));
        from = end + 1;
    }
    return out;
}

std::int64_t Number(const std::optional<std::string>& v) {
    if (!v) return 0;
    try {
        return std::stoll(*v);
    } catch (const std::exception&) {
        throw DbError("unexpected value in the database: " + *v);
    }
}

std::string TextOf(const std::optional<std::string>& v) {
    return v.value_or(std::string());
}

const char* MemoryName(Memory m) {
    return m == Memory::kMtp ? "mtp" : "nvm";
}

constexpr const char* kLotColumns =
    "id, name, created, burn_file_name, burn_file_sha256, memory, address, width, "
    "first_serial, last_serial, next_serial";

Lot LotOf(const Row& r) {
    Lot lot;
    lot.id = Number(r.at(0));
    lot.name = TextOf(r.at(1));
    lot.created = TextOf(r.at(2));
    lot.burnFileName = TextOf(r.at(3));
    lot.sha256 = TextOf(r.at(4));
    lot.place.memory = TextOf(r.at(5)) == "mtp" ? Memory::kMtp : Memory::kNvm;
    lot.place.address = static_cast<uint32_t>(Number(r.at(6)));
    lot.place.width = static_cast<int>(Number(r.at(7)));
    lot.first = Number(r.at(8));
    lot.last = Number(r.at(9));
    lot.next = Number(r.at(10));
    return lot;
}

}  // namespace

LotStore::LotStore(Database& db) : db_(db) {
    Migrate();
}

int LotStore::SchemaVersion() {
    const std::vector<Row> rows = db_.Query("SELECT max(version) FROM schema_version");
    return rows.empty() ? 0 : static_cast<int>(Number(rows.front().at(0)));
}

void LotStore::Migrate() {
    // A station whose role may not create tables still opens a current schema.
    try {
        if (SchemaVersion() == kSchemaVersion) return;
    } catch (const DbError&) {
        // No schema yet: created below.
    }
    Transaction t(db_);
    // Two stations starting on an empty database: the second waits here and
    // then finds the first one's schema.
    if (db_.Kind() == Dialect::kPostgres) db_.Query("SELECT pg_advisory_xact_lock(7326016)");
    db_.Query("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
    const int current = SchemaVersion();
    constexpr int known = static_cast<int>(std::size(kMigrations));
    static_assert(known == kSchemaVersion);
    if (current > known)
        throw DbError("the database's schema (version " + std::to_string(current) +
                      ") is newer than this program knows (" + std::to_string(known) + ")");
    for (int v = current + 1; v <= known; ++v) {
        for (const std::string& statement : Statements(Spelled(kMigrations[v - 1], db_.Kind())))
            db_.Query(statement);
        db_.Query("INSERT INTO schema_version (version) VALUES ($1)", {Value::Int(v)});
    }
    t.Commit();
}

bool LotStore::CreateLot(const Lot& lot, const std::string& burnFile, std::string& why) {
    Transaction t(db_);
    if (!db_.Query("SELECT id FROM lots WHERE name = $1", {Value::Text(lot.name)}).empty()) {
        why = "a lot named \"" + lot.name + "\" exists already";
        return false;
    }
    // The same burn file for several lots is kept once.
    if (db_.Query("SELECT sha256 FROM burn_files WHERE sha256 = $1", {Value::Text(lot.sha256)})
            .empty())
        db_.Query("INSERT INTO burn_files (sha256, size, content) VALUES ($1, $2, $3)",
                  {Value::Text(lot.sha256), Value::Int(static_cast<std::int64_t>(burnFile.size())),
                   Value::Blob(burnFile)});
    db_.Query(
        "INSERT INTO lots (name, created, burn_file_name, burn_file_sha256, memory, address, "
        "width, first_serial, last_serial, next_serial) "
        "VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10)",
        {Value::Text(lot.name), Value::Text(lot.created), Value::Text(lot.burnFileName),
         Value::Text(lot.sha256), Value::Text(MemoryName(lot.place.memory)),
         Value::Int(lot.place.address), Value::Int(lot.place.width), Value::Int(lot.first),
         Value::Int(lot.last), Value::Int(lot.first)});
    t.Commit();
    return true;
}

std::optional<Lot> LotStore::FindLot(const std::string& name) {
    const std::vector<Row> rows = db_.Query(
        std::string("SELECT ") + kLotColumns + " FROM lots WHERE name = $1", {Value::Text(name)});
    if (rows.empty()) return std::nullopt;
    return LotOf(rows.front());
}

std::optional<std::string> LotStore::BurnFile(const std::string& sha256) {
    const std::vector<Row> rows =
        db_.Query("SELECT content FROM burn_files WHERE sha256 = $1", {Value::Text(sha256)});
    if (rows.empty() || !rows.front().at(0)) return std::nullopt;
    return rows.front().at(0);
}

std::optional<LotStore::Allocation> LotStore::Allocate(const Lot& lot, const std::string& time,
                                                       const std::string& station,
                                                       const std::string& adapter) {
    Transaction t(db_);
    // One statement takes the number and moves the lot on; a second station
    // waits for this row and then sees the moved value.
    const std::vector<Row> taken = db_.Query(
        "UPDATE lots SET next_serial = next_serial + 1 "
        "WHERE id = $1 AND next_serial <= last_serial RETURNING next_serial - 1",
        {Value::Int(lot.id)});
    if (taken.empty()) return std::nullopt;
    Allocation a;
    a.serial = Number(taken.front().at(0));
    const std::vector<Row> row = db_.Query(
        "INSERT INTO records (lot_id, serial, time, station, adapter, burn_file_sha256, result) "
        "VALUES ($1, $2, $3, $4, $5, $6, $7) RETURNING id",
        {Value::Int(lot.id), Value::Int(a.serial), Value::Text(time), Value::Text(station),
         Value::Text(adapter), Value::Text(lot.sha256), Value::Text(kAllocated)});
    a.record = Number(row.at(0).at(0));
    t.Commit();
    return a;
}

void LotStore::Finish(std::int64_t record, const Outcome& o) {
    db_.Query(
        "UPDATE records SET result = $1, message = $2, chip = $3, trim_crc = $4, crc = $5, "
        "duration_s = $6 WHERE id = $7",
        {Value::Text(o.result), Value::Text(o.message),
         o.chip.empty() ? Value::Null() : Value::Text(o.chip),
         o.trimCrc.empty() ? Value::Null() : Value::Text(o.trimCrc),
         o.crc.empty() ? Value::Null() : Value::Text(o.crc),
         // As text, which both dialects convert to the column type.
         o.durationS ? Value::Text(std::to_string(*o.durationS)) : Value::Null(),
         Value::Int(record)});
}

LotStatus LotStore::Status(const Lot& lot) {
    LotStatus s;
    const std::vector<Row> rows =
        db_.Query("SELECT result, count(*) FROM records WHERE lot_id = $1 GROUP BY result",
                  {Value::Int(lot.id)});
    for (const Row& r : rows) {
        const std::string result = TextOf(r.at(0));
        const std::int64_t n = Number(r.at(1));
        if (result == "ok") {
            s.burned += n;
        } else if (result == kAllocated) {
            s.unfinished += n;
        } else {
            s.failed += n;
        }
    }
    const std::vector<Row> next =
        db_.Query("SELECT next_serial, last_serial FROM lots WHERE id = $1", {Value::Int(lot.id)});
    if (!next.empty()) s.remaining = Number(next.front().at(1)) - Number(next.front().at(0)) + 1;
    return s;
}

std::vector<Record> LotStore::Records(const RecordFilter& f) {
    std::string sql =
        "SELECT r.id, l.name, r.serial, r.time, r.station, r.adapter, r.chip, r.trim_crc, "
        "r.burn_file_sha256, r.result, r.message, r.crc, r.duration_s "
        "FROM records r JOIN lots l ON l.id = r.lot_id WHERE 1 = 1";
    std::vector<Value> params;
    const auto add = [&](const char* condition, Value v) {
        params.push_back(std::move(v));
        sql += std::string(" AND ") + condition + " $" + std::to_string(params.size());
    };
    if (f.lot) add("l.name =", Value::Text(*f.lot));
    if (f.serial) add("r.serial =", Value::Int(*f.serial));
    if (f.since) add("r.time >=", Value::Text(*f.since));
    sql += " ORDER BY r.id";
    std::vector<Record> out;
    for (const Row& r : db_.Query(sql, params)) {
        Record rec;
        rec.id = Number(r.at(0));
        rec.lot = TextOf(r.at(1));
        rec.serial = Number(r.at(2));
        rec.time = TextOf(r.at(3));
        rec.station = TextOf(r.at(4));
        rec.adapter = TextOf(r.at(5));
        rec.chip = TextOf(r.at(6));
        rec.trimCrc = TextOf(r.at(7));
        rec.sha256 = TextOf(r.at(8));
        rec.result = TextOf(r.at(9));
        rec.message = TextOf(r.at(10));
        rec.crc = TextOf(r.at(11));
        if (r.at(12)) {
            try {
                rec.durationS = std::stod(*r.at(12));
            } catch (const std::exception&) {
                rec.durationS.reset();
            }
        }
        out.push_back(std::move(rec));
    }
    return out;
}

}  // namespace cindral::lots
