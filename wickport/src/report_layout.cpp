#include "report_layout.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace wickport {
namespace {

constexpr int kPacketBytes = 64;
// hidraw's limit on one report; a larger one is not a report we can carry.
constexpr uint64_t kMaxReportBits = 4096 * 8;
constexpr int kMaxCollectionDepth = 32;

// Item tags (prefix byte with the size bits cleared).
constexpr uint8_t kInput = 0x80, kOutput = 0x90, kFeature = 0xB0, kCollection = 0xA0,
                  kEndCollection = 0xC0;
constexpr uint8_t kReportSize = 0x74, kReportId = 0x84, kReportCount = 0x94, kPush = 0xA4,
                  kPop = 0xB4;
constexpr uint8_t kLongItem = 0xFE;

struct Globals {
    uint32_t size = 0;
    uint32_t count = 0;
    uint8_t id = 0;
};

bool Fail(std::string* why, const std::string& text) {
    if (why) *why = text;
    return false;
}

// The data report of one direction: the report of at least a packet's size
// nearest to it.
bool PickDataReport(const std::map<uint8_t, uint64_t>& bits, const char* what, uint8_t* id,
                    int* size, std::string* why) {
    bool found = false;
    for (const auto& [rid, b] : bits) {
        const int bytes = static_cast<int>((b + 7) / 8);
        if (bytes < kPacketBytes) continue;
        if (!found || bytes < *size) {
            *id = rid;
            *size = bytes;
            found = true;
        }
    }
    if (found) return true;
    if (bits.empty()) return Fail(why, std::string("no ") + what + " report");
    return Fail(why, std::string("no ") + what + " report holds a 64-byte packet");
}

}  // namespace

ReportLayout AssumedLayout() {
    ReportLayout layout;
    layout.assumed = true;
    return layout;
}

std::optional<ReportLayout> ParseReportDescriptor(const uint8_t* data, size_t size,
                                                  std::string* why) {
    if (!data || size == 0) {
        Fail(why, "empty report descriptor");
        return std::nullopt;
    }
    Globals g;
    std::vector<Globals> stack;
    std::map<uint8_t, uint64_t> input, output, feature;
    bool numbered = false;
    bool unnumbered_main = false;
    int depth = 0;
    size_t i = 0;
    while (i < size) {
        const uint8_t prefix = data[i];
        if (prefix == kLongItem) {
            if (i + 1 >= size || i + 3 + data[i + 1] > size) {
                Fail(why, "long item runs past the end of the descriptor");
                return std::nullopt;
            }
            i += 3 + data[i + 1];
            continue;
        }
        static const size_t kSizes[4] = {0, 1, 2, 4};
        const size_t n = kSizes[prefix & 3];
        if (i + 1 + n > size) {
            Fail(why, "item runs past the end of the descriptor");
            return std::nullopt;
        }
        uint32_t value = 0;
        for (size_t k = 0; k < n; ++k) value |= uint32_t(data[i + 1 + k]) << (8 * k);
        i += 1 + n;
        const uint8_t tag = prefix & 0xFC;
        std::map<uint8_t, uint64_t>* main = tag == kInput     ? &input
                                            : tag == kOutput  ? &output
                                            : tag == kFeature ? &feature
                                                              : nullptr;
        if (main) {
            if (g.id == 0) unnumbered_main = true;
            uint64_t& bits = (*main)[g.id];
            bits += uint64_t(g.size) * g.count;
            if (bits > kMaxReportBits) {
                Fail(why, "a report is larger than 4096 bytes");
                return std::nullopt;
            }
            continue;
        }
        switch (tag) {
            case kCollection:
                if (++depth > kMaxCollectionDepth) {
                    Fail(why, "collections nested too deep");
                    return std::nullopt;
                }
                break;
            case kEndCollection:
                if (--depth < 0) {
                    Fail(why, "end of a collection that was never opened");
                    return std::nullopt;
                }
                break;
            case kReportSize:
                g.size = value;
                break;
            case kReportCount:
                g.count = value;
                break;
            case kReportId:
                if (n != 1 || value == 0) {
                    Fail(why, "report id outside 1..255");
                    return std::nullopt;
                }
                g.id = static_cast<uint8_t>(value);
                numbered = true;
                break;
            case kPush:
                if (stack.size() >= kMaxCollectionDepth) {
                    Fail(why, "global items pushed too deep");
                    return std::nullopt;
                }
                stack.push_back(g);
                break;
            case kPop:
                if (stack.empty()) {
                    Fail(why, "pop without a push");
                    return std::nullopt;
                }
                g = stack.back();
                stack.pop_back();
                break;
            default:
                break;  // usages, limits, units: nothing the framing needs
        }
    }
    if (depth != 0) {
        Fail(why, "a collection is never closed");
        return std::nullopt;
    }
    // One interface either numbers all its reports or none.
    if (numbered && unnumbered_main) {
        Fail(why, "reports both with and without ids");
        return std::nullopt;
    }
    ReportLayout layout;
    layout.numbered = numbered;
    if (!PickDataReport(output, "output", &layout.output_id, &layout.output_size, why) ||
        !PickDataReport(input, "input", &layout.input_id, &layout.input_size, why)) {
        return std::nullopt;
    }
    for (const auto& [id, bits] : feature) layout.features[id] = static_cast<int>((bits + 7) / 8);
    return layout;
}

