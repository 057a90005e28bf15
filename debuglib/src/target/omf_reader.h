// The two OMF object-file layouts the download accepts: records of a type
// byte, a 16-bit little-endian length and a payload, of which the content
// records carry absolute code bytes.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace ordwin {

enum class OmfKind { kNotOmf, kFirst, kSecond };

struct OmfSegment {
    uint32_t address = 0;
    std::vector<uint8_t> bytes;
};

// The kind named by the first record of a kind-defining type.
OmfKind DetectOmf(std::string_view file);

// Parses the content records into segments. 0, or ORDWIN_E_READ_FAILED when
// a record runs past the end of the file or is too short for its fields.
int32_t ParseOmf(std::string_view file, OmfKind kind, std::vector<OmfSegment>* segments);

}  // namespace ordwin
