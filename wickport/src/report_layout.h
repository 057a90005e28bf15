// How an adapter's HID interface frames its reports, read from its report
// descriptor: numbered or not, and the ids and sizes of the data and feature
// reports. Every transfer of the hidapi backend is framed by it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace wickport {

struct ReportLayout {
    // True when the descriptor declares report ids: then every report carries
    // one, and none is 0.
    bool numbered = false;
    // Sizes count the report's data bytes, without the id byte.
    uint8_t output_id = 0;
    int output_size = 64;
    uint8_t input_id = 0;
    int input_size = 64;
    // Feature reports by id (numbered), or the one report 0 (unnumbered).
    std::map<uint8_t, int> features;
    // No descriptor was readable: data reports unnumbered 64/64, feature
    // reports sent as the caller framed them (byte 0 the id).
    bool assumed = false;
};

// The framing used when the descriptor cannot be read.
ReportLayout AssumedLayout();

// Parses a report descriptor. Nothing is returned, and *why says what is
// wrong, for a malformed descriptor or one without input and output reports
// that hold a 64-byte packet.
std::optional<ReportLayout> ParseReportDescriptor(const uint8_t* data, size_t size,
                                                  std::string* why);

// One line for traces and the bring-up probe, e.g. "numbered: output 0x01
// (64 bytes), input 0x02 (64 bytes), features 0x49 (4), 0x4a (1)".
std::string DescribeLayout(const ReportLayout& layout);

// The bytes of one feature transfer of `report` (byte 0 its id, `length`
// bytes): the report as the descriptor sizes it. Numbered: the id first.
// Unnumbered: 0 first, then the caller's bytes (its id included) as data.
// False, with *why, for a report the adapter lacks or bytes that do not fit.
bool FrameFeatureReport(const ReportLayout& layout, const uint8_t* report, int length,
                        std::vector<uint8_t>* frame, std::string* why);

// The caller's `length` bytes of a feature reply `frame` to report `id`, the
// inverse of FrameFeatureReport: unnumbered, the id comes back as the first
// data byte. False, with *why, for a reply to another report.
bool UnframeFeatureReport(const ReportLayout& layout, uint8_t id, const std::vector<uint8_t>& frame,
                          uint8_t* report, int length, std::string* why);

}  // namespace wickport
