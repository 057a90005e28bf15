// Downloads a full 32 KiB Intel-HEX image into the virtual Zeltra behind the
// virtual serial adapter and counts the bytes that cross the line against the
// fewest the packet protocol allows on a serial adapter: 8 data bytes per
// write packet with its 4-byte header and status byte, and one page CRC (2
// bytes out, 2 data bytes and the trailing byte back) per 256-byte block.
// The line is paced at 115200 baud (speed=real), so the wall time of a
// download is set against the line time of the bytes it moved.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "ordwin.h"
#include "serial_adapter.h"

namespace {

constexpr unsigned kImageSize = 0x8000;
constexpr unsigned kWriteChunk = 8;
constexpr unsigned kWriteOverhead = 4 + 1;
constexpr unsigned kCrcBlock = 256;
constexpr unsigned kCrcExchange = 2 + 2 + 1;
constexpr double kBitsPerByte = 10.0;  // 8N1
constexpr double kBaud = 115200.0;

std::string MakeImage(const std::string& dir) {
    std::string path = dir + "/download.hex";
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

void BM_SerialDownload32K(benchmark::State& state) {
    const std::string dir = "/tmp/ordwin_serial_bench_" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    std::string error;
    auto server =
        zsim::SerialAdapterServer::Create(dir + "/ttyZS0", "VZS001", {{"speed", "real"}}, &error);
    if (!server) {
        state.SkipWithError(error.c_str());
        return;
    }
    setenv("ORDWIN_COM1", server->Link().c_str(), 1);
    std::atomic<bool> stop{false};
    std::thread serving([&] { server->Serve(stop); });
    if (Connect(1, 1, 1, 1) != 0) {  // baud index 1: 115200
        state.SkipWithError("cannot connect to the virtual serial adapter");
    } else {
        std::string path = MakeImage(dir);
        std::vector<char> name(path.begin(), path.end());
        name.push_back('\0');
        uint64_t wire = 0;
        double wall = 0;
        for (auto _ : state) {
            const uint64_t before = server->BytesFromHost() + server->BytesToHost();
            const auto t0 = std::chrono::steady_clock::now();
            if (Download(name.data(), 0, 1, 0, -1, 0, 0) != 0) {
                state.SkipWithError("download failed");
                break;
            }
            wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            wire = server->BytesFromHost() + server->BytesToHost() - before;
        }
        Disconnect(1);
        const unsigned minimum = kImageSize +
                                 (kImageSize + kWriteChunk - 1) / kWriteChunk * kWriteOverhead +
                                 kImageSize / kCrcBlock * kCrcExchange;
        state.counters["wire_bytes"] = static_cast<double>(wire);
        state.counters["minimum_bytes"] = minimum;
        state.counters["ratio"] = static_cast<double>(wire) / minimum;
        const double line = static_cast<double>(wire) * kBitsPerByte / kBaud;
        state.counters["line_s_at_115200"] = line;
        state.counters["wall_s"] = wall;
        // 1 would be a line never idle; more is time spent between bytes.
        state.counters["wall_over_line"] = line > 0 ? wall / line : 0;
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kImageSize);
    }
    stop = true;
    serving.join();
    server.reset();
    std::filesystem::remove_all(dir);
}

BENCHMARK(BM_SerialDownload32K)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
