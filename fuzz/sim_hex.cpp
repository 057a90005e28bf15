// The simulator's strict Intel-HEX reader for program images.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "intel_hex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<zsim::HexSegment> segments;
    std::string error;
    if (!zsim::ParseIntelHex(text, &segments, &error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    for (const auto& s : segments) FUZZ_CHECK(s.address + s.bytes.size() <= 0x10000);
    return 0;
}
