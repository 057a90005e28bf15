#include "database.h"

#include <filesystem>

#include "zt/platform/places.h"

namespace cindral::lots {

namespace fs = std::filesystem;

Transaction::~Transaction() {
    if (!open_) return;
    try {
        db_.Rollback();
    } catch (const DbError&) {
        // The connection is gone; the server rolls back by itself.
    }
}

std::optional<DbUrl> ParseDbUrl(const std::string& text, std::string& why) {
    if (text.rfind("sqlite:", 0) == 0) {
        std::string path = text.substr(7);
        // "sqlite:///abs/path" reads as the path it names.
        if (path.rfind("//", 0) == 0) path.erase(0, 2);
        if (path.empty()) {
            why = "--db sqlite:PATH needs a path";
            return std::nullopt;
        }
        return DbUrl{Dialect::kSqlite, path};
    }
    if (text.rfind("postgresql://", 0) == 0 || text.rfind("postgres://", 0) == 0)
        return DbUrl{Dialect::kPostgres, text};
    why = "--db takes sqlite:PATH or postgresql://...";
    return std::nullopt;
}

std::string DefaultDbUrl() {
    const std::string base = zt::platform::DataHome();
    // Without a home the database stays where the command runs.
    if (base.empty()) return "sqlite:lots.sqlite";
    return "sqlite:" + (fs::path(base) / "cindral" / "lots.sqlite").string();
}

std::unique_ptr<Database> OpenDatabase(const DbUrl& url, std::string& why) {
    if (url.dialect == Dialect::kSqlite) {
        std::error_code ec;
        const fs::path parent = fs::path(url.target).parent_path();
        if (!parent.empty()) fs::create_directories(parent, ec);
        return OpenSqlite(url.target, why);
    }
    return OpenPostgres(url.target, why);
}

}  // namespace cindral::lots
