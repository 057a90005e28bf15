// Instructions per second of the core on bench/core/mix.c, and of ucsim (s51)
// on the same program: ucsim's own "Host usage" time is taken as the
// iteration time, so its start-up and our process spawn are not counted.
#include <benchmark/benchmark.h>

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
    uint64_t instructions = 0;
    for (auto _ : state) {
        Snapshot s;
        if (!RunUcsim(s51, ZSIM_BENCH_PROGRAM, 0, &s, &error) || s.host_seconds <= 0) {
            state.SkipWithError(("ucsim run failed: " + error).c_str());
            return;
        }
        state.SetIterationTime(s.host_seconds);
        instructions += per_run;
    }
    state.SetItemsProcessed(int64_t(instructions));
}
BENCHMARK(BM_UcsimMixedProgram)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
