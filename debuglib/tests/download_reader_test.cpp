// The Intel-HEX and OMF readers on their own, with a recording byte store.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ordwin.h"
#include "target/hex_reader.h"
#include "target/omf_reader.h"
#include "zt/crc.h"

namespace {

using ordwin::HexReadCallbacks;
using ordwin::HexReadOutcome;
using Bytes = std::map<uint32_t, uint8_t>;

struct Loaded {
    HexReadOutcome outcome;
    Bytes bytes;
    std::vector<int> progress;
};

Loaded Read(const std::string& text, int bank = -1, uint16_t family = 36,
            uint32_t refuseFrom = 0xFFFFFFFF) {
    Loaded loaded;
    HexReadCallbacks callbacks;
    callbacks.store = [&](uint32_t address, uint8_t value) -> int32_t {
        if (address >= refuseFrom) return ORDWIN_E_INVALIDARG;
        loaded.bytes[address] = value;
        return 0;
    };
    callbacks.cancelled = [&](int advance) {
        loaded.progress.push_back(advance);
        return false;
    };
    loaded.outcome = ordwin::ReadIntelHex(text, bank, family, callbacks);
    return loaded;
}

const char* const kProgram =
    ":0400000002001000EA\n"
    ":03001000E4F5F02C\n"
    ":00000001FF\n";
const Bytes kProgramBytes = {{0, 0x02},    {1, 0x00},    {2, 0x10},   {3, 0x00},
                             {0x10, 0xE4}, {0x11, 0xF5}, {0x12, 0xF0}};

std::string WithLineEnds(const std::string& text, const std::string& end) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += end;
        } else {
            out += c;
        }
    }
    return out;
}

TEST(HexReader, LineEndsAndCaseDoNotMatter) {
    const Loaded lf = Read(kProgram);
    ASSERT_EQ(lf.outcome.code, 0);
    EXPECT_EQ(lf.bytes, kProgramBytes);
    EXPECT_EQ(lf.progress, (std::vector<int>{2 * 4 + 12, 2 * 3 + 12}));

    EXPECT_EQ(Read(WithLineEnds(kProgram, "\r\n")).bytes, kProgramBytes);
    // Mixed within one file.
    const std::string mixed = ":0400000002001000EA\r\n:03001000E4F5F02C\n:00000001FF\r\n";
    EXPECT_EQ(Read(mixed).bytes, kProgramBytes);
    const std::string lower = ":0400000002001000ea\n:03001000e4f5f02c\n:00000001ff\n";
    EXPECT_EQ(Read(lower).bytes, kProgramBytes);
    // Lower-case record types as well: "0a" is not data, "00" with digits is.
    const Loaded typed = Read(":0100200000df\n:0100210a55cb\n:00000001ff\n");
    EXPECT_EQ(typed.bytes, (Bytes{{0x20, 0x00}}));
}

TEST(HexReader, OtherRecordTypesAreSkipped) {
    for (const char* type : {"02", "03", "05"}) {
        const std::string text = std::string(":0400000002001000EA\n:020000") + type +
                                 "1234CC\n:03001000E4F5F02C\n:00000001FF\n";
        const Loaded loaded = Read(text);
        EXPECT_EQ(loaded.outcome.code, 0) << type;
        EXPECT_EQ(loaded.bytes, kProgramBytes) << type;
    }
}

TEST(HexReader, ExtendedLinearAddressAndBanks) {
    const Loaded high = Read(":020000040001F9\n:02800000AABBC9\n:00000001FF\n");
    EXPECT_EQ(high.bytes, (Bytes{{0x18000, 0xAA}, {0x18001, 0xBB}}));
    // Bank 3 of a banked family moves the upper half up by 0x10000; crossing
    // 0x7FFF lands on the mapped 0x8000.
    const Loaded bank = Read(":027FFF00AABBC9\n:00000001FF\n", 3, 32);
    EXPECT_EQ(bank.bytes, (Bytes{{0x7FFF, 0xAA}, {0x18000, 0xBB}}));
    const Loaded plain = Read(":027FFF00AABBC9\n:00000001FF\n", 3, 36);
    EXPECT_EQ(plain.bytes, (Bytes{{0x7FFF, 0xAA}, {0x8000, 0xBB}})) << "not a banked family";
    EXPECT_EQ(ordwin::MapBank(42, 2, 0x8000), 0x10000u);
    EXPECT_EQ(ordwin::MapBank(7, 2, 0x7FFF), 0x7FFFu);
    EXPECT_EQ(ordwin::MapBank(7, 1, 0x9000), 0x9000u);
}

