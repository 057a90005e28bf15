#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "readers.h"
#include "zt/firmware_layout.h"
#include "zt/zeltra_map.h"

namespace marlspin {

inline constexpr uint32_t kMinUserBegin = zt::zeltra::kNvmUserMinBegin;
inline constexpr uint32_t kUserEnd = zt::zeltra::kNvmUserLast;  // inclusive
inline constexpr uint32_t kBootRecord = zt::zeltra::kBootRecord;
inline constexpr uint32_t kBootRecordSize = zt::zeltra::kBootRecordSize;
inline constexpr std::size_t kMaxSegment = zt::burner::kMaxSegment;
inline constexpr std::size_t kMaxImages = 99;       // what Cindral's burn engine reads
inline constexpr std::size_t kMaxDirectImages = 9;  // Cindral numbers direct images with one digit
inline constexpr std::size_t kMaxInputFiles = 256;

inline constexpr uint8_t kStateUser = zt::zeltra::kBootStateUser;
inline constexpr uint8_t kStateRun = zt::zeltra::kBootStateRun;

enum BootFlag : uint8_t {
    kFlagXoEarlyEnable = zt::zeltra::kBootFlagXoEarlyEnable,
    kFlagExeUserBoot = zt::zeltra::kBootFlagExeUserBoot,
    kFlagNvmDisable = zt::zeltra::kBootFlagNvmDisable,
    kFlagMtpDisable = zt::zeltra::kBootFlagMtpDisable,
    kFlagRamClear = zt::zeltra::kBootFlagRamClear,
    kFlagC2Disable = zt::zeltra::kBootFlagC2Disable,
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
