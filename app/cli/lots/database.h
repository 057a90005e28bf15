// A small SQL connection over SQLite or PostgreSQL: parameterised statements
// only, text results, one write transaction at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace cindral::lots {

// A statement's parameter. Names, paths and numbers from the command line are
// always bound this way, never joined into the SQL.
struct Value {
    enum class Kind { kNull, kInt, kText, kBlob };
    Kind kind = Kind::kNull;
    std::int64_t number = 0;
    std::string bytes;

    static Value Int(std::int64_t v) { return Value{Kind::kInt, v, {}}; }
    static Value Text(std::string v) { return Value{Kind::kText, 0, std::move(v)}; }
    static Value Blob(std::string v) { return Value{Kind::kBlob, 0, std::move(v)}; }
    static Value Null() { return Value{}; }
};

// One result row: each column as text (blobs as their bytes), NULL as nullopt.
using Row = std::vector<std::optional<std::string>>;

class DbError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class Dialect { kSqlite, kPostgres };

class Database {
  public:
    virtual ~Database() = default;
    virtual Dialect Kind() const = 0;
    // One statement; "$1".."$n" name the parameters. Throws DbError.
    virtual std::vector<Row> Query(const std::string& sql,
                                   const std::vector<Value>& params = {}) = 0;
    // Starts a transaction that holds the write lock from its first statement,
    // so that two writers queue instead of failing halfway.
    virtual void BeginWrite() = 0;
    void Commit() { Query("COMMIT"); }
    void Rollback() { Query("ROLLBACK"); }
};

// Commits only when told; anything else, an exception included, rolls back.
class Transaction {
  public:
    explicit Transaction(Database& db) : db_(db) { db_.BeginWrite(); }
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit() {
        db_.Commit();
        open_ = false;
    }

  private:
    Database& db_;
    bool open_ = true;
};

// Where the lots live: "sqlite:PATH" or a libpq URL ("postgresql://..." or
// "postgres://...").
struct DbUrl {
    Dialect dialect = Dialect::kSqlite;
    std::string target;  // the SQLite path, or the whole libpq URL
};

std::optional<DbUrl> ParseDbUrl(const std::string& text, std::string& why);

// The default database: "cindral/lots.sqlite" in the user's data place
// ($XDG_DATA_HOME or ~/.local/share; %LOCALAPPDATA% on Windows).
std::string DefaultDbUrl();

// The warning for a URL that carries a password, or empty.
std::string PasswordWarning(const DbUrl& url);

// Opens (and for SQLite creates) the database; nullptr with the reason.
std::unique_ptr<Database> OpenSqlite(const std::string& path, std::string& why);
std::unique_ptr<Database> OpenPostgres(const std::string& url, std::string& why);
std::unique_ptr<Database> OpenDatabase(const DbUrl& url, std::string& why);

}  // namespace cindral::lots
