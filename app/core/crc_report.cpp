#include "crc_report.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "text.h"

namespace cindral {

namespace {

constexpr int kRegionTrim = 0xF9;
constexpr int kRegionUser = 0xFA;
constexpr int kRegionRom = 0xFB;
constexpr int kSecondHalf = 0xF8;
constexpr unsigned kPtSelectSfr = 0xB4;
constexpr uint8_t kPtSelectValue = 0x0D;
constexpr unsigned kPtBlockAddress = 0x70;
constexpr unsigned kPtBlockSize = 80;

std::string Crc(const char* label, const uint8_t* a, const uint8_t* b, const char* tail = "") {
    return Format("%s0x%02X%02X%02X%02X%s", label, a[0], a[1], b[0], b[1], tail);
}

std::string Ref(const char* label, const uint8_t* p) {
    return Format("%s0x%02X%02X%02X%02X", label, p[0], p[1], p[2], p[3]);
}

const char* Verdict(const uint8_t* a, const uint8_t* b, const uint8_t* ref) {
    bool same = a[0] == ref[0] && a[1] == ref[1] && b[0] == ref[2] && b[1] == ref[3];
    return same ? ".. OK" : ".. DIFF";
}

}  // namespace

std::vector<ReportLine> RunCrcReport(IOrdwin& ordwin) {
    uint8_t t1[2] = {}, t2[2] = {}, u1[2] = {}, u2[2] = {}, r1[2] = {}, r2[2] = {};
    std::array<uint8_t, kPtBlockSize> block{};
    uint8_t selected = 0;

    bool ok = ordwin.GetPageCRC(kRegionTrim, t1) >= 0 && ordwin.GetPageCRC(kSecondHalf, t2) >= 0 &&
              ordwin.GetPageCRC(kRegionUser, u1) >= 0 && ordwin.GetPageCRC(kSecondHalf, u2) >= 0 &&
              ordwin.GetPageCRC(kRegionRom, r1) >= 0 && ordwin.GetPageCRC(kSecondHalf, r2) >= 0 &&
              ordwin.IndSetSFRByte(kPtSelectSfr, kPtSelectValue) >= 0 &&
              ordwin.IndGetSFRByte(kPtSelectSfr, &selected) >= 0 &&
              ordwin.GetRAMMemory(block.data(), kPtBlockAddress, kPtBlockSize) >= 0;

    std::vector<ReportLine> lines;
    if (!ok) lines.push_back({"Error occurred performing CRC operations.\n", true});
    const uint8_t* b = block.data();
    lines.push_back({"\n" + Crc("NVM TRIM CRC32: ", t1, t2), true});
    lines.push_back({Ref("PT  TRIM CRC32: ", b + 76), false});
    lines.push_back({Format("%s\n", Verdict(t1, t2, b + 76)), true});
    lines.push_back({Crc("NVM USER CRC32: ", u1, u2), true});
    lines.push_back({Ref("PT  USER CRC32: ", b + 72), false});
    lines.push_back({Format("%s\n", Verdict(u1, u2, b + 72)), true});
    lines.push_back({Crc("ROM CRC32:      ", r1, r2, "\n"), true});
    lines.push_back({"PT DATA: ", true});
    for (unsigned n = 0; n < kPtBlockSize; n += 8) {
        lines.push_back(
            {Format("%04X:   %02X %02X %02X %02X %02X %02X %02X %02X", n, b[n], b[n + 1], b[n + 2],
                    b[n + 3], b[n + 4], b[n + 5], b[n + 6], b[n + 7]),
             true});
    }
    return lines;
}

}  // namespace cindral
