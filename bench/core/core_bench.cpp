// Instructions per second of the core on bench/core/mix.c, and of ucsim (s51)
// on the same program, both in CPU time: ucsim's own "Host usage" is wall
// time and grows with the machine's load. ucsim's CPU time is that of its
// process (getrusage of the children), less that of a run of a program that
// stops at once, so its start-up, loading and dumps are not counted.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mcs51.h"
#include "support.h"

namespace {

using namespace zsim;
using namespace zsim::coretest;

constexpr uint64_t kMaxInstructions = 1'000'000'000;

// Instructions the program runs from reset to the halt address (from the state
// the core is in); kMaxInstructions when it never gets there.
uint64_t CountInstructions(Mcs51& core) {
    core.Reset();
    uint64_t n = 0;
    while (core.pc != kHaltAddress && n < kMaxInstructions) {
        core.Step();
        ++n;
    }
    return n;
}

uint64_t CountInstructions(const std::vector<uint8_t>& code) {
    FlatBus bus;
    Mcs51 core(bus, code.data());
    return CountInstructions(core);
}

void BM_CoreMixedProgram(benchmark::State& state) {
    std::vector<uint8_t> code;
    std::string error;
    if (!LoadIntelHexFile(ZSIM_BENCH_PROGRAM, &code, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    FlatBus bus;
    Mcs51 core(bus, code.data());
    uint64_t instructions = 0;
    for (auto _ : state) {
        // Bounded, so a core that no longer reaches the halt address fails instead of hanging.
        const uint64_t n = CountInstructions(core);
        if (n == kMaxInstructions) {
            state.SkipWithError("the program did not reach its halt address");
            return;
        }
        instructions += n;
        benchmark::DoNotOptimize(core.iram);
    }
    state.SetItemsProcessed(int64_t(instructions));
    state.counters["instructions_per_run"] = double(instructions) / double(state.iterations());
}
BENCHMARK(BM_CoreMixedProgram)->Unit(benchmark::kMillisecond);

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double ChildrenCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// The CPU seconds of one ucsim run of ihx; negative when it failed.
double UcsimCpuSeconds(const std::string& s51, const std::string& ihx, std::string* error) {
    Snapshot s;
    const double before = ChildrenCpuSeconds();
    if (!RunUcsim(s51, ihx, 0, &s, error)) return -1;
    return ChildrenCpuSeconds() - before;
}

void BM_UcsimMixedProgram(benchmark::State& state) {
    const std::string s51 = ZSIM_S51_PATH;
    if (s51.empty()) {
        state.SkipWithError("s51 not found at configure time");
        return;
    }
    std::vector<uint8_t> code;
    std::string error;
    if (!LoadIntelHexFile(ZSIM_BENCH_PROGRAM, &code, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const uint64_t per_run = CountInstructions(code);
    if (per_run == kMaxInstructions) {
        state.SkipWithError("the program did not reach its halt address");
        return;
    }
    // A program that jumps straight to the halt address: ucsim's fixed cost.
    const std::string empty = std::filesystem::temp_directory_path() / "zsim_bench_empty.ihx";
    std::ofstream(empty) << ":03000000027FF08C\n:00000001FF\n";
    // Our core's CPU time for the same program, for the ratio.
    double core_cpu = 0;
    {
        FlatBus bus;
        Mcs51 core(bus, code.data());
        const double t0 = ThreadCpuSeconds();
        for (int i = 0; i < 5; ++i) CountInstructions(core);
        core_cpu = (ThreadCpuSeconds() - t0) / 5;
    }
    uint64_t instructions = 0;
    double ucsim_cpu = 0;
    for (auto _ : state) {
        const double full = UcsimCpuSeconds(s51, ZSIM_BENCH_PROGRAM, &error);
        const double fixed = full < 0 ? -1 : UcsimCpuSeconds(s51, empty, &error);
        if (full < 0 || fixed < 0) {
            state.SkipWithError(("ucsim run failed: " + error).c_str());
            return;
        }
        const double run = std::max(full - fixed, 1e-6);
        state.SetIterationTime(run);
        ucsim_cpu += run;
        instructions += per_run;
    }
    std::filesystem::remove(empty);
    state.SetItemsProcessed(int64_t(instructions));
    state.counters["core_cpu_ms"] = core_cpu * 1e3;
    state.counters["ucsim_cpu_ms"] = ucsim_cpu / double(state.iterations()) * 1e3;
    // How many times faster our core is than ucsim, CPU time against CPU time.
    state.counters["core_speedup"] =
        core_cpu > 0 ? ucsim_cpu / double(state.iterations()) / core_cpu : 0;
}
BENCHMARK(BM_UcsimMixedProgram)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
