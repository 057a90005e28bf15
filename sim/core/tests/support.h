// Helpers shared by the core's tests and benchmark: loading Intel-HEX program
// images, running the core to a stop address, and running the same image on
// ucsim (s51) to read back its state.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "mcs51.h"

namespace zsim::coretest {

// Where every reference program parks itself (an SJMP to itself).
constexpr uint16_t kHaltAddress = 0x7FF0;

// Reads an Intel-HEX file into code (65536 bytes, untouched where the file
// says nothing). Returns false and sets *error on any malformed record.
bool LoadIntelHex(const std::string& text, std::vector<uint8_t>* code, std::string* error);
bool LoadIntelHexFile(const std::string& path, std::vector<uint8_t>* code, std::string* error);

// A bus with flat 64 KiB XDATA and SFR hooks backed by a plain array.
class FlatBus : public Mcs51Bus {
  public:
    uint8_t XdataRead(uint16_t addr) override { return xdata[addr]; }
    void XdataWrite(uint16_t addr, uint8_t value) override { xdata[addr] = value; }
    uint8_t SfrRead(uint8_t addr) override {
        ++sfr_reads;
        return hooked[addr & 0x7F];
    }
    void SfrWrite(uint8_t addr, uint8_t value) override {
        ++sfr_writes;
        last_write_addr = addr;
        hooked[addr & 0x7F] = value;
    }

    std::vector<uint8_t> xdata = std::vector<uint8_t>(65536, 0);
    std::array<uint8_t, 128> hooked{};
    int sfr_reads = 0;
    int sfr_writes = 0;
    uint8_t last_write_addr = 0;
};

// The state both simulators are compared on.
struct Snapshot {
    uint16_t pc = 0;
    uint64_t cycles = 0;
    std::array<uint8_t, 256> iram{};
    std::array<uint8_t, 128> sfr{};  // index addr - 0x80
    std::vector<uint8_t> xdata;      // 0x0000..xdata_size-1
    double host_seconds = 0;         // ucsim only: its own CPU time for the run
};

// Steps the core until pc == stop (before executing it). False if max_steps
// instructions ran without getting there.
bool RunTo(Mcs51& core, uint16_t stop, uint64_t max_steps);

// Runs program (an .ihx path) on our core to the halt address.
bool RunCore(const std::string& ihx, std::size_t xdata_size, Snapshot* out, std::string* error,
             uint64_t* opcode_hits = nullptr);

// Runs program on ucsim to the halt address and parses the dumps.
bool RunUcsim(const std::string& s51, const std::string& ihx, std::size_t xdata_size, Snapshot* out,
              std::string* error);

// Parses the output of the ucsim command script that RunUcsim feeds.
bool ParseUcsimOutput(const std::string& text, std::size_t xdata_size, Snapshot* out,
                      std::string* error);

}  // namespace zsim::coretest