std::string DescribeLayout(const ReportLayout& layout) {
    char text[96];
    std::string out = layout.assumed    ? "assumed (no descriptor): "
                      : layout.numbered ? "numbered: "
                                        : "unnumbered: ";
    std::snprintf(text, sizeof text, "output 0x%02x (%d bytes), input 0x%02x (%d bytes)",
                  layout.output_id, layout.output_size, layout.input_id, layout.input_size);
    out += text;
    if (layout.assumed) return out + ", features as sent";
    if (layout.features.empty()) return out + ", no features";
    out += ", features";
    const char* sep = " ";
    for (const auto& [id, bytes] : layout.features) {
        std::snprintf(text, sizeof text, "%s0x%02x (%d)", sep, id, bytes);
        out += text;
        sep = ", ";
    }
    return out;
}

bool FrameFeatureReport(const ReportLayout& layout, const uint8_t* report, int length,
                        std::vector<uint8_t>* frame, std::string* why) {
    const uint8_t id = report[0];
    if (layout.assumed) {
        frame->assign(report, report + length);
        return true;
    }
    char text[96];
    const auto it = layout.features.find(layout.numbered ? id : 0);
    if (it == layout.features.end()) {
        std::snprintf(text, sizeof text, "the adapter has no feature report 0x%02x", id);
        *why = layout.numbered ? text : "the adapter has no feature report";
        return false;
    }
    const size_t start = layout.numbered ? 0 : 1;
    frame->assign(1 + static_cast<size_t>(it->second), 0);
    const size_t room = frame->size() - start;
    for (int i = 0; i < length; ++i) {
        if (static_cast<size_t>(i) < room) {
            (*frame)[start + static_cast<size_t>(i)] = report[i];
        } else if (report[i] != 0) {
            std::snprintf(text, sizeof text, "feature report 0x%02x holds %d bytes, %d given", id,
                          static_cast<int>(room), length);
            *why = text;
            return false;
        }
    }
    return true;
}

bool UnframeFeatureReport(const ReportLayout& layout, uint8_t id, const std::vector<uint8_t>& frame,
                          uint8_t* report, int length, std::string* why) {
    const size_t at = layout.assumed || layout.numbered ? 0 : 1;
    if (frame.size() <= at || frame[at] != id) {
        char text[64];
        std::snprintf(text, sizeof text, "feature report 0x%02x answered as 0x%02x", id,
                      frame.size() > at ? frame[at] : 0);
        *why = text;
        return false;
    }
    std::memset(report, 0, static_cast<size_t>(length));
    std::memcpy(report, frame.data() + at,
                std::min(static_cast<size_t>(length), frame.size() - at));
    return true;
}

}  // namespace wickport
