// Where a lot's serial number goes, and whether it may go there: a range of
// NVM bytes no image of the lot's burn file writes, inside the user region,
// or a range of the MTP.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/burn_file.h"

namespace cindral::lots {

enum class Memory { kNvm, kMtp };

struct SerialPlace {
    Memory memory = Memory::kNvm;
    uint32_t address = 0;  // NVM address or MTP offset
    int width = 0;         // bytes, big-endian
};

// "ADDR:BYTES": ADDR as "0x" hex or decimal, BYTES 1..8.
std::optional<SerialPlace> ParsePlace(std::string_view text, Memory memory, std::string& why);

// The largest serial `width` bytes hold (and that the database's 64-bit
// signed column keeps, with room to move past it).
std::int64_t MaxSerial(int width);

// Empty when first..last are numbers the place can hold.
std::string CheckRange(std::int64_t first, std::int64_t last, int width);

// Empty when the serial may go to `place` beside what the images write.
std::string CheckPlace(const SerialPlace& place,
                       const std::vector<BurnFileCheck::NvmWrite>& writes);

// The serial's bytes, most significant first.
std::vector<uint8_t> SerialBytes(std::int64_t serial, int width);

// The direct burn text that writes the serial at an NVM place, "@1F00 00 00 03 E8".
std::string DirectText(const SerialPlace& place, std::int64_t serial);

// "nvm:0x1F00:4" / "mtp:2:2", as people read it.
std::string PlaceText(const SerialPlace& place);

}  // namespace cindral::lots
