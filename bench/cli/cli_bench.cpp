// cindral-cli burning the whole user region of a virtual Zeltra (speed=real,
// 1 ms per report exchange). The model is the exchanges the burn needed times
// 1 ms plus 50 us of chip time per burned byte; the goal is within 1.2x of it.
// Four adapters in parallel should take within 1.3x of one.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr unsigned kUserBegin = 0x0200, kUserEnd = 0x1FF0;  // the boot record follows
constexpr unsigned kBootRecord = 16;
constexpr double kExchangeS = 0.001, kByteS = 50e-6;

const std::string kDir = "/tmp/cindral_cli_bench";

// Runs cindral-cli quietly with the given virtual adapters; its wall time.
double RunCli(const std::vector<std::string>& args, const std::string& adapters,
              const std::string& trace = "") {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("WICKPORT_", 0) != 0) env.emplace_back(*e);
    env.push_back("WICKPORT_VIRTUAL=" + adapters);
    if (!trace.empty()) env.push_back("WICKPORT_TRACE=" + trace);
    std::vector<char*> argv{const_cast<char*>(CINDRAL_CLI), const_cast<char*>("-q")}, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int status = -1;
    if (posix_spawn(&pid, CINDRAL_CLI, &quiet, nullptr, argv.data(), envp.data()) == 0)
        waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&quiet);
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? s : -1.0;
}

// The burn file of a boot image filling the user region, composed once.
const std::string& BurnFile() {
    static const std::string nbf = [] {
        std::string cmd = "mkdir -p " + kDir;
        if (std::system(cmd.c_str()) != 0) return std::string();
        std::ofstream hex(kDir + "/full.hex", std::ios::binary);
        char text[16];
        for (unsigned a = 0; a < kUserEnd - kUserBegin; a += 16) {
            unsigned sum = 16 + (a >> 8) + (a & 0xFF);
            std::snprintf(text, sizeof text, ":10%04X00", a);
            hex << text;
            for (unsigned i = 0; i < 16; ++i) {
                const unsigned b = ((a + i) * 37 + 11) & 0xFF;
                sum += b;
                std::snprintf(text, sizeof text, "%02X", b);
                hex << text;
            }
            std::snprintf(text, sizeof text, "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
            hex << text;
        }
        hex << ":00000001FF\r\n";
        hex.close();
        const std::string out = kDir + "/full.nbf";
        if (RunCli({"compose", "--overwrite", "--boot", kDir + "/full.hex@0x0200", "-o", out}, "") <
            0)
            return std::string();
        return out;
    }();
    return nbf;
}

long CountExchanges(const std::string& trace) {
    std::ifstream in(trace);
    long n = 0;
    for (std::string line; std::getline(in, line);)
        if (line.rfind("> ", 0) == 0) ++n;
    return n;
}

double g_oneAdapterS = 0;

void BM_FullNvmBurn(benchmark::State& state) {
    const std::string& nbf = BurnFile();
    if (nbf.empty()) return state.SkipWithError("compose failed");
    const std::string trace = kDir + "/trace.txt";
    double model = 0, wall = 0;
    long exchanges = 0;
    for (auto _ : state) {
        std::remove(trace.c_str());
        wall = RunCli({"burn", nbf, "-a", "VB0001"}, "VB0001:speed=real,latency_us=1000", trace);
        if (wall < 0) return state.SkipWithError("burn failed");
        exchanges = CountExchanges(trace);
        model = exchanges * kExchangeS + (kUserEnd - kUserBegin + kBootRecord) * kByteS;
        state.SetIterationTime(wall);
    }
    g_oneAdapterS = wall;
    state.counters["exchanges"] = static_cast<double>(exchanges);
    state.counters["model_s"] = model;
    state.counters["wall_s"] = wall;
    state.counters["ratio_vs_model"] = wall / model;  // goal <= 1.2
}

void BM_FourAdaptersInParallel(benchmark::State& state) {
    const std::string& nbf = BurnFile();
    if (nbf.empty() || g_oneAdapterS <= 0) return state.SkipWithError("needs the one-adapter run");
    std::string adapters;
    for (int i = 1; i <= 4; ++i)
        adapters += (i > 1 ? ";" : "") + ("VB000" + std::to_string(i)) + ":latency_us=1000";
    double wall = 0;
    for (auto _ : state) {
        wall = RunCli({"burn", nbf, "--all"}, adapters);
        if (wall < 0) return state.SkipWithError("gang burn failed");
        state.SetIterationTime(wall);
    }
    state.counters["wall_s"] = wall;
    state.counters["ratio_vs_one"] = wall / g_oneAdapterS;  // goal <= 1.3
}

BENCHMARK(BM_FullNvmBurn)->UseManualTime()->Iterations(2)->Unit(benchmark::kSecond);
BENCHMARK(BM_FourAdaptersInParallel)->UseManualTime()->Iterations(2)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
