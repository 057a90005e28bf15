#include "support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "intel_hex.h"
#include "zt/intel_hex_record.h"
#include "zt/platform/files.h"

namespace zsim::coretest {

namespace {

bool HexByte(const std::string& s, std::size_t pos, uint8_t* out) {
    if (pos + 2 > s.size()) return false;
    const int hi = zt::HexDigit(s[pos]);
    const int lo = zt::HexDigit(s[pos + 1]);
    if (hi < 0 || lo < 0) return false;
    *out = uint8_t(hi << 4 | lo);
    return true;
}

bool ReadFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    *text = ss.str();
    return true;
}

}  // namespace

bool LoadIntelHex(const std::string& text, std::vector<uint8_t>* code, std::string* error) {
    std::vector<HexSegment> segments;
    if (!ParseIntelHex(text, &segments, error)) return false;
    code->resize(65536);
    for (const HexSegment& s : segments)
        std::copy(s.bytes.begin(), s.bytes.end(), code->begin() + s.address);
    return true;
}

bool LoadIntelHexFile(const std::string& path, std::vector<uint8_t>* code, std::string* error) {
    std::string text;
    if (!ReadFile(path, &text)) {
        *error = "cannot read " + path;
        return false;
    }
    if (!LoadIntelHex(text, code, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

bool RunTo(Mcs51& core, uint16_t stop, uint64_t max_steps) {
    for (uint64_t i = 0; i < max_steps; ++i) {
        if (core.pc == stop) return true;
        core.Step();
    }
    return core.pc == stop;
}

bool RunCore(const std::string& ihx, std::size_t xdata_size, Snapshot* out, std::string* error,
             uint64_t* opcode_hits) {
    std::vector<uint8_t> code;
    if (!LoadIntelHexFile(ihx, &code, error)) return false;
    FlatBus bus;
    Mcs51 core(bus, code.data());
    core.opcode_hits = opcode_hits;
    if (!RunTo(core, kHaltAddress, 50'000'000)) {
        *error = "core did not reach the halt address; pc=" + std::to_string(core.pc);
        return false;
    }
    out->pc = core.pc;
    out->cycles = core.cycles;
    for (int i = 0; i < 256; ++i) out->iram[i] = core.iram[i];
    for (int i = 0; i < 128; ++i) out->sfr[i] = core.sfr[i];
    out->sfr[Mcs51::PSW - 0x80] = core.Psw();
    out->xdata.assign(bus.xdata.begin(), bus.xdata.begin() + long(xdata_size));
    return true;
}

bool ParseUcsimOutput(const std::string& text, std::size_t xdata_size, Snapshot* out,
                      std::string* error) {
    std::istringstream in(text);
    std::string line;
    bool stopped = false, timed = false;
    // Dump lines after the run, in the order of the script: iram, SFRs, XDATA.
    const std::size_t total = 256 + 128 + xdata_size;
    std::size_t filled = 0;
    out->xdata.assign(xdata_size, 0);
    while (std::getline(in, line)) {
        if (!stopped) {
            const auto at = line.find("Stop at 0x");
            if (at != std::string::npos) {
                out->pc = uint16_t(std::strtoul(line.c_str() + at + 8, nullptr, 16));
                stopped = line.find("Breakpoint") != std::string::npos;
                if (!stopped) {
                    *error = "ucsim stopped for another reason: " + line;
                    return false;
                }
            }
            continue;
        }
        if (!timed) {
            const auto at = line.find("Simulated ");
            if (at != std::string::npos && line.find(" ticks") != std::string::npos) {
                const unsigned long long ticks = std::strtoull(line.c_str() + at + 10, nullptr, 10);
                out->cycles = ticks / 12;
                timed = true;
            }
            continue;
        }
        if (line.rfind("Host usage: ", 0) == 0) {
            out->host_seconds = std::strtod(line.c_str() + 12, nullptr);
            continue;
        }
        if (filled >= total || line.rfind("0x", 0) != 0) continue;
        const std::size_t sp = line.find(' ');
        if (sp == std::string::npos) continue;
        const unsigned long addr = std::strtoul(line.c_str() + 2, nullptr, 16);
        uint8_t bytes[8];
        bool ok = true;
        for (int i = 0; i < 8 && ok; ++i) {
            const std::size_t pos = sp + std::size_t(i) * 3;
            ok = pos + 3 <= line.size() && line[pos] == ' ' && HexByte(line, pos + 1, &bytes[i]);
        }
        if (!ok) continue;
        std::size_t expect;
        if (filled < 256) {
            expect = filled;
        } else if (filled < 384) {
            expect = 0x80 + (filled - 256);
        } else {
            expect = filled - 384;
        }
        if (addr != expect) {
            *error = "unexpected dump line: " + line;
            return false;
        }
        for (int i = 0; i < 8; ++i, ++filled) {
            if (filled < 256) {
                out->iram[filled] = bytes[i];
            } else if (filled < 384) {
                out->sfr[filled - 256] = bytes[i];
            } else {
                out->xdata[filled - 384] = bytes[i];
            }
        }
    }
    if (!stopped) {
        *error = "ucsim never reached the breakpoint";
        return false;
    }
    if (!timed) {
        *error = "ucsim reported no simulated time";
        return false;
    }
    if (filled != total) {
        *error = "ucsim dumps incomplete: " + std::to_string(filled) + " of " +
                 std::to_string(total) + " bytes";
        return false;
    }
    return true;
}

bool RunUcsim(const std::string& s51, const std::string& ihx, std::size_t xdata_size, Snapshot* out,
              std::string* error) {
    if (xdata_size % 8 != 0 || xdata_size > 65536) {
        *error = "xdata size must be a multiple of 8";
        return false;
    }
    const std::string script_dir = zt::platform::MakeTempDirectory("zsim-ucsim-", nullptr);
    if (script_dir.empty()) {
        *error = "cannot create a command file";
        return false;
    }
    const std::string script_path = script_dir + "/commands";
    std::string script = "break 0x7ff0\nrun\ndi 0 0xff\nds 0x80 0xff\n";
    if (xdata_size > 0) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "dx 0 0x%zx\n", xdata_size - 1);
        script += buf;
    }
    script += "quit\n";
    std::error_code ec;
    std::ofstream(script_path, std::ios::binary) << script;
    if (std::filesystem::file_size(script_path, ec) != script.size()) {
        std::filesystem::remove_all(script_dir, ec);
        *error = "cannot write the command file";
        return false;
    }
    // A program that never reaches the breakpoint would run forever: cap it.
    const std::string cmd =
        "timeout 120 '" + s51 + "' -t 8052 -b -q '" + ihx + "' < " + script_path + " 2>&1";
    std::string text;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
        pclose(p);
    }
    std::filesystem::remove_all(script_dir, ec);
    return ParseUcsimOutput(text, xdata_size, out, error);
}

}  // namespace zsim::coretest
