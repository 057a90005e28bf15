// Downloads into the virtual Zeltra through the exports: an SDCC-assembled
// Intel-HEX program and the same program as OMF files of both kinds, run to
// the breakpoint and checked against what the program computes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ordwin.h"
#include "recording_host.h"
#include "virtual_fixture.h"

namespace {

// Code bytes by address, read from Intel-HEX text independently of the
// library's reader.
std::map<uint32_t, uint8_t> HexBytes(const std::string& text) {
    std::map<uint32_t, uint8_t> bytes;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 11 || line[0] != ':') continue;
        const auto field = [&](size_t at, size_t n) {
            return static_cast<uint32_t>(std::stoul(line.substr(at, n), nullptr, 16));
        };
        if (field(7, 2) != 0) continue;
        const uint32_t count = field(1, 2);
        const uint32_t address = field(3, 4);
        for (uint32_t i = 0; i < count; ++i) {
            bytes[address + i] = static_cast<uint8_t>(field(9 + 2 * i, 2));
        }
    }
    return bytes;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Contiguous runs of the program's bytes.
std::vector<std::pair<uint32_t, std::vector<uint8_t>>> Runs(
    const std::map<uint32_t, uint8_t>& bytes) {
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> runs;
    for (const auto& [address, value] : bytes) {
        if (runs.empty() || runs.back().first + runs.back().second.size() != address) {
            runs.push_back({address, {}});
        }
        runs.back().second.push_back(value);
    }
    return runs;
}

void Record(std::string& file, uint8_t type, const std::vector<uint8_t>& payload) {
    file.push_back(static_cast<char>(type));
    file.push_back(static_cast<char>(payload.size() & 0xFF));
    file.push_back(static_cast<char>(payload.size() >> 8));
    file.append(payload.begin(), payload.end());
}

std::string FirstKindOmf(const std::map<uint32_t, uint8_t>& bytes) {
    std::string file;
    Record(file, 0x02, {4, 'T', 'E', 'S', 'T', 0, 0, 0});  // module header
    Record(file, 0x0E, {0x01, 0x02, 0x03});                // something to skip
    for (const auto& [address, data] : Runs(bytes)) {
        std::vector<uint8_t> payload = {0, static_cast<uint8_t>(address),
                                        static_cast<uint8_t>(address >> 8)};
        payload.insert(payload.end(), data.begin(), data.end());
        payload.push_back(0x5A);  // checksum, not checked
        Record(file, 0x06, payload);
    }
    Record(file, 0x04, {0, 0, 0, 0});
    Record(file, 0x06, {0, 0x00, 0x01, 0xEE, 0x00});  // after the end: ignored
    return file;
}

std::string SecondKindOmf(const std::map<uint32_t, uint8_t>& bytes) {
    std::string file;
    Record(file, 0xC8, {3, 'A', 'B', 'C'});
    for (const auto& [address, data] : Runs(bytes)) {
        std::vector<uint8_t> payload = {0x11,
                                        0x22,
                                        0x33,
                                        0x44,
                                        0x00,
                                        0x00,
                                        static_cast<uint8_t>(address),
                                        static_cast<uint8_t>(address >> 8),
                                        0x07,
                                        0x00};
        payload.insert(payload.end(), data.begin(), data.end());
        payload.push_back(0xA5);
        Record(file, 0x94, payload);
    }
    Record(file, 0xC6, {0});
    return file;
}

