#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "zt/platform/files.h"
#include "zt/platform/process.h"

namespace mstest {

namespace fs = std::filesystem;

struct TempDir {
    fs::path path;
    TempDir() { path = zt::platform::MakeTempDirectory("marlspin-test-", nullptr); }
    // Not throwing: a child's files may still be closing for a moment under Wine.
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

inline void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Result {
    int code = -1;
    std::string out, err;
};

// Runs a program with exactly these arguments in `dir`, capturing both streams.
inline Result Run(const std::string& program, const std::vector<std::string>& args,
                  const TempDir& dir) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    const std::string out = dir / ".stdout", err = dir / ".stderr";
    Result r;
    {
        zt::platform::OutputFile outFile, errFile;
        if (!outFile.Create(out).empty() || !errFile.Create(err).empty()) return r;
        const std::string cwd = fs::current_path().string();
        fs::current_path(dir.path);
        zt::platform::ChildProcess child;
        int error = 0;
        if (child.Start(argv, outFile, &error, &errFile)) {
            while (child.WaitFor(1000) == zt::platform::ChildProcess::Wait::kRunning) {
            }
            r.code = child.exit_code();
        }
        fs::current_path(cwd);
    }
    r.out = ReadFile(out);
    r.err = ReadFile(err);
    return r;
}

struct MapLine {
    std::vector<std::string> tokens;  // name, first, last, length hex, length decimal
    std::string status;
};

struct Image {
    std::string header;
    std::string hex;  // records, CR LF separated
    std::map<uint32_t, uint8_t> code;
    // Every record has its byte count and checksum right and the last one is the
    // end record: what a downloader checks before it takes the image.
    bool records_ok = false;
};

// Checks one record's digits, byte count and checksum; returns its bytes.
inline bool CheckRecord(const std::string& r, std::vector<uint8_t>& bytes) {
    bytes.clear();
    if (r.size() < 11 || r[0] != ':' || r.size() % 2 == 0) return false;
    for (std::size_t k = 1; k < r.size(); k += 2) {
        const std::string pair = r.substr(k, 2);
        if (pair.find_first_not_of("0123456789ABCDEF") != std::string::npos) return false;
        bytes.push_back(uint8_t(std::stoul(pair, nullptr, 16)));
    }
    unsigned sum = 0;
    for (uint8_t b : bytes) sum += b;
    return bytes.size() == bytes[0] + 5u && sum % 256 == 0;
}

struct BurnFile {
    std::vector<MapLine> map;
    int count = -1;
    std::vector<Image> images;
};

// Reads a burn file the way Cindral does: the map from the line after
// "[Compose Map]" to the first line holding ';', the images after "[Burn]".
inline BurnFile ParseBurnFile(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t nl = text.find("\r\n", pos);
        if (nl == std::string::npos) nl = text.size();
        lines.push_back(text.substr(pos, nl - pos));
        pos = nl + 2;
    }
    BurnFile bf;
    std::size_t i = 0;
    while (i < lines.size() && lines[i] != "[Compose Map]") ++i;
    for (++i; i < lines.size() && !lines[i].empty() && lines[i].find(';') == std::string::npos;
         ++i) {
        std::istringstream s(lines[i]);
        MapLine m;
        std::string t;
        for (int k = 0; k < 5 && s >> t; ++k) m.tokens.push_back(t);
        s >> std::ws;
        std::getline(s, m.status);
        bf.map.push_back(m);
    }
    while (i < lines.size() && lines[i].rfind("[Burn]", 0) != 0) ++i;
    if (i + 2 >= lines.size()) return bf;
    bf.count = std::atoi(lines[i + 1].substr(lines[i + 1].find('=') + 1).c_str());
    i += 3;
    for (int n = 0; n < bf.count && i < lines.size(); ++n) {
        Image img;
        img.header = lines[i++];
        img.records_ok = true;
        std::string last;
        std::vector<uint8_t> rec;
        for (; i < lines.size() && lines[i].rfind(":", 0) == 0; ++i) {
            last = lines[i];
            img.hex += last + "\r\n";
            if (!CheckRecord(last, rec)) {
                img.records_ok = false;
                continue;
            }
            const unsigned at = rec[1] << 8 | rec[2];
            if (rec[3] == 0)
                for (unsigned k = 0; k < rec[0]; ++k) img.code[at + k] = rec[4 + k];
        }
        img.records_ok = img.records_ok && last == ":00000001FF";
        bf.images.push_back(img);
    }
    return bf;
}

struct Planned {
    int mode = -1;                    // 0 strict, 1 logic OR
    std::map<uint32_t, uint8_t> nvm;  // what the image burns
    std::vector<std::size_t> segment_sizes;
};

// Decodes a burner image's parameter table at 0x0200.
inline Planned PlanOf(const Image& img) {
    auto at = [&](uint32_t a) { return img.code.count(a) ? img.code.at(a) : -1; };
    auto word = [&](uint32_t a) { return uint32_t(at(a) << 8 | at(a + 1)); };
    Planned p;
    if (at(0x200) != 'Z' || at(0x201) != 'B') return p;
    p.mode = at(0x203);
    uint32_t data = word(0x206);
    for (uint32_t s = 0; s < word(0x204); ++s) {
        const uint32_t d = 0x208 + 6 * s, len = word(d + 2);
        for (uint32_t k = 0; k < len; ++k) p.nvm[word(d) + k] = uint8_t(at(data++));
        p.segment_sizes.push_back(len);
    }
    return p;
}

// The bitwise CRC-32 of zlib, independent of the composer's table-driven one.
inline uint32_t BitwiseCrc32(const std::vector<uint8_t>& data) {
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t b : data) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

}  // namespace mstest
