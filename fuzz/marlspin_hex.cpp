// The composer's Intel-HEX reader at a file address taken from the first byte.
#include <cstdint>
#include <string_view>

#include "readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint64_t base = data[0] & 0x80 ? 0xFFFFFF00u + data[0] : uint64_t(data[0]) << 6;
    marlspin::PlacedBytes bytes;
    try {
        marlspin::ReadIntelHex(
            std::string_view(reinterpret_cast<const char*>(data + 1), size - 1), base, bytes);
    } catch (const marlspin::InputError&) {
    }
    return 0;
}