TEST(HexReader, StrayCharacters) {
    // One stray character before a colon is absorbed.
    const Loaded one =
        Read(std::string(":0400000002001000EA\n\n:03001000E4F5F02C\n") + "x:00000001FF\n");
    EXPECT_EQ(one.outcome.code, 0);
    EXPECT_EQ(one.bytes, kProgramBytes);
    // Two end the reading after the record that follows them.
    const Loaded two =
        Read(":0400000002001000EA\nxy:03001000E4F5F02C\n:0100200011CE\n:00000001FF\n");
    EXPECT_EQ(two.outcome.code, ORDWIN_E_READ_FAILED);
    EXPECT_EQ(two.bytes, kProgramBytes) << "the record after the strays still loads, no more";
    EXPECT_EQ(two.outcome.loadAddress, 0x13u);
    // Two without a record after them.
    EXPECT_EQ(Read(":0400000002001000EA\n\r\n\r\n:00000001FF\n").outcome.code,
              ORDWIN_E_READ_FAILED);
}

TEST(HexReader, WrongChecksumIsNotDetected) {
    EXPECT_EQ(Read(":0100200011FF\n:00000001FF\n").bytes, (Bytes{{0x20, 0x11}}));
}

TEST(HexReader, TruncatedAndMalformedInputStopsCleanly) {
    // No end-of-file record: everything up to the end loads, but the file may
    // be cut short, so it is not taken as complete.
    const Loaded noEnd = Read(":0400000002001000EA\n:03001000E4F5F02C\n");
    EXPECT_EQ(noEnd.outcome.code, ORDWIN_E_READ_FAILED);
    EXPECT_EQ(noEnd.bytes, kProgramBytes);
    EXPECT_EQ(noEnd.outcome.loadAddress, 0x13u);
    // A record cut inside its fields: nothing of it is stored.
    for (const char* cut :
         {":", ":04", ":040000", ":04000000", ":0400000002", ":040000000200100"}) {
        const Loaded loaded = Read(std::string(":0100200011CE\n") + cut);
        EXPECT_EQ(loaded.outcome.code, ORDWIN_E_READ_FAILED) << cut;
        EXPECT_EQ(loaded.bytes, (Bytes{{0x20, 0x11}})) << cut;
    }
    // Non-hexadecimal digits.
    EXPECT_EQ(Read(":0G00000000\n:00000001FF\n").outcome.code, ORDWIN_E_READ_FAILED);
    EXPECT_EQ(Read(":02000000AZBB00\n:00000001FF\n").bytes.size(), 0u);
    EXPECT_EQ(Read("").outcome.code, ORDWIN_E_READ_FAILED);
    // An enormous count is bounded by the text.
    EXPECT_EQ(Read(":FF000000").outcome.code, ORDWIN_E_READ_FAILED);
    // Everything after the end-of-file record is ignored.
    EXPECT_EQ(Read(":00000001FF\ngarbage").outcome.code, 0);
}

TEST(HexReader, RefusedStoreEndsTheReadingWithItsCode) {
    // A record running past the end of what the store accepts.
    const Loaded loaded = Read(":04001E0001020304D6\n:00000001FF\n", -1, 36, 0x20);
    EXPECT_EQ(loaded.outcome.code, ORDWIN_E_INVALIDARG);
    EXPECT_EQ(loaded.bytes, (Bytes{{0x1E, 1}, {0x1F, 2}}));
    EXPECT_EQ(loaded.outcome.loadAddress, 0x20u);
}

