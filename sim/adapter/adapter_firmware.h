// The adapter's own firmware, as the virtual adapter understands it.
//
// An update image is a sequence of 515-byte page records: page number, 512
// page bytes scrambled with kFirmwareXorMask, then the page CRC (high, low)
// of the plain bytes. The first record of an image starts, in plain bytes,
// with the marker 'Z' 'F' 'W', the firmware version and the image's page
// count. The adapter runs that version once every page of the image has been
// written; until then (or when a page was written outside a whole image) it
// reports version 0xFF.
//
// The images for the rows the library knows, numbered from page 0 so that
// the power-value pages 10 and 11 are among them:
//   BuildFirmwareImage(23, 17, 0)  serial adapter
//   BuildFirmwareImage(31, 19, 0)  USB adapter
//   BuildFirmwareImage(2, 19, 0)   USB adapter in mode 1
//   BuildFirmwareImage(4, 17, 0)   small adapter 0x8045
//   BuildFirmwareImage(11, 20, 0)  small adapter 0x8253
#pragma once

#include <cstdint>
#include <vector>

#include "zt/adapter_protocol.h"
#include "zt/crc.h"

namespace zsim {

using zt::FirmwarePageCrc;
using zt::adapter::kFirmwarePages;
using zt::adapter::kFirmwarePageSize;
using zt::adapter::kFirmwareRecordSize;
using zt::adapter::kFirmwareXorMask;

// A deterministic image of `pages` records numbered from first_page that
// carries `version`.
inline std::vector<uint8_t> BuildFirmwareImage(uint8_t version, int pages, int first_page) {
    std::vector<uint8_t> image;
    uint32_t x = 0x9E3779B9u ^ (uint32_t(version) << 8) ^ uint32_t(pages);
    for (int p = 0; p < pages; ++p) {
        uint8_t plain[kFirmwarePageSize];
        for (auto& b : plain) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            b = uint8_t(x >> 7);
        }
        if (p == 0) {
            plain[0] = 'Z';
            plain[1] = 'F';
            plain[2] = 'W';
            plain[3] = version;
            plain[4] = uint8_t(pages);
        }
        uint16_t crc = FirmwarePageCrc(plain, kFirmwarePageSize);
        image.push_back(uint8_t(first_page + p));
        for (uint8_t b : plain) image.push_back(uint8_t(b ^ kFirmwareXorMask));
        image.push_back(uint8_t(crc >> 8));
        image.push_back(uint8_t(crc));
    }
    return image;
}

}  // namespace zsim
