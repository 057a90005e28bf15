// Cindral's reader of the "[Burn]" sections of a burn file.
#include <cstdint>
#include <string_view>

#include "core/burn_file.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    size_t total = 0;
    for (const cindral::BurnSection& section : cindral::ParseBurnFile(text)) {
        FUZZ_CHECK(section.count <= 0 || section.images.size() <= size_t(section.count));
        for (const cindral::BurnImage& image : section.images)
            total += image.header.size() + image.records.size();
        (void)section.Complete();
    }
    // What the burn writes to its temporary files is never more than was read.
    FUZZ_CHECK(total <= size * 2);
    (void)cindral::ParseCountValue(text);
    const cindral::BurnFileCheck check = cindral::CheckBurnFile(text, false);
    FUZZ_CHECK(!check.ok() || check.images > 0);
    return 0;
}
