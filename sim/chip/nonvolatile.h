// The chip's persistent memories: 8 KiB of one-time-programmable NVM, the 16
// MTP cells and the MTP write counter, optionally kept in a state directory.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "zt/platform/lock.h"
#include "zt/zeltra_map.h"

namespace zsim {

constexpr int kNvmSize = zt::zeltra::kNvmSize;
constexpr int kMtpSize = zt::zeltra::kMtpSize;

// NVM layout.
constexpr uint16_t kNvmTrimEnd = zt::zeltra::kNvmTrimEnd;
constexpr uint16_t kNvmPtData = zt::zeltra::kNvmPtData;
constexpr uint16_t kNvmTrimCrc = zt::zeltra::kNvmTrimCrc;
constexpr uint16_t kNvmUserEnd = zt::zeltra::kNvmUserEnd;  // exclusive
constexpr uint16_t kNvmBootState = zt::zeltra::kBootState;
constexpr uint16_t kNvmBootFlags = zt::zeltra::kBootFlags;
constexpr uint16_t kNvmBootLength = zt::zeltra::kBootLength;
constexpr uint16_t kNvmUserCrc = zt::zeltra::kBootUserCrc;

class NonVolatile {
  public:
    NonVolatile() = default;
    ~NonVolatile() { Close(); }
    NonVolatile(const NonVolatile&) = delete;
    NonVolatile& operator=(const NonVolatile&) = delete;

    // dir empty: the memories live in memory only. A missing directory (or
    // missing files in it) starts factory-fresh and is written at once. The
    // directory stays locked until Close: a second user, in this process or
    // another, is refused with an "in use by another program" error.
    bool Open(const std::string& dir, const std::string& serial, std::string* error);
    // Lets go of the state directory; the memories stay as they are.
    void Close();

    // Deterministic factory content seeded by the adapter serial.
    void MakeFactory(const std::string& serial);

    // Each save replaces its file atomically (temporary file, fsync, rename).
    bool SaveNvm(std::string* error);
    // The cells and the counter, as one step: meta.txt carries the cells too
    // and is renamed first, so a crash before mtp.bin follows is repaired at
    // the next Open.
    bool SaveMtp(std::string* error);

    const std::string& Dir() const { return dir_; }

    std::array<uint8_t, kNvmSize> nvm{};
    std::array<uint8_t, kMtpSize> mtp{};
    uint32_t mtp_writes = 0;

  private:
    bool Load(std::string* error);  // the files of the locked directory
    std::string dir_;
    zt::platform::DirectoryLock lock_;
};

// Result codes of the NVM burn routine.
using zt::zeltra::kBurnConflict;
using zt::zeltra::kBurnOk;
using zt::zeltra::kBurnRange;
using zt::zeltra::kBurnThreshold;
// The virtual chip's own code: the burned bytes could not be saved to the
// state directory, so they were taken back; the chip and its files keep agreeing.
inline constexpr uint8_t kBurnStorage = 5;

struct BurnOutcome {
    uint8_t code = kBurnOk;
    uint16_t fail_address = 0;  // NVM address of the failing byte
    int burned = 0;             // bytes that gained bits
};

// Burns count bytes from src at NVM dest. Bits are only ever added. In strict
// mode a burned bit that the source lacks is a conflict. The whole block is
// checked before any bit is set, so a refused burn changes nothing.
// The writable region is [writable_begin, writable_end).
BurnOutcome BurnNvm(uint8_t* nvm, uint32_t dest, const uint8_t* src, int count, bool logic_or,
                    uint32_t writable_begin, uint32_t writable_end, bool vpp);

// Writes data to path through a temporary file of a unique name beside it
// (path.tmp.XXXXXX), flushes it to disk and puts it in place of path.
bool WriteFileAtomic(const std::string& path, const void* data, size_t size, std::string* error);

}  // namespace zsim
