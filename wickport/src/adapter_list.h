// Parsing of the environment texts that say which adapters to list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "virtual_adapter.h"

namespace wickport {

struct VirtualDescription {
    std::string serial;
    zsim::AdapterOptions options;
};

// WICKPORT_VIRTUAL: "SERIAL[:key=value,...][;...]". Malformed descriptions
// (and repeated serials) are left out and explained in *problems.
std::vector<VirtualDescription> ParseVirtualList(std::string_view text,
                                                 std::vector<std::string>* problems);

struct UsbId {
    uint16_t vendor = 0;
    uint16_t product = 0;
};

// WICKPORT_USB_IDS: "VID:PID[,VID:PID...]" in hex, optional 0x prefixes.
std::vector<UsbId> ParseUsbIds(std::string_view text, std::vector<std::string>* problems);

// Serial numbers are compared without regard to letter case.
bool SameSerial(std::string_view a, std::string_view b);

// Longest serial the library hands out (Ordwin keeps 128 bytes with the NUL).
inline constexpr size_t kMaxSerialLength = 127;

}  // namespace wickport
