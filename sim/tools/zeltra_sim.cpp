#include "zeltra_sim.h"

#include <zt/version.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "chip/number_text.h"
#include "chip/zeltra.h"
#include "intel_hex.h"
#include "serial_adapter.h"

namespace zsim {
namespace {

constexpr int kExitReached = 0;
constexpr int kExitBadInput = 2;
constexpr int kExitCycleLimit = 3;
constexpr std::streamoff kMaxHexFile = 16 << 20;

std::optional<uint64_t> ParseNumber(const std::string& text, uint64_t max) {
    uint64_t v = 0;
    if (!ParseNumberText(text, max, &v)) return std::nullopt;
    return v;
}

struct Range {
    uint32_t start = 0;
    uint32_t length = 0;
};

std::optional<Range> ParseRange(const std::string& text, uint32_t size) {
    size_t colon = text.find(':');
    if (colon == std::string::npos) return std::nullopt;
    auto start = ParseNumber(text.substr(0, colon), size);
    auto length = ParseNumber(text.substr(colon + 1), size);
    if (!start || !length || *start + *length > size) return std::nullopt;
    return Range{uint32_t(*start), uint32_t(*length)};
}

void Hex(std::ostream& out, uint32_t value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, value);
    out << buf;
}

std::atomic<bool> g_stop{false};

void StopServing(int) {
    g_stop = true;
}

}  // namespace

