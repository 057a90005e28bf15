// A PostgreSQL server of the test's own: a fresh cluster in a temporary
// directory, reachable only through a Unix socket there, gone afterwards.
#pragma once

#include <grp.h>
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace cindral::test {

class PgServer {
  public:
    PgServer() {
        namespace fs = std::filesystem;
        std::error_code ec;
        for (const auto& version : fs::directory_iterator("/usr/lib/postgresql", ec)) {
            const fs::path bin = version.path() / "bin";
            if (fs::exists(bin / "initdb") && fs::exists(bin / "pg_ctl") &&
                (bin_.empty() || bin.string() > bin_))
                bin_ = bin.string();
        }
        if (bin_.empty()) {
            why_ = "the PostgreSQL server binaries (initdb, pg_ctl) are not installed";
            return;
        }
        char pattern[] = "/tmp/cindral-pg-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            why_ = "no temporary directory";
            return;
        }
        dir_ = pattern;
        // The server refuses to run as root.
        if (geteuid() == 0) {
            const passwd* user = getpwnam("postgres");
            if (user == nullptr) user = getpwnam("nobody");
            if (user == nullptr) {
                why_ = "running as root and no unprivileged user to run the server";
                return;
            }
            if (chown(dir_.c_str(), user->pw_uid, user->pw_gid) != 0) {
                why_ = "cannot hand the temporary directory to " + std::string(user->pw_name);
                return;
            }
            as_ = std::string("setpriv --reuid=") + std::to_string(user->pw_uid) +
                  " --regid=" + std::to_string(user->pw_gid) + " --clear-groups ";
        }
        const std::string data = dir_ + "/data";
        const std::string port = std::to_string(20000 + getpid() % 20000);
        if (Run(bin_ + "/initdb -D " + data + " -A trust -U cindral -E UTF8 --no-sync") != 0) {
            why_ = "initdb failed (see " + dir_ + "/run.log)";
            return;
        }
        if (Run(bin_ + "/pg_ctl -D " + data + " -w -t 60 -l " + dir_ + "/server.log -o \"-k " +
                dir_ + " -p " + port + " -c listen_addresses='' -F\" start") != 0) {
            why_ = "the server did not start (see " + dir_ + "/server.log)";
            return;
        }
        started_ = true;
        url_ = "postgresql://cindral@/postgres?host=" + dir_ + "&port=" + port;
    }
    ~PgServer() {
        if (started_) Run(bin_ + "/pg_ctl -D " + dir_ + "/data -m immediate -w stop");
        std::error_code ec;
        if (!dir_.empty() && (started_ || why_.empty())) std::filesystem::remove_all(dir_, ec);
    }
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    bool Ready() const { return started_; }
    // Why the server is not there.
    const std::string& Why() const { return why_; }
    const std::string& Url() const { return url_; }
    // Runs SQL as the cluster's superuser.
    int Psql(const std::string& sql) const {
        return Run(bin_ + "/psql -q -v ON_ERROR_STOP=1 \"" + url_ + "\" -c \"" + sql + "\"");
    }

  private:
    int Run(const std::string& command) const {
        const std::string line = as_ + command + " >>" + dir_ + "/run.log 2>&1";
        return std::system(line.c_str());
    }

    std::string bin_, dir_, as_, url_, why_;
    bool started_ = false;
};

}  // namespace cindral::test
