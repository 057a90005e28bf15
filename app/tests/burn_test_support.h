// Shared pieces of the compose and burn tests: a recording engine host, a
// program directory holding the real composer, and file helpers.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "core/nvm_engine.h"
#include "core/text.h"
#include "fake_ordwin.h"

namespace cindral::test {

inline std::string Narrow(const std::u16string& s) {
    return NarrowText(s, s.size() + 1);
}

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The Device page as the engine sees it. Appended files are read at once, and
// each append remembers how many message boxes had been shown by then.
class RecordingHost : public IEngineHost {
  public:
    explicit RecordingHost(ScriptedMessages& messages) : messages_(messages) {}
    int connected = 1;
    std::vector<std::string> lines;
    std::string appended;
    std::vector<std::size_t> boxesBeforeAppend;

    int DeviceConnected() override { return connected; }
    void WriteOutputLine(const std::u16string& text) override { lines.push_back(Narrow(text)); }
    void AppendOutputFile(const std::string& path) override {
        boxesBeforeAppend.push_back(messages_.shown.size());
        appended += ReadAll(path);
    }
    bool Logged(const std::string& line) const {
        for (const std::string& l : lines)
            if (l == line) return true;
        return false;
    }

  private:
    ScriptedMessages& messages_;
};

// A program directory of its own per test, with the real composer linked in, so
// that "marlspin.log" of parallel tests never collide.
class ProgramDir {
  public:
    ProgramDir() {
        path_ = dir_.path().toStdString() + "/";
        std::error_code ec;
        std::filesystem::create_symlink(std::string(CINDRAL_TEST_BIN_DIR) + "marlspin",
                                        path_ + "marlspin", ec);
    }
    // Replaces the composer by a shell script.
    void ScriptComposer(const std::string& body) {
        std::filesystem::remove(path_ + "marlspin");
        WriteAll(path_ + "marlspin", "#!/bin/sh\n" + body + "\n");
        std::filesystem::permissions(path_ + "marlspin", std::filesystem::perms::owner_all);
    }
    const std::string& Path() const { return path_; }
    std::u16string Wide() const { return WidenText(path_); }
    std::string operator/(const std::string& name) const { return path_ + name; }

  private:
    QTemporaryDir dir_;
    std::string path_;
};

inline const char* kBootHex =  // 16 bytes at 0x0000 and one at 0x0020
    ":10000000000102030405060708090A0B0C0D0E0F78\r\n:01002000558A\r\n:00000001FF\r\n";

// Intel-HEX data records of `bytes` from `address` on, 16 bytes a record, CR LF after each.
inline std::string HexRecords(unsigned address, const std::vector<uint8_t>& bytes) {
    std::string out;
    for (std::size_t off = 0; off < bytes.size(); off += 16) {
        const std::size_t n = std::min<std::size_t>(16, bytes.size() - off);
        const unsigned at = address + static_cast<unsigned>(off);
        unsigned sum = static_cast<unsigned>(n) + (at >> 8) + (at & 0xFF);
        out += Format(":%02zX%04X00", n, at & 0xFFFF);
        for (std::size_t i = 0; i < n; ++i) {
            sum += bytes[off + i];
            out += Format("%02X", bytes[off + i]);
        }
        out += Format("%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
    }
    return out;
}

// The records of a burner image as the composer lays it out: code at the
// entry, the parameter table at 0x0200 with one segment burning `data` at NVM
// `nvm`, the data after the table; the end record last.
inline std::string BurnerImage(unsigned nvm, const std::vector<uint8_t>& data,
                               uint8_t code = 0x02) {
    const unsigned dataAt = 0x0200 + 8 + 6;
    std::vector<uint8_t> table = {'Z',
                                  'B',
                                  0x01,
                                  0x00,
                                  0x00,
                                  0x01,
                                  static_cast<uint8_t>(dataAt >> 8),
                                  static_cast<uint8_t>(dataAt),
                                  static_cast<uint8_t>(nvm >> 8),
                                  static_cast<uint8_t>(nvm),
                                  static_cast<uint8_t>(data.size() >> 8),
                                  static_cast<uint8_t>(data.size()),
                                  0x00,
                                  0x00};
    table.insert(table.end(), data.begin(), data.end());
    return HexRecords(0x0000, {code}) + HexRecords(0x0200, table) + ":00000001FF\r\n";
}

// A burn file of `images` such images (image i burns the byte i at 0x0400 + i)
// under the count line "Count=<count>".
inline std::string BurnFileText(long long count, int images) {
    std::string s =
        "; x\r\n[Compose Map]\r\n;\r\n[Burn]\r\nCount=" + std::to_string(count) + "\r\n;\r\n";
    for (int i = 1; i <= images; ++i)
        s += Format("Image %d t\r\n", i) + BurnerImage(0x0400 + static_cast<unsigned>(i),
                                                       {static_cast<uint8_t>(i)},
                                                       static_cast<uint8_t>(i));
    return s + ";\r\n";
}

// What the engine writes to the temporary file of such an image: CR alone.
inline std::string AsTemporaryFile(std::string records) {
    std::string out;
    for (char c : records)
        if (c != '\n') out += c;
    return out;
}
// A chip whose burners all end with `status` in their result block; every poll
// may run a hook (to look at the window while the burn runs).
class ScriptedBurner : public FakeOrdwin {
  public:
    uint8_t status = 0x5C;
    std::function<void()> onPoll;
    int downloads = 0;
    int Download(char*, int, int, int, int, int, int) override { return ++downloads, 0; }
    int SetRAMMemory(uint8_t*, unsigned, unsigned) override { return 0; }
    int GetTargetStatus(int* s) override {
        if (onPoll) onPoll();
        *s = 1;
        ram[0x64] = status;
        return 0;
    }
};

// A burn file of one (empty) burner image whose map has one row with `mapStatus`.
inline std::string OneImageBurnFile(const std::string& mapStatus) {
    return "[Compose Map]\r\nboot.hex 0x0200 0x0220 0x0021 33 " + mapStatus +
           "\r\n;\r\n[Burn]\r\nCount=1\r\n;\r\nI\r\n" + BurnerImage(0x0400, {0x01}) + ";\r\n";
}

// A composer that copies `made` (a file) to the burn file it is asked for.
inline std::string ComposerCopying(const std::string& made) {
    return "for a in \"$@\"; do case \"$a\" in --nvm_burn_file=*) f=\"${a#--nvm_burn_file=}\";; "
           "esac; done\ncp '" +
           made + "' \"$f\"\necho composed";
}

// A composer that fails as the real one does on a missing input file.
inline const char* kComposerFailing =
    "echo 'marlspin: error: /w/missing.hex: cannot open it'\nexit 7";

inline std::string Texts(const ScriptedMessages& m) {
    std::string out;
    for (const auto& s : m.shown) out += Narrow(s.text) + "|";
    return out;
}

}  // namespace cindral::test