int ZeltraSimMain(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"zeltra-sim: run an 8051 program on a virtual Zeltra"};
    app.require_subcommand(1);
    app.footer("Run 'zeltra-sim run --help' or 'zeltra-sim serial --help' for their options.");
    app.set_version_flag("--version", "zeltra-sim " ZT_VERSION);
    CLI::App* run = app.add_subcommand(
        "run",
        "Load FILE.hex into the code RAM of a freshly reset chip and run it from 0x0000.\n"
        "Exit status: 0 when the stop address was reached, 3 when the cycle limit ended\n"
        "the run, 2 for bad arguments, an unreadable file or a state directory that could\n"
        "not be written. Addresses and counts are 0x-prefixed hexadecimal or plain decimal.");
    std::string file, brk, max_cycles_text = "100000000", xram_text, nvm_text, state_dir;
    std::string serial = "VZ0001", vpp_text = "1", user_begin_text = "0x0200";
    bool dump = false;
    run->add_option("FILE", file, "Intel-HEX program (record types 00 and 01) for code RAM")
        ->required();
    run->add_option("--break", brk, "stop when the core is about to execute ADDR");
    run->add_option("--max-cycles", max_cycles_text,
                    "stop after N machine cycles (default 100000000)");
    run->add_flag("--dump", dump,
                  "print the registers (PC A B PSW SP DPTR CYCLES), internal RAM and SFRs");
    run->add_option("--dump-xram", xram_text, "print XDATA START:LEN as XRAM=<hex>");
    run->add_option("--dump-nvm", nvm_text, "print NVM START:LEN as NVM=<hex>");
    run->add_option("--state", state_dir,
                    "directory holding the chip's NVM, MTP and counters (created factory-fresh "
                    "when missing); without it the chip lives in memory only");
    run->add_option("--serial", serial, "seed of the factory trim (default VZ0001)");
    run->add_option("--vpp", vpp_text, "programming voltage present: 1 (default) or 0");
    run->add_option("--user-begin", user_begin_text, "NVM user region start (default 0x0200)");
    CLI::App* serial_cmd = app.add_subcommand(
        "serial",
        "Serve a virtual Zeltra behind a virtual serial debug adapter on a pseudo-terminal\n"
        "until killed. PATH becomes a link to the terminal; Ordwin lists the port among its\n"
        "COM ports (or set ORDWIN_COM<n>=PATH). Options are the virtual USB adapter's keys,\n"
        "e.g. fw=22 (an outdated adapter), mode=2, target=pristine, fault=short@9 or extra@9.");
    std::string link, serial_state, adapter_serial = "VZS001";
    std::vector<std::string> adapter_options;
    serial_cmd->add_option("--link", link, "path of the link to the pseudo-terminal")->required();
    serial_cmd->add_option("--state", serial_state, "the chip's state directory");
    serial_cmd->add_option("--serial", adapter_serial, "seed of the factory trim (default VZS001)");
    serial_cmd->add_option("OPTIONS", adapter_options, "KEY=VALUE adapter options");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e, out, err);
        return code == 0 ? 0 : kExitBadInput;
    }

    auto bad = [&](const std::string& why) {
        err << "zeltra-sim: " << why << "\n";
        return kExitBadInput;
    };
    if (serial_cmd->parsed()) {
        AdapterOptions options;
        if (!serial_state.empty()) options.emplace_back("state", serial_state);
        for (const std::string& item : adapter_options) {
            const size_t eq = item.find('=');
            if (eq == std::string::npos || eq == 0)
                return bad("bad option \"" + item + "\" (KEY=VALUE)");
            options.emplace_back(item.substr(0, eq), item.substr(eq + 1));
        }
        std::string why;
        auto server = SerialAdapterServer::Create(link, adapter_serial, options, &why);
        if (!server) return bad(why);
        out << server->Link() << std::endl;
        std::signal(SIGINT, StopServing);
        std::signal(SIGTERM, StopServing);
        server->Serve(g_stop);
        return 0;
    }
    std::optional<uint64_t> stop;
    if (!brk.empty()) {
        stop = ParseNumber(brk, 0xFFFF);
        if (!stop) return bad("bad --break address \"" + brk + "\"");
    }
    auto max_cycles = ParseNumber(max_cycles_text, uint64_t(1) << 62);
    if (!max_cycles) return bad("bad --max-cycles count \"" + max_cycles_text + "\"");
    std::optional<Range> xram_range, nvm_range;
    if (!xram_text.empty() && !(xram_range = ParseRange(xram_text, 0x10000))) {
        return bad("bad --dump-xram range \"" + xram_text + "\" (START:LEN within 64 KiB)");
    }
    if (!nvm_text.empty() && !(nvm_range = ParseRange(nvm_text, kNvmSize))) {
        return bad("bad --dump-nvm range \"" + nvm_text + "\" (START:LEN within 0x2000)");
    }
    if (vpp_text != "0" && vpp_text != "1") return bad("--vpp takes 0 or 1");
    auto user_begin = ParseNumber(user_begin_text, 0xFFFF);
    if (!user_begin) return bad("bad --user-begin address \"" + user_begin_text + "\"");

    std::ifstream in(file, std::ios::binary);
    if (!in) return bad("cannot read " + file);
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    in.seekg(0);
    if (size < 0 || size > kMaxHexFile) return bad(file + " is not a program image (too large)");
    std::string text(static_cast<size_t>(size), '\0');
    if (!in.read(text.data(), size)) return bad("cannot read " + file);
    std::vector<HexSegment> segments;
    std::string why;
    if (!ParseIntelHex(text, &segments, &why)) return bad(file + ": " + why);
    for (const auto& s : segments) {
        if (s.address + s.bytes.size() > 0x8000) {
            return bad(file + ": data outside code RAM (0x0000..0x7FFF) at 0x" + [&] {
                std::ostringstream o;
                Hex(o, std::max<uint32_t>(s.address, 0x8000), 4);
                return o.str();
            }());
        }
    }

    ZeltraConfig config;
    config.serial = serial;
    config.state_dir = state_dir;
    config.vpp = vpp_text == "1";
    config.user_begin = uint16_t(*user_begin);
    std::unique_ptr<Zeltra> chip = Zeltra::Create(config, &why);
    if (!chip) return bad(why);
    chip->Reset();
    for (const auto& s : segments) chip->LoadCode(s.address, s.bytes.data(), s.bytes.size());

    const uint64_t start_cycles = chip->Cycles();
    bool reached = chip->RunTo(stop ? int(*stop) : -1, start_cycles + *max_cycles);
    const Mcs51& core = chip->Core();
    if (dump) {
        out << "PC=";
        Hex(out, core.pc, 4);
        out << " A=";
        Hex(out, core.Sfr(Mcs51::ACC), 2);
        out << " B=";
        Hex(out, core.Sfr(Mcs51::B), 2);
        out << " PSW=";
        Hex(out, core.Psw(), 2);
        out << " SP=";
        Hex(out, core.Sfr(Mcs51::SP), 2);
        out << " DPTR=";
        Hex(out, core.Dptr(), 4);
        out << " CYCLES=" << (chip->Cycles() - start_cycles) << "\n";
        out << "IRAM=";
        for (int i = 0; i < 256; ++i) Hex(out, core.iram[i], 2);
        out << "\nSFR=";
        for (int a = 0x80; a <= 0xFF; ++a) Hex(out, chip->Core().ReadDirect(uint8_t(a)), 2);
        out << "\n";
    }
    if (xram_range) {
        out << "XRAM=";
        for (uint32_t i = 0; i < xram_range->length; ++i) {
            Hex(out, chip->XdataRead(uint16_t(xram_range->start + i)), 2);
        }
        out << "\n";
    }
    if (nvm_range) {
        out << "NVM=";
        for (uint32_t i = 0; i < nvm_range->length; ++i) {
            Hex(out, chip->Memories().nvm[nvm_range->start + i], 2);
        }
        out << "\n";
    }
    // A state directory that missed a change would mislead whoever reads it next.
    if (!chip->StorageError().empty()) return bad("state not saved: " + chip->StorageError());
    return reached ? kExitReached : kExitCycleLimit;
}

}  // namespace zsim
