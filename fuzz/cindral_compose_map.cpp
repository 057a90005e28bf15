// Cindral's reader of the composer's "[Compose Map]" report, fed the way the
// Main page feeds it: each byte of the file widened to one UTF-16 unit.
#include <cstdint>
#include <string_view>

#include "core/compose_map.h"
#include "core/text.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string text =
        cindral::WidenText(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const cindral::ComposeMapRow& row : cindral::ParseComposeMap(text)) {
        FUZZ_CHECK(row.map.fileName.size() <= size);
        FUZZ_CHECK(row.conflict == (row.map.status.find(u"Conflict") != std::u16string::npos));
    }
    return 0;
}
