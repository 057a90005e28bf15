#include "device_info.h"

#include "text.h"
#include "zt/zeltra_map.h"

namespace cindral {

const std::array<const char*, kDeviceRowCount> kDeviceRowNames = {
    "wBoot_DpramTrimBeg", "wBoot_NvmUserBeg", "wBoot_NvmCopyAddr", "bREV_ID",
    "bSys_TrimId",        "bBoot_BootStat",   "BOOT_FLAGS",        "PROT0_CTRL"};

namespace {

namespace chip = zt::zeltra;

std::string ReadWord(IOrdwin& ordwin, unsigned address) {
    uint8_t bytes[2] = {0, 0};
    if (ordwin.GetXRAMMemory(bytes, address, 2) < 0) return {};
    return FormatWordValue(bytes[0], bytes[1]);
}

bool ReadXdataByte(IOrdwin& ordwin, unsigned address, uint8_t& value) {
    return ordwin.GetXRAMMemory(&value, address, 1) >= 0;
}

}  // namespace

const char* NibbleBits(unsigned nibble) {
    static const char* const kTable[16] = {"0000", "0001", "0010", "0011", "0100", "0101",
                                           "0110", "0111", "1000", "1001", "1010", "1011",
                                           "1100", "1101", "1110", "1111"};
    return nibble < 16 ? kTable[nibble] : "0000";
}

std::string FormatWordValue(uint8_t lowAddressByte, uint8_t highAddressByte) {
    return Format("0x%02x%02x", lowAddressByte, highAddressByte);
}

std::string FormatBitsValue(uint8_t value) {
    return Format("0x%02x (%s_%s)", value, NibbleBits(value >> 4), NibbleBits(value & 0x0F));
}

DeviceReading ReadDeviceInformation(IOrdwin& ordwin) {
    DeviceReading r;
    r.values[0] = ReadWord(ordwin, chip::kXdataBootDpramTrimBeg);
    r.values[1] = ReadWord(ordwin, chip::kXdataBootNvmUserBeg);
    r.values[2] = ReadWord(ordwin, chip::kXdataBootNvmCopyAddr);
    uint8_t b = 0;
    if (ReadXdataByte(ordwin, chip::kXdataRevId, b)) r.values[3] = Format("0x%02x", b);
    b = 0;
    if (ReadXdataByte(ordwin, chip::kXdataSysTrimId, b)) r.values[4] = Format("0x%02x", b);
    b = 0;
    if (ReadXdataByte(ordwin, chip::kXdataBootStat, b)) r.values[5] = FormatBitsValue(b);
    b = 0;
    if (ordwin.GetSFRByte(chip::kSfrBootFlags, &b) >= 0) r.values[6] = FormatBitsValue(b);
    b = 0;
    if (ordwin.GetSFRByte(chip::kSfrProt0Ctrl, &b) >= 0) {
        r.values[7] = FormatBitsValue(b);
        r.protectionByte = b;
    }
    r.nvmUserStartText = r.values[1];
    return r;
}

}  // namespace cindral