TEST(HexReader, CancelAfterADataRecord) {
    HexReadCallbacks callbacks;
    int stored = 0;
    callbacks.store = [&](uint32_t, uint8_t) {
        ++stored;
        return 0;
    };
    callbacks.cancelled = [](int) { return true; };
    const HexReadOutcome outcome = ordwin::ReadIntelHex(kProgram, -1, 36, callbacks);
    EXPECT_EQ(outcome.code, ORDWIN_E_DOWNLOAD_CANCELLED);
    EXPECT_EQ(stored, 4) << "only the first record";
}

std::string Record(uint8_t type, const std::vector<uint8_t>& payload) {
    std::string r;
    r.push_back(static_cast<char>(type));
    r.push_back(static_cast<char>(payload.size() & 0xFF));
    r.push_back(static_cast<char>(payload.size() >> 8));
    r.append(payload.begin(), payload.end());
    return r;
}

TEST(OmfReader, DetectsBothKindsAndNothingElse) {
    using ordwin::OmfKind;
    EXPECT_EQ(ordwin::DetectOmf(Record(0x02, {1, 2})), OmfKind::kFirst);
    EXPECT_EQ(ordwin::DetectOmf(Record(0x0E, {}) + Record(0x40, {})), OmfKind::kFirst);
    EXPECT_EQ(ordwin::DetectOmf(Record(0xC4, {})), OmfKind::kSecond);
    EXPECT_EQ(ordwin::DetectOmf(Record(0x70, {}) + Record(0xC8, {9})), OmfKind::kSecond);
    EXPECT_EQ(ordwin::DetectOmf(kProgram), OmfKind::kNotOmf);
    EXPECT_EQ(ordwin::DetectOmf(""), OmfKind::kNotOmf);
    EXPECT_EQ(ordwin::DetectOmf(std::string("\x0E\xFF\xFF\x02", 4)), OmfKind::kNotOmf)
        << "a record longer than the file ends the scan";
    // The type is read before the length: a raw binary starting with LJMP 0x1000
    // is taken as OMF of the first kind, and its reader finds no content.
    const std::string raw("\x02\x10\x00\x75\x81\x07", 6);
    EXPECT_EQ(ordwin::DetectOmf(raw), OmfKind::kFirst);
    std::vector<ordwin::OmfSegment> segments;
    ordwin::ParseOmf(raw, OmfKind::kFirst, &segments);
    EXPECT_TRUE(segments.empty());
    EXPECT_EQ(ordwin::DetectOmf(std::string("\x0E\x00\x00\xC8\xFF", 5)), OmfKind::kSecond);
    EXPECT_EQ(ordwin::DetectOmf(std::string("\x40", 1)), OmfKind::kFirst);
}

TEST(OmfReader, FirstKindSegmentsAndBankLayout) {
    std::vector<ordwin::OmfSegment> segments;
    const std::string plain = Record(0x02, {0}) + Record(0x06, {0, 0x34, 0x92, 0xAA, 0xBB, 0}) +
                              Record(0x04, {}) + Record(0x06, {0, 0, 0, 0xCC, 0});
    ASSERT_EQ(ordwin::ParseOmf(plain, ordwin::OmfKind::kFirst, &segments), 0);
    ASSERT_EQ(segments.size(), 1u) << "records after the module end are not read";
    EXPECT_EQ(segments[0].address, 0x9234u);
    EXPECT_EQ(segments[0].bytes, (std::vector<uint8_t>{0xAA, 0xBB}));

    const std::string banked =
        Record(0x02, {0}) + Record(0x2E, {1, 2, 3}) + Record(0x06, {0x12, 0x34, 0x92, 0x01, 0}) +
        Record(0x06, {0x03, 0x00, 0x80, 0x02, 0}) + Record(0x06, {0x00, 0x00, 0x90, 0x03, 0});
    ASSERT_EQ(ordwin::ParseOmf(banked, ordwin::OmfKind::kFirst, &segments), 0);
    ASSERT_EQ(segments.size(), 3u);
    EXPECT_EQ(segments[0].address, 2u * 0x8000 + 0x1234);
    EXPECT_EQ(segments[1].address, 3u * 0x8000);
    EXPECT_EQ(segments[2].address, 0x9000u);
}

