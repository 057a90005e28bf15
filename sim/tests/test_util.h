// Helpers shared by the simulator tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "chip/zeltra.h"
#include "zt/platform/files.h"
#include "zt/platform/limits.h"

namespace zsim::test {

// A fresh directory under the system temp dir, removed with the object.
class TempDir {
  public:
    TempDir() : path_(zt::platform::MakeTempDirectory("zsim-test-", nullptr)) {}
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string Sub(const std::string& name) const { return (path_ / name).string(); }
    std::string Str() const { return path_.string(); }

  private:
    std::filesystem::path path_;
};

// While it lives, files of this process cannot grow past the given size
// (where the system can cap them: see active()).
using zt::platform::FileSizeLimit;

// Bitwise CRC-32 (reflected 0xEDB88320), written apart from the chip's table version.
inline uint32_t RefCrc32(const uint8_t* p, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

// Bitwise CRC-16/XMODEM.
inline uint16_t RefCrc16(const uint8_t* p, size_t n) {
    uint16_t c = 0;
    for (size_t i = 0; i < n; ++i) {
        c ^= uint16_t(p[i] << 8);
        for (int k = 0; k < 8; ++k)
            c = (c & 0x8000) ? uint16_t((c << 1) ^ 0x1021) : uint16_t(c << 1);
    }
    return c;
}

inline void PutBe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// Runs code (loaded at 0x0000 after a debug reset) until it reaches stop_at.
inline bool RunProgram(Zeltra& chip, const std::vector<uint8_t>& code, uint16_t stop_at,
                       uint64_t max_cycles = 1000000) {
    chip.Reset();
    chip.LoadCode(0, code.data(), code.size());
    return chip.RunTo(stop_at, chip.Cycles() + max_cycles);
}

// 8051 code that calls NvmBurn for `count` bytes staged at XDATA 0x0000 and
// leaves R7, R2, R3 at RAM 0x64..0x66; it ends in a loop at the returned address.
inline std::vector<uint8_t> BurnCall(uint16_t nvm, uint8_t count, uint8_t mode,
                                     const std::vector<uint8_t>& data, uint16_t* end) {
    std::vector<uint8_t> c;
    for (size_t i = 0; i < data.size(); ++i) {
        c.insert(c.end(), {0x90, 0x00, uint8_t(i)});  // MOV DPTR,#i
        c.insert(c.end(), {0x74, data[i]});           // MOV A,#data
        c.push_back(0xF0);                            // MOVX @DPTR,A
    }
    c.insert(c.end(), {0x90, 0x00, 0x00});                             // MOV DPTR,#0
    c.insert(c.end(), {0x7E, uint8_t(nvm >> 8), 0x7F, uint8_t(nvm)});  // R6:R7 = nvm
    c.insert(c.end(), {0x7D, count, 0x7C, mode});                      // R5 = count, R4 = mode
    c.insert(c.end(), {0x12, 0x80, 0x63});                             // LCALL NvmBurn
    c.insert(c.end(), {0x8F, 0x64, 0x8A, 0x65, 0x8B, 0x66});  // MOV 64h,R7 / 65h,R2 / 66h,R3
    *end = uint16_t(c.size());
    c.insert(c.end(), {0x80, 0xFE});  // SJMP $
    return c;
}

}  // namespace zsim::test
