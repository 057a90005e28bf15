// Builds without the database client libraries (the Windows one: Debian ships
// neither SQLite nor libpq for it) keep the lot commands, which say so.
#include "database.h"

namespace cindral::lots {

std::unique_ptr<Database> OpenSqlite(const std::string&, std::string& why) {
    why = "this cindral-cli was built without SQLite; production lots need a build with it";
    return nullptr;
}

std::unique_ptr<Database> OpenPostgres(const std::string&, std::string& why) {
    why = "this cindral-cli was built without PostgreSQL; production lots need a build with it";
    return nullptr;
}

std::string PasswordWarning(const DbUrl&) {
    return {};
}

}  // namespace cindral::lots