TEST(OmfReader, SecondKindSegments) {
    std::vector<ordwin::OmfSegment> segments;
    const std::string file =
        Record(0xC8, {0}) +
        Record(0x94, {1, 0, 2, 0, 0, 0, 0x10, 0x20, 0x01, 0x00, 0x5A, 0x6B, 0}) +
        Record(0x94, {1, 0, 2, 0, 2, 0, 0x00, 0x80, 0x01, 0x00, 0x7C, 0}) + Record(0xC6, {});
    ASSERT_EQ(ordwin::ParseOmf(file, ordwin::OmfKind::kSecond, &segments), 0);
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(segments[0].address, 0x2010u) << "the low 16 bits";
    EXPECT_EQ(segments[0].bytes, (std::vector<uint8_t>{0x5A, 0x6B}));
    EXPECT_EQ(segments[1].address, 0x18000u) << "address space 2 keeps the bank";
}

TEST(OmfReader, ShortOrCutRecordsAreReadFailures) {
    std::vector<ordwin::OmfSegment> segments;
    EXPECT_EQ(ordwin::ParseOmf(Record(0x02, {}) + Record(0x06, {0, 0, 0}), ordwin::OmfKind::kFirst,
                               &segments),
              ORDWIN_E_READ_FAILED);
    EXPECT_EQ(ordwin::ParseOmf(Record(0xC4, {}) + Record(0x94, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}),
                               ordwin::OmfKind::kSecond, &segments),
              ORDWIN_E_READ_FAILED);
    EXPECT_EQ(ordwin::ParseOmf(Record(0x02, {}) + std::string("\x06\x09", 2),
                               ordwin::OmfKind::kFirst, &segments),
              ORDWIN_E_READ_FAILED);
    EXPECT_EQ(ordwin::ParseOmf("", ordwin::OmfKind::kNotOmf, &segments),
              static_cast<int32_t>(0x81000037));
}

// Mangled files: every outcome is a code, every stored byte came from the
// text's own digits (the sanitizer builds catch reads past the text).
TEST(Readers, MangledInputNeverReadsPastTheText) {
    std::mt19937 random(20261208);
    const std::string alphabet = ":0123456789ABCDEFabcdef\r\n x\x02\x06\x04\xC4\x94\xC6";
    for (int round = 0; round < 3000; ++round) {
        std::string text = round % 3 == 0 ? std::string(kProgram) : std::string();
        const size_t length = random() % 80;
        for (size_t i = 0; i < length; ++i) {
            const size_t at = text.empty() ? 0 : random() % (text.size() + 1);
            text.insert(text.begin() + static_cast<std::ptrdiff_t>(at),
                        alphabet[random() % alphabet.size()]);
        }
        if (!text.empty() && random() % 2) text.resize(random() % text.size());
        const Loaded loaded = Read(text);
        EXPECT_LE(loaded.outcome.code, 0);
        std::vector<ordwin::OmfSegment> segments;
        const ordwin::OmfKind kind = ordwin::DetectOmf(text);
        const int32_t parsed = ordwin::ParseOmf(text, kind, &segments);
        size_t bytes = 0;
        for (const auto& segment : segments) bytes += segment.bytes.size();
        EXPECT_LE(bytes, text.size());
        EXPECT_LE(parsed, 0);
    }
}

TEST(PageCrc, KnownValues) {
    const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(zt::Crc16Xmodem(check, sizeof check), 0x31C3);
    EXPECT_EQ(zt::Crc16Xmodem(check, 0), 0);
    // Reflected polynomial with initial value 0 and no final inversion.
    EXPECT_EQ(zt::Crc32Raw(check, sizeof check), 0x2DFD2D88u);
}

}  // namespace
