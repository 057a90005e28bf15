// The lots database on a PostgreSQL server: a line of stations sharing it.
#include <libpq-fe.h>

#include <memory>

#include "database.h"

namespace cindral::lots {

namespace {

constexpr unsigned kByteaOid = 17;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// bytea in the server's hex output form, "\x0a1b...".
std::string DecodeBytea(const char* text, int length) {
    std::string out;
    if (length < 2 || text[0] != '\\' || text[1] != 'x') throw DbError("unexpected bytea format");
    for (int i = 2; i + 1 < length; i += 2) {
        const int hi = HexValue(text[i]), lo = HexValue(text[i + 1]);
        if (hi < 0 || lo < 0) throw DbError("unexpected bytea format");
        out.push_back(static_cast<char>(hi * 16 + lo));
    }
    return out;
}

std::string Trimmed(const char* text) {
    std::string s = text != nullptr ? text : "";
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

class PostgresDatabase final : public Database {
  public:
    explicit PostgresDatabase(PGconn* conn) : conn_(conn) {}
    ~PostgresDatabase() override { PQfinish(conn_); }
    Dialect Kind() const override { return Dialect::kPostgres; }

    std::vector<Row> Query(const std::string& sql, const std::vector<Value>& params) override {
        std::vector<const char*> values(params.size(), nullptr);
        std::vector<int> lengths(params.size(), 0), formats(params.size(), 0);
        std::vector<std::string> numbers(params.size());
        for (std::size_t i = 0; i < params.size(); ++i) {
            const Value& v = params[i];
            switch (v.kind) {
                case Value::Kind::kNull:
                    break;
                case Value::Kind::kInt:
                    numbers[i] = std::to_string(v.number);
                    values[i] = numbers[i].c_str();
                    break;
                case Value::Kind::kText:
                    values[i] = v.bytes.c_str();
                    break;
                case Value::Kind::kBlob:
                    values[i] = v.bytes.data();
                    lengths[i] = static_cast<int>(v.bytes.size());
                    formats[i] = 1;
                    break;
            }
        }
        std::unique_ptr<PGresult, decltype(&PQclear)> result(
            PQexecParams(conn_, sql.c_str(), static_cast<int>(params.size()), nullptr,
                         values.data(), lengths.data(), formats.data(), 0),
            &PQclear);
        const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            throw DbError(
                Trimmed(result ? PQresultErrorMessage(result.get()) : PQerrorMessage(conn_)));
        std::vector<Row> rows;
        const int columns = PQnfields(result.get());
        for (int r = 0; r < PQntuples(result.get()); ++r) {
            Row row;
            for (int c = 0; c < columns; ++c) {
                if (PQgetisnull(result.get(), r, c)) {
                    row.emplace_back(std::nullopt);
                    continue;
                }
                const char* text = PQgetvalue(result.get(), r, c);
                const int length = PQgetlength(result.get(), r, c);
                row.emplace_back(PQftype(result.get(), c) == kByteaOid
                                     ? DecodeBytea(text, length)
                                     : std::string(text, static_cast<std::size_t>(length)));
            }
            rows.push_back(std::move(row));
        }
        return rows;
    }

    // Row locks (UPDATE) serialise the writers; READ COMMITTED re-reads a
    // row another station changed before this one's update applies.
    void BeginWrite() override { Query("BEGIN", {}); }

  private:
    PGconn* conn_;
};

void IgnoreNotice(void*, const char*) {}

}  // namespace

std::unique_ptr<Database> OpenPostgres(const std::string& url, std::string& why) {
    // The URL's own settings win over these defaults.
    const char* keys[] = {"connect_timeout", "application_name", "dbname", nullptr};
    const char* values[] = {"10", "cindral-cli", url.c_str(), nullptr};
    PGconn* conn = PQconnectdbParams(keys, values, 1);
    if (conn == nullptr || PQstatus(conn) != CONNECTION_OK) {
        why = "cannot reach the database: " +
              Trimmed(conn != nullptr ? PQerrorMessage(conn) : "out of memory");
        PQfinish(conn);
        return nullptr;
    }
    PQsetNoticeProcessor(conn, IgnoreNotice, nullptr);
    auto db = std::make_unique<PostgresDatabase>(conn);
    try {
        db->Query("SET client_encoding = 'UTF8'", {});
    } catch (const DbError& e) {
        why = std::string("cannot use the database: ") + e.what();
        return nullptr;
    }
    return db;
}

std::string PasswordWarning(const DbUrl& url) {
    if (url.dialect != Dialect::kPostgres) return {};
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(url.target.c_str(), &error);
    PQfreemem(error);
    bool password = false;
    for (PQconninfoOption* o = options; o != nullptr && o->keyword != nullptr; ++o)
        if (std::string(o->keyword) == "password" && o->val != nullptr && *o->val != '\0')
            password = true;
    PQconninfoFree(options);
    if (!password) return {};
    return "warning: the --db URL carries a password, which other users of this machine can see "
           "in its process list; use ~/.pgpass, a service file or PGPASSWORD instead";
}

}  // namespace cindral::lots
