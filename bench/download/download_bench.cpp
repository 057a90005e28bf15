// Downloads a full 32 KiB Intel-HEX image into the virtual Zeltra and counts
// the report exchanges against the fewest the packet protocol allows: 60
// data bytes per write packet and one page CRC per 256-byte block.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "ordwin.h"
#include "wickport_test.h"

namespace {

constexpr unsigned kImageSize = 0x8000;
constexpr unsigned kWriteChunk = 60;
constexpr unsigned kCrcBlock = 256;

std::atomic<long> g_exchanges{0};

void CountSent(const char* line, void*) {
    if (line[0] == '>' && line[1] == ' ') ++g_exchanges;
}

std::string MakeImage() {
    std::string path = "/tmp/ordwin_download_bench.hex";
    std::ofstream out(path, std::ios::binary);
    char text[96];
    for (unsigned address = 0; address < kImageSize; address += 32) {
        std::snprintf(text, sizeof text, ":20%04X00", address);
        out << text;
        for (unsigned i = 0; i < 32; ++i) {
            std::snprintf(text, sizeof text, "%02X", (address * 31 + i * 7) & 0xFF);
            out << text;
        }
        out << "00\r\n";
    }
    out << ":00000001FF\r\n";
    return path;
}

void BM_Download32K(benchmark::State& state) {
    const std::string adapters = "VZB001:speed=max,latency_us=" + std::to_string(state.range(0));
    setenv("WICKPORT_VIRTUAL", adapters.c_str(), 1);
    if (ConnectUSB("VZB001", 1, 0, 1) != 0) {
        state.SkipWithError("cannot connect to the virtual Zeltra");
        return;
    }
    std::string path = MakeImage();
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    WpSetTraceCallback(CountSent, nullptr);
    long exchanges = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        g_exchanges = 0;
        if (Download(name.data(), 0, 1, 0, -1, 0, 0) != 0) {
            state.SkipWithError("download failed");
            break;
        }
        exchanges = g_exchanges;
    }
    const double elapsedUs =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    WpSetTraceCallback(nullptr, nullptr);
    DisconnectUSB();
    const long minimum = (kImageSize + kWriteChunk - 1) / kWriteChunk + kImageSize / kCrcBlock;
    state.counters["exchanges"] = static_cast<double>(exchanges);
    state.counters["minimum"] = static_cast<double>(minimum);
    if (exchanges > 0 && state.iterations() > 0) {
        state.counters["us_per_exchange"] =
            elapsedUs / static_cast<double>(state.iterations()) / static_cast<double>(exchanges);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kImageSize);
}

BENCHMARK(BM_Download32K)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Download32K)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
