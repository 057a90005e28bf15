// Cindral's reader of the composer's "[Compose Map]" report, fed the way the
// Main page feeds it (each byte of the file widened to one UTF-16 unit) and
// the way cindral-cli does (the bytes decoded as UTF-8, every byte kept).
#include <cstdint>
#include <string_view>

#include "core/compose_map.h"
#include "core/text.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string text = cindral::WidenText(bytes);
    for (const cindral::ComposeMapRow& row : cindral::ParseComposeMap(text)) {
        FUZZ_CHECK(row.map.fileName.size() <= size);
        FUZZ_CHECK(row.conflict == (row.map.status.find(u"Conflict") != std::u16string::npos));
    }
    const std::u16string decoded = cindral::FromUtf8(bytes);
    FUZZ_CHECK(decoded.size() <= size);
    FUZZ_CHECK(cindral::ToUtf8(decoded) == bytes);
    for (const cindral::ComposeMapRow& row : cindral::ParseComposeMap(decoded))
        FUZZ_CHECK(row.map.fileName.size() <= decoded.size());
    return 0;
}
