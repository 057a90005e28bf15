// Ordwin's download reader for the two OMF layouts.
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "target/omf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    const ordwin::OmfKind detected = ordwin::DetectOmf(file);
    for (ordwin::OmfKind kind : {detected, ordwin::OmfKind::kFirst, ordwin::OmfKind::kSecond}) {
        std::vector<ordwin::OmfSegment> segments;
        const int32_t rc = ordwin::ParseOmf(file, kind, &segments);
        if (rc != 0) continue;
        size_t bytes = 0;
        for (const auto& s : segments) bytes += s.bytes.size();
        // Content bytes come from the file, they are never invented.
        FUZZ_CHECK(bytes <= size);
    }
    return 0;
}