uint16_t Xmodem(const uint8_t* data, size_t n) {
    uint16_t crc = 0;
    for (size_t i = 0; i < n; ++i) {
        crc ^= static_cast<uint16_t>(data[i] << 8);
        for (int b = 0; b < 8; ++b) crc = (crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1;
    }
    return crc;
}

class Download : public VirtualAdapters {
  protected:
    void SetUp() override {
        VirtualAdapters::SetUp();
        Use("VZ0001:speed=max");
        ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
        program_ = ReadText(ORDWIN_TEST_PROGRAM);
        ASSERT_FALSE(program_.empty());
        ClearTrace();
    }

    std::string Write(const std::string& name, const std::string& content) {
        const std::string path = ::testing::TempDir() + "ordwin_" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    int Load(const std::string& path, int quiet = 1) {
        std::vector<char> name(path.begin(), path.end());
        name.push_back('\0');
        return ::Download(name.data(), 0, quiet, 0, -1, 0, 0);
    }

    // The burn engine's sequence: breakpoint, PC, run, poll until halted.
    void RunToBreakpoint() {
        ASSERT_EQ(SetClrBP(1, 0x0006), 0);
        ASSERT_EQ(WritePC(0), 0);
        ASSERT_EQ(SetTargetGo(), 0);
        int status = 0;
        for (int poll = 0; poll < 100 && status != 1; ++poll) {
            ASSERT_EQ(GetTargetStatus(&status), 0);
        }
        ASSERT_EQ(status, 1);
        uint32_t pc = 0;
        ASSERT_EQ(ReadPC(&pc), 0);
        EXPECT_EQ(pc, 0x0006u);
    }

    // What the program leaves behind, against an independent computation.
    void ExpectProgramResults() {
        uint8_t block[2] = {};
        ASSERT_EQ(GetRAMMemory(block, 0x64, 2), 0);
        std::vector<uint8_t> fib;
        unsigned a = 0, b = 1, sum = 0;
        for (int i = 0; i < 12; ++i) {
            fib.push_back(static_cast<uint8_t>(a));
            sum += a;
            const unsigned next = (a + b) & 0xFF;
            a = b;
            b = next;
        }
        EXPECT_EQ(block[0], 0x5C);
        EXPECT_EQ(block[1], sum & 0xFF);
        std::vector<uint8_t> xdata(12);
        ASSERT_EQ(GetXRAMMemory(xdata.data(), 0x0200, 12), 0);
        EXPECT_EQ(xdata, fib);
        uint8_t registers[3] = {};
        ASSERT_EQ(GetRAMMemory(registers, 0, 3), 0);
        EXPECT_EQ(registers[0], 0x11);
        EXPECT_EQ(registers[1], 0x22);
        EXPECT_EQ(registers[2], 0x33);
    }

    std::string program_;
};

TEST_F(Download, IntelHexProgramRunsToItsBreakpoint) {
    ASSERT_EQ(Load(ORDWIN_TEST_PROGRAM), 0);
    RunToBreakpoint();
    ExpectProgramResults();
}

TEST_F(Download, OmfProgramsOfBothKindsRunAlike) {
    const auto bytes = HexBytes(program_);
    for (const std::string& file : {FirstKindOmf(bytes), SecondKindOmf(bytes)}) {
        ASSERT_EQ(TargetReset(), 0);
        // A target cleared first, so only the OMF bytes can make it run.
        uint8_t blank[64];
        std::fill(std::begin(blank), std::end(blank), 0xFF);
        ASSERT_EQ(SetCodeMemory(blank, 0, sizeof blank, 1), 0);
        ASSERT_EQ(Load(Write("program.omf", file)), 0);
        std::vector<uint8_t> code(0x3A);
        ASSERT_EQ(GetCodeMemory(code.data(), 0, 0x3A), 0);
        for (const auto& [address, value] : bytes) EXPECT_EQ(code[address], value) << address;
        RunToBreakpoint();
        ExpectProgramResults();
    }
}

TEST_F(Download, WrittenPagesMatchAnIndependentCrc) {
    // Two pages with a pattern, so the CRC of each 256-byte block differs.
    std::string hex;
    std::vector<uint8_t> image(0x400, 0xFF);
    for (uint32_t address = 0; address < 0x400; address += 16) {
        char line[64];
        std::snprintf(line, sizeof line, ":10%04X00", address);
        hex += line;
        for (uint32_t i = 0; i < 16; ++i) {
            image[address + i] = static_cast<uint8_t>((address + i) * 7 + (address >> 8));
            std::snprintf(line, sizeof line, "%02X", image[address + i]);
            hex += line;
        }
        hex += "00\n";
    }
    hex += ":00000001FF\n";
    ASSERT_EQ(Load(Write("pattern.hex", hex)), 0);
    for (int page = 0; page < 4; ++page) {
        uint8_t crc[2] = {};
        ASSERT_EQ(GetPageCRC(page, crc), 0);
        const uint16_t expected = Xmodem(image.data() + page * 256, 256);
        EXPECT_EQ(crc[0], expected >> 8) << page;
        EXPECT_EQ(crc[1], expected & 0xFF) << page;
    }
    const std::string same = Write("pattern.hex", hex);
    std::vector<char> name(same.begin(), same.end());
    name.push_back('\0');
    EXPECT_EQ(VerifyFlashDownload(name.data(), 1, -1), 0);
    const std::string changed = Write("changed.hex", ":01010000AA54\n:00000001FF\n");
    std::vector<char> other(changed.begin(), changed.end());
    other.push_back('\0');
    EXPECT_EQ(VerifyFlashDownload(other.data(), 1, -1), ORDWIN_E_CRC);
}

TEST_F(Download, ZeltraPagesAreWrittenWithoutEraseOrWriteMode) {
    ASSERT_EQ(Load(ORDWIN_TEST_PROGRAM), 0);
    int writes = 0, crcs = 0;
    for (const std::string& packet : Sent()) {
        const std::string op = packet.substr(0, 2);
        EXPECT_NE(op, "30") << "page erase";
        EXPECT_NE(op, "37") << "C2 register write of a write mode";
        EXPECT_NE(op, "3c") << "code erase";
        writes += op == "2f";
        crcs += op == "31";
    }
    // One 512-byte page: nine packets, and a CRC for each of its two blocks.
    EXPECT_EQ(writes, 9);
    EXPECT_EQ(crcs, 2);
}

TEST_F(Download, EveryByteOfAFullImageReachesTheTarget) {
    std::string hex;
    for (uint32_t address = 0; address < 0x8000; address += 32) {
        char line[96];
        std::snprintf(line, sizeof line, ":20%04X00", address);
        hex += line;
        for (uint32_t i = 0; i < 32; ++i) {
            std::snprintf(line, sizeof line, "%02X", ((address + i) ^ (address >> 7)) & 0xFF);
            hex += line;
        }
        hex += "00\r\n";
    }
    hex += ":00000001FF\r\n";
    ASSERT_EQ(Load(Write("full.hex", hex)), 0);
    const std::vector<std::string> sent = Sent();
    size_t exchanges = sent.size();
    // 547 packets of at most 60 bytes carry 32 KiB; one CRC per 256 bytes.
    EXPECT_LE(exchanges, 547u + 128u + 4u);
    std::vector<uint8_t> code(0x8000);
    ASSERT_EQ(GetCodeMemory(code.data(), 0, 0x8000), 0);
    for (uint32_t address = 0; address < 0x8000; ++address) {
        ASSERT_EQ(code[address], ((address & ~31u) >> 7 ^ address) & 0xFF) << address;
    }
}

TEST_F(Download, FailuresAndTheirMessages) {
    RecordingHost host;
    char missing[] = "/nonexistent/ordwin/none.hex";
    EXPECT_EQ(::Download(missing, 0, 0, 0, -1, 0, 0), ORDWIN_E_INVALID_PATH);
    EXPECT_TRUE(host.Saw("File not found.\r\nDownload aborted."));
    EXPECT_EQ(Connected(), 1) << "a missing file is refused before anything happens";
    EXPECT_EQ(::Download(missing, 0, 0, 0, 0, 0, 0), ORDWIN_E_INVALIDARG) << "bank 0";
    EXPECT_EQ(::Download(missing, 2, 0, 0, -1, 0, 0), ORDWIN_E_INVALIDARG);
    EXPECT_EQ(::Download(missing, 0, 2, 0, -1, 0, 0), ORDWIN_E_INVALIDARG);

    EXPECT_EQ(Load(Write("text.txt", "hello\n"), 0), ORDWIN_E_INVALID_PATH);
    EXPECT_TRUE(host.Saw("File entered is not a known format.\r\nDownload aborted."));
    EXPECT_EQ(Connected(), 0) << "a failed download disconnects";

    // A file far too large for a program image is refused for its format, unread.
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
    const std::string huge = Write("huge.hex", ":00000001FF\r\n");
    ASSERT_EQ(::truncate(huge.c_str(), 65L << 20), 0);
    host.messages.clear();
    EXPECT_EQ(Load(huge, 0), ORDWIN_E_INVALID_PATH);
    EXPECT_TRUE(host.Saw("File entered is not a known format.\r\nDownload aborted."));
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
    EXPECT_EQ(VerifyFlashDownload(const_cast<char*>(huge.c_str()), 0, -1), ORDWIN_E_INVALID_PATH);
    EXPECT_TRUE(host.Saw("File entered is not a Hex file.\r\nDownload aborted."));
}

TEST_F(Download, CutRecordIsAReadFailureAtItsAddress) {
    RecordingHost host;
    EXPECT_EQ(Load(Write("cut.hex", ":0400100001020304E2\n:10002000010203"), 0),
              ORDWIN_E_READ_FAILED);
    EXPECT_TRUE(
        host.Saw("File Read failed at address 0014H.\nFlash Download Aborted.\nFlash state is "
                 "now unknown."));
    EXPECT_EQ(Connected(), 0);
}

TEST_F(Download, BeyondTheImageIsRefused) {
    RecordingHost host;
    // Upper address word 0x0002: byte address 0x20000, just past the image.
    EXPECT_EQ(Load(Write("far.hex", ":020000040002F8\n:0100000055AA\n:00000001FF\n"), 0),
              ORDWIN_E_INVALIDARG);
    EXPECT_TRUE(host.Saw("Address 20000H lies outside the code memory image.\nDownload aborted."));
}

TEST_F(Download, ReservedAddressEndsTheDownloadSilently) {
    RecordingHost host;
    EXPECT_EQ(Load(Write("reserved.hex", ":01FFFF0055AC\n:00000001FF\n"), 0), ORDWIN_E_INVALIDARG);
    for (const ShownMessage& m : host.messages) {
        EXPECT_EQ(m.text.find("restricted"), std::string::npos) << m.text;
    }
    EXPECT_EQ(Connected(), 0);
}

TEST_F(Download, RecordRunningPastTheImageIsRefused) {
    RecordingHost host;
    EXPECT_EQ(Load(Write("past.hex", ":020000040001F9\n:04FFFE0001020304F8\n:00000001FF\n"), 0),
              ORDWIN_E_INVALIDARG);
    EXPECT_TRUE(host.Saw("Address 20000H lies outside the code memory image.\nDownload aborted."));
}

TEST_F(Download, CancelWhileReading) {
    OrdwinHostUi ui{};
    ui.progressCancelled = [](void*, void*) { return 1; };
    OrdwinSetHostUi(&ui);
    EXPECT_EQ(Load(ORDWIN_TEST_PROGRAM, 0), ORDWIN_E_DOWNLOAD_CANCELLED);
    OrdwinSetHostUi(nullptr);
}

TEST_F(Download, OmfWithoutContentIsRefused) {
    RecordingHost host;
    std::string file;
    Record(file, 0x02, {1, 'X'});
    Record(file, 0x04, {0});
    EXPECT_EQ(Load(Write("empty.omf", file), 0), ORDWIN_E_READ_FAILED);
    EXPECT_TRUE(host.Saw("OMF file appears to be corrupt!"));
}

// A raw binary starting with LJMP 0x1000 reads as a first record of type 0x02
// running past the end: OMF with no content, not an unknown format.
TEST_F(Download, RawBinaryStartingWithARecordTypeIsCorruptOmf) {
    RecordingHost raw;
    EXPECT_EQ(Load(Write("raw.bin", std::string("\x02\x10\x00\xE4\xF5\x80", 6)), 0),
              ORDWIN_E_READ_FAILED);
    EXPECT_TRUE(raw.Saw("OMF file appears to be corrupt!"));
    EXPECT_FALSE(raw.Saw("File entered is not a known format.\r\nDownload aborted."));
}

TEST_F(Download, OnlyRegularFilesAreRead) {
    EXPECT_EQ(Load(::testing::TempDir()), ORDWIN_E_INVALID_PATH);
    const std::string fifo = ::testing::TempDir() + "ordwin_fifo";
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Load(fifo), ORDWIN_E_INVALID_PATH) << "returns instead of waiting for a writer";
    ::unlink(fifo.c_str());
}

TEST_F(Download, CorruptOmfRecordIsRefused) {
    std::string file;
    Record(file, 0x02, {1, 'X'});
    file += std::string("\x06\x40\x00\x00\x10", 5);  // content record longer than the file
    EXPECT_EQ(Load(Write("cut.omf", file)), ORDWIN_E_READ_FAILED);
}

TEST_F(Download, EraseAndResetKeepsBreakpointsWorking) {
    ASSERT_EQ(SetClrBP(1, 0x0006), 0);
    const char* program = ORDWIN_TEST_PROGRAM;
    std::vector<char> name(program, program + sizeof ORDWIN_TEST_PROGRAM);
    ASSERT_EQ(::Download(name.data(), 1, 1, 0, -1, 0, 0), 0);
    RunToBreakpoint();
    ExpectProgramResults();
}

TEST_F(Download, PreserveKeepsWhatTheTargetHolds) {
    ASSERT_EQ(Load(ORDWIN_TEST_PROGRAM), 0);
    const std::string one = Write("one.hex", ":01010000AA54\n:00000001FF\n");
    std::vector<char> name(one.begin(), one.end());
    name.push_back('\0');
    // The erase leaves the target blank while the image still holds the
    // program: without preserve the page is written from the image...
    ASSERT_EQ(::Download(name.data(), 1, 1, 0, -1, 0, 0), 0);
    uint8_t code[2] = {};
    ASSERT_EQ(GetCodeMemory(code, 0, 2), 0);
    EXPECT_EQ(code[0], 0x02) << "the program's ljmp came back from the image";
    // ...with preserve it is read from the blank target first.
    ASSERT_EQ(::Download(name.data(), 1, 1, 0, -1, 0, 1), 0);
    ASSERT_EQ(GetCodeMemory(code, 0, 2), 0);
    EXPECT_EQ(code[0], 0xFF);
    ASSERT_EQ(GetCodeMemory(code, 0x100, 1), 0);
    EXPECT_EQ(code[0], 0xAA);
}

TEST_F(Download, LockingAZeltraIsReportedAsFailed) {
    const char* program = ORDWIN_TEST_PROGRAM;
    std::vector<char> name(program, program + sizeof ORDWIN_TEST_PROGRAM);
    EXPECT_EQ(::Download(name.data(), 0, 1, 0, -1, 1, 0), ORDWIN_E_FLASH_LOCK);
}

}  // namespace
