#include "crc_report.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "text.h"
#include "zt/zeltra_map.h"

namespace cindral {

namespace {

namespace chip = zt::zeltra;

std::string Hex4(const char* label, const std::array<uint8_t, 4>& v, const char* tail = "") {
    return Format("%s0x%02X%02X%02X%02X%s", label, v[0], v[1], v[2], v[3], tail);
}

std::array<uint8_t, 4> At(const std::array<uint8_t, chip::kPtBlockSize>& block,
                          std::size_t offset) {
    return {block[offset], block[offset + 1], block[offset + 2], block[offset + 3]};
}

}  // namespace

std::array<uint8_t, 4> CrcReading::TrimReference() const {
    return At(block, chip::kPtTrimCrc);
}
std::array<uint8_t, 4> CrcReading::UserReference() const {
    return At(block, chip::kPtUserCrc);
}
bool CrcReading::TrimMatches() const {
    return trim == TrimReference();
}
bool CrcReading::UserMatches() const {
    return user == UserReference();
}

CrcReading ReadCrcs(IOrdwin& ordwin) {
    CrcReading r;
    uint8_t t1[2] = {}, t2[2] = {}, u1[2] = {}, u2[2] = {}, r1[2] = {}, r2[2] = {};
    uint8_t selected = 0;
    r.ok = ordwin.GetPageCRC(chip::kPageCrcTrim, t1) >= 0 &&
           ordwin.GetPageCRC(chip::kPageCrcLowHalf, t2) >= 0 &&
           ordwin.GetPageCRC(chip::kPageCrcUser, u1) >= 0 &&
           ordwin.GetPageCRC(chip::kPageCrcLowHalf, u2) >= 0 &&
           ordwin.GetPageCRC(chip::kPageCrcRom, r1) >= 0 &&
           ordwin.GetPageCRC(chip::kPageCrcLowHalf, r2) >= 0 &&
           ordwin.IndSetSFRByte(chip::kC2PtControl, chip::kPtCopy) >= 0 &&
           ordwin.IndGetSFRByte(chip::kC2PtControl, &selected) >= 0 &&
           ordwin.GetRAMMemory(r.block.data(), chip::kIramPtBlock, chip::kPtBlockSize) >= 0;
    r.trim = {t1[0], t1[1], t2[0], t2[1]};
    r.user = {u1[0], u1[1], u2[0], u2[1]};
    r.rom = {r1[0], r1[1], r2[0], r2[1]};
    return r;
}

std::vector<ReportLine> FormatCrcReport(const CrcReading& r) {
    auto verdict = [](bool same) { return same ? ".. OK" : ".. DIFF"; };
    std::vector<ReportLine> lines;
    if (!r.ok) lines.push_back({"Error occurred performing CRC operations.\n", true});
    const uint8_t* b = r.block.data();
    lines.push_back({"\n" + Hex4("NVM TRIM CRC32: ", r.trim), true});
    lines.push_back({Hex4("PT  TRIM CRC32: ", r.TrimReference()), false});
    lines.push_back({Format("%s\n", verdict(r.TrimMatches())), true});
    lines.push_back({Hex4("NVM USER CRC32: ", r.user), true});
    lines.push_back({Hex4("PT  USER CRC32: ", r.UserReference()), false});
    lines.push_back({Format("%s\n", verdict(r.UserMatches())), true});
    lines.push_back({Hex4("ROM CRC32:      ", r.rom, "\n"), true});
    lines.push_back({"PT DATA: ", true});
    for (int n = 0; n < chip::kPtBlockSize; n += 8) {
        lines.push_back(
            {Format("%04X:   %02X %02X %02X %02X %02X %02X %02X %02X", n, b[n], b[n + 1], b[n + 2],
                    b[n + 3], b[n + 4], b[n + 5], b[n + 6], b[n + 7]),
             true});
    }
    return lines;
}

std::vector<ReportLine> RunCrcReport(IOrdwin& ordwin) {
    return FormatCrcReport(ReadCrcs(ordwin));
}

}  // namespace cindral
