#include "burner.h"

#include <algorithm>

#include "failure.h"
#include "zeltra/nvm_burner_image.h"
#include "zt/intel_hex_record.h"

namespace marlspin {
namespace {

static_assert(kParamTable == zeltra::firmware::kNvmBurnerParamAddress);

// The firmware's code part, checked once against the table it was built with.
const std::vector<uint8_t>& FirmwareCode() {
    static const std::vector<uint8_t> code = [] {
        const unsigned char* image = zeltra::firmware::kNvmBurnerImage;
        const std::size_t size = zeltra::firmware::kNvmBurnerImageSize;
        if (size < kParamTable + kParamHeaderSize || image[kParamTable] != 'Z' ||
            image[kParamTable + 1] != 'B' || image[kParamTable + 2] != 0x01)
            return std::vector<uint8_t>{};
        // Everything below the table, filler included: code RAM may still hold
        // an earlier program, so no byte is left to chance.
        return std::vector<uint8_t>(image, image + kParamTable);
    }();
    return code;
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

}  // namespace

std::vector<CodeBlock> BuildBurner(const std::vector<Segment>& segments, bool strict) {
    const std::vector<uint8_t>& code = FirmwareCode();
    if (code.empty()) throw Failure(kExitBurnerCreation, "the embedded burner firmware is damaged");
    if (segments.size() > 0xFFFF)
        throw Failure(kExitBurnerCreation, "too many segments for one burner image");

    std::size_t data_size = 0;
    for (const Segment& s : segments) {
        if (s.bytes.empty() || s.bytes.size() > kMaxSegment || s.address + s.bytes.size() > 0x10000)
            throw Failure(kExitBurnerCreation,
                          Format("segment at 0x%04X of %zu bytes cannot be burned", s.address,
                                 s.bytes.size()));
        data_size += s.bytes.size();
    }
    const std::size_t data_address =
        kParamTable + kParamHeaderSize + kParamSegmentSize * segments.size();
    if (data_address + data_size > kCodeRamEnd)
        throw Failure(
            kExitBurnerCreation,
            Format("burner image of %zu bytes does not fit in code RAM", data_address + data_size));

    CodeBlock table;
    table.address = kParamTable;
    table.bytes = {'Z', 'B', 0x01, static_cast<uint8_t>(strict ? 0 : 1)};
    Put16(table.bytes, static_cast<uint32_t>(segments.size()));
    Put16(table.bytes, static_cast<uint32_t>(data_address));
    for (const Segment& s : segments) {
        Put16(table.bytes, s.address);
        Put16(table.bytes, static_cast<uint32_t>(s.bytes.size()));
        Put16(table.bytes, 0x0000);  // every segment is staged at the start of XDATA
    }
    for (const Segment& s : segments)
        table.bytes.insert(table.bytes.end(), s.bytes.begin(), s.bytes.end());
    return {CodeBlock{0, code}, std::move(table)};
}

std::string ToIntelHex(const std::vector<CodeBlock>& blocks) {
    std::string out;
    for (const CodeBlock& block : blocks) {
        for (std::size_t off = 0; off < block.bytes.size(); off += 16) {
            const std::size_t n = std::min<std::size_t>(16, block.bytes.size() - off);
            const uint32_t address = static_cast<uint32_t>(block.address + off);
            uint8_t sum = static_cast<uint8_t>(n + (address >> 8) + address);
            out += Format(":%02zX%04X00", n, address & 0xFFFF);
            for (std::size_t i = 0; i < n; ++i) {
                const uint8_t b = block.bytes[off + i];
                sum = static_cast<uint8_t>(sum + b);
                out += Format("%02X", b);
            }
            out += Format("%02X\r\n", zt::HexChecksumFor(sum));
        }
    }
    out += ":00000001FF\r\n";
    return out;
}

}  // namespace marlspin
