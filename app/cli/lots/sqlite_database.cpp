// The lots database in one SQLite file: a station on its own.
#include <sqlite3.h>

#include "database.h"

namespace cindral::lots {

namespace {

// How long a writer waits for another process's transaction.
constexpr int kBusyTimeoutMs = 30000;

class SqliteDatabase final : public Database {
  public:
    explicit SqliteDatabase(sqlite3* db) : db_(db) {}
    ~SqliteDatabase() override { sqlite3_close_v2(db_); }
    Dialect Kind() const override { return Dialect::kSqlite; }

    std::vector<Row> Query(const std::string& sql, const std::vector<Value>& params) override {
        // "$n" is SQLite's "?n".
        std::string text = sql;
        for (char& c : text)
            if (c == '$') c = '?';
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, text.c_str(), static_cast<int>(text.size()), &stmt, nullptr) !=
            SQLITE_OK)
            throw DbError(sqlite3_errmsg(db_));
        std::vector<Row> rows;
        try {
            for (std::size_t i = 0; i < params.size(); ++i)
                Bind(stmt, static_cast<int>(i) + 1, params[i]);
            for (;;) {
                const int rc = sqlite3_step(stmt);
                if (rc == SQLITE_DONE) break;
                if (rc != SQLITE_ROW) throw DbError(sqlite3_errmsg(db_));
                Row row;
                for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                    if (sqlite3_column_type(stmt, c) == SQLITE_NULL) {
                        row.emplace_back(std::nullopt);
                        continue;
                    }
                    const void* data = sqlite3_column_blob(stmt, c);
                    const int size = sqlite3_column_bytes(stmt, c);
                    row.emplace_back(data == nullptr ? std::string()
                                                     : std::string(static_cast<const char*>(data),
                                                                   static_cast<std::size_t>(size)));
                }
                rows.push_back(std::move(row));
            }
        } catch (...) {
            sqlite3_finalize(stmt);
            throw;
        }
        sqlite3_finalize(stmt);
        return rows;
    }

    void BeginWrite() override { Query("BEGIN IMMEDIATE", {}); }

  private:
    void Bind(sqlite3_stmt* stmt, int index, const Value& v) {
        int rc = SQLITE_OK;
        switch (v.kind) {
            case Value::Kind::kNull:
                rc = sqlite3_bind_null(stmt, index);
                break;
            case Value::Kind::kInt:
                rc = sqlite3_bind_int64(stmt, index, v.number);
                break;
            case Value::Kind::kText:
                rc = sqlite3_bind_text64(stmt, index, v.bytes.data(), v.bytes.size(),
                                         SQLITE_TRANSIENT, SQLITE_UTF8);
                break;
            case Value::Kind::kBlob:
                rc = sqlite3_bind_blob64(stmt, index, v.bytes.data(), v.bytes.size(),
                                         SQLITE_TRANSIENT);
                break;
        }
        if (rc != SQLITE_OK) throw DbError(sqlite3_errmsg(db_));
    }

    sqlite3* db_;
};

}  // namespace

std::unique_ptr<Database> OpenSqlite(const std::string& path, std::string& why) {
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(path.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        why = "cannot open the database " + path + ": " +
              (db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);
    auto out = std::make_unique<SqliteDatabase>(db);
    try {
        out->Query("PRAGMA foreign_keys = ON", {});
        // A file that is not a database fails here, not halfway through a burn.
        out->Query("SELECT count(*) FROM sqlite_master", {});
    } catch (const DbError& e) {
        why = "cannot open the database " + path + ": " + e.what();
        return nullptr;
    }
    return out;
}

}  // namespace cindral::lots
