#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "readers.h"

namespace marlspin {

inline constexpr uint32_t kMinUserBegin = 0x014C;  // first address after the factory data
inline constexpr uint32_t kUserEnd = 0x1FEF;       // last byte of the user region
inline constexpr uint32_t kBootRecord = 0x1FF0;
inline constexpr uint32_t kBootRecordSize = 8;      // state, flags, length, CRC32
inline constexpr std::size_t kMaxSegment = 0x1000;  // the burner's XDATA staging window
inline constexpr std::size_t kMaxImages = 99;       // what Cindral's burn engine reads
inline constexpr std::size_t kMaxDirectImages = 9;  // Cindral numbers direct images with one digit
inline constexpr std::size_t kMaxInputFiles = 256;

inline constexpr uint8_t kStateUser = 0x03;
inline constexpr uint8_t kStateRun = 0x07;

enum BootFlag : uint8_t {
    kFlagXoEarlyEnable = 0x01,
    kFlagExeUserBoot = 0x02,
    kFlagNvmDisable = 0x04,
    kFlagMtpDisable = 0x08,
    kFlagRamClear = 0x10,
    kFlagC2Disable = 0x40,
};

struct InputFile {
    enum class Kind { kBootHex, kBootMem, kAppHex, kAppMem };
    Kind kind;
    std::string path;
    std::string address;  // text as given
};

struct ComposeRequest {
    std::vector<InputFile> boot;  // in list order; the first one's address is the user begin
    std::vector<InputFile> app;
    std::string burn_file;
    uint8_t state = 0;
    uint8_t flags = 0;
    bool strict = false;
};

struct DirectRequest {
    std::optional<std::string> file;  // a direct burn file, else `text`
    std::string text;
    std::string burn_file;
    bool strict = false;
};

// Consecutive NVM bytes burned by one NvmBurn segment.
struct Segment {
    uint32_t address = 0;
    std::vector<uint8_t> bytes;
};

struct MapRow {
    std::string name;
    uint64_t first = 0;
    uint64_t last = 0;
    std::string status;
};

struct BurnImage {
    std::string title;
    std::vector<Segment> segments;
};

struct Composition {
    bool strict = false;
    std::vector<MapRow> rows;
    std::vector<BurnImage> images;  // in burn order
    bool has_boot_record = false;
    uint32_t user_begin = 0;
    uint16_t boot_length = 0;
    uint32_t user_crc = 0;
};

// Reads the inputs, places and checks them and plans the burner images.
// Throws Failure with the exit code of the first fatal problem; conflicts and
// bytes outside the user region are reported on `warn` and in the rows.
Composition Compose(const ComposeRequest& request, std::ostream& info, std::ostream& warn);
Composition ComposeDirect(const DirectRequest& request, std::ostream& info);

// Contiguous runs of the bytes set in lo..hi, each cut into segments of at most kMaxSegment.
std::vector<Segment> SegmentsOf(const PlacedBytes& bytes, uint32_t lo, uint32_t hi);

}  // namespace marlspin
