// What the Device page reads from a connected Zeltra: boot variables in XDATA
// and two SFRs, formatted for its table.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "ordwin_api.h"

namespace cindral {

constexpr int kDeviceRowCount = 8;
extern const std::array<const char*, kDeviceRowCount> kDeviceRowNames;

// "0x%02x%02x" with the byte at the lower address first.
std::string FormatWordValue(uint8_t lowAddressByte, uint8_t highAddressByte);
// "0x%02x" then " (hhhh_llll)" with the two nibbles as bit digits.
std::string FormatBitsValue(uint8_t value);
// Four bit digits of a nibble, most significant first; "0000" outside 0..15.
const char* NibbleBits(unsigned nibble);

struct DeviceReading {
    // Empty where the read failed.
    std::array<std::string, kDeviceRowCount> values;
    uint8_t protectionByte = 0;    // PROT0_CTRL; 0 when its read failed
    std::string nvmUserStartText;  // the wBoot_NvmUserBeg value, empty when it failed
};

// Reads the eight values strictly in row order.
DeviceReading ReadDeviceInformation(IOrdwin& ordwin);

}  // namespace cindral
