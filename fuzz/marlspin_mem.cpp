// The composer's memory-text reader (boot and app .mem files, direct burn
// files) and its address texts; the first byte picks the base and the limit.
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const uint64_t base = uint64_t(data[0] & 0x3F) << 8;
    const uint64_t limit = data[0] & 0x40 ? marlspin::kNvmSize : UINT64_MAX;
    marlspin::PlacedBytes bytes;
    try {
        marlspin::ReadMemText(text, base, bytes, limit);
        if (!bytes.empty() && limit == marlspin::kNvmSize) FUZZ_CHECK(bytes.last() < limit);
    } catch (const marlspin::InputError& e) {
        FUZZ_CHECK(e.what()[0] != '\0');
    }
    const std::optional<uint32_t> address = marlspin::ParseAddress(text.substr(0, 24));
    (void)address;
    FUZZ_CHECK(marlspin::Printable(text).size() <= 24 * 4 + 3);
    return 0;
}
