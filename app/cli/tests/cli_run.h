// Running the real cindral-cli on virtual adapters, as the end-to-end tests do.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "burn_test_support.h"

extern char** environ;

namespace cindral::test {

using Json = nlohmann::json;

struct Child {
    pid_t pid = -1;
    int out = -1, err = -1;
};

// Stands for "WICKPORT_VIRTUAL unset": the program looks for real adapters.
const std::string kRealAdapters = "-";

struct Options {
    std::string trace;
    std::vector<std::string> env;  // more NAME=VALUE
    int terminal = -1;             // stderr on this terminal instead of a pipe
    const char* program = CINDRAL_CLI;
};

inline Child Start(const std::vector<std::string>& args, const std::string& virtualAdapters,
                   const Options& o = {}) {
    std::vector<std::string> env;
    auto overridden = [&o](const std::string& v) {
        for (const std::string& e : o.env)
            if (v.compare(0, e.find('=') + 1, e, 0, e.find('=') + 1) == 0) return true;
        return false;
    };
    for (char** e = environ; *e; ++e) {
        const std::string v = *e;
        if (v.rfind("WICKPORT_", 0) != 0 && !overridden(v)) env.push_back(v);
    }
    if (virtualAdapters != kRealAdapters) env.push_back("WICKPORT_VIRTUAL=" + virtualAdapters);
    if (!o.trace.empty()) env.push_back("WICKPORT_TRACE=" + o.trace);
    for (const std::string& e : o.env) env.push_back(e);
    std::vector<char*> argv{const_cast<char*>(o.program)}, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    int out[2], err[2];
    EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
    EXPECT_EQ(pipe2(err, O_CLOEXEC), 0);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_adddup2(&fa, o.terminal >= 0 ? o.terminal : err[1], 2);
    Child c;
    EXPECT_EQ(posix_spawn(&c.pid, o.program, &fa, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&fa);
    close(out[1]);
    close(err[1]);
    c.out = out[0];
    c.err = err[0];
    return c;
}

struct Result {
    int exit = -1;
    std::string out, err;
    std::vector<Json> Objects() const {
        std::vector<Json> objects;
        std::size_t from = 0;
        for (std::size_t nl; (nl = out.find('\n', from)) != std::string::npos; from = nl + 1)
            objects.push_back(Json::parse(out.substr(from, nl - from)));
        return objects;
    }
};

inline Result Finish(Child c) {
    Result r;
    pollfd fds[2] = {{c.out, POLLIN, 0}, {c.err, POLLIN, 0}};
    std::string* sinks[2] = {&r.out, &r.err};
    int open = 2;
    while (open > 0 && poll(fds, 2, 60000) > 0) {
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(c.pid, &status, 0);
    r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

inline Result RunCli(const std::vector<std::string>& args, const std::string& adapters,
                     const Options& o = {}) {
    return Finish(Start(args, adapters, o));
}

// Runs with stderr on a pseudo-terminal; err is what the terminal got.
inline Result RunOnTerminal(const std::vector<std::string>& args, const std::string& adapters) {
    int master = -1, slave = -1;
    EXPECT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    Options o;
    o.terminal = slave;
    Child c = Start(args, adapters, o);
    close(slave);
    std::string screen;
    std::thread reader([&] {
        char buffer[4096];
        ssize_t n;
        // EIO once every writer closed the terminal.
        while ((n = read(master, buffer, sizeof buffer)) > 0)
            screen.append(buffer, static_cast<std::size_t>(n));
    });
    Result r = Finish(c);
    reader.join();
    close(master);
    r.err = screen;
    return r;
}

class Cli : public ::testing::Test {
  protected:
    std::string Path(const std::string& name) const {
        return dir.path().toStdString() + "/" + name;
    }
    std::string Adapter(const std::string& serial, const std::string& extra = "") const {
        return serial + ":speed=max,state=" + Path(serial) + extra;
    }
    std::string Nvm(const std::string& serial) const { return ReadAll(Path(serial) + "/nvm.bin"); }
    QTemporaryDir dir;
};

}  // namespace cindral::test
