// MCS-51 core: the instruction set with classic machine-cycle counts.
//
// The core keeps internal RAM and the SFR file itself and reads code through
// a flat 64 KiB pointer, so the hot path has no virtual calls. XDATA and the
// SFRs a chip marks as hooked go through Mcs51Bus.
//
// Opcode 0xA5 is reserved on the MCS-51; it executes here as a 1-cycle NOP.
// The port latches P0..P3 always live in sfr[]: writes store the latch (and
// reach the bus too when hooked), and read-modify-write instructions read the
// latch, while plain reads of a hooked port go to the bus (the pins).
#pragma once

#include <cstdint>

namespace zsim {

class Mcs51Bus {
  public:
    virtual ~Mcs51Bus() = default;
    virtual uint8_t XdataRead(uint16_t addr) = 0;
    virtual void XdataWrite(uint16_t addr, uint8_t value) = 0;
    // Only called for SFR addresses hooked with Mcs51::HookSfr.
    virtual uint8_t SfrRead(uint8_t addr) = 0;
    virtual void SfrWrite(uint8_t addr, uint8_t value) = 0;
};

class Mcs51 {
  public:
    // SFR addresses of the core.
    enum : uint8_t {
        P0 = 0x80,
        SP = 0x81,
        DPL = 0x82,
        DPH = 0x83,
        PCON = 0x87,
        TCON = 0x88,
        TMOD = 0x89,
        P1 = 0x90,
        SCON = 0x98,
        SBUF = 0x99,
        P2 = 0xA0,
        IE = 0xA8,
        P3 = 0xB0,
        IP = 0xB8,
        PSW = 0xD0,
        ACC = 0xE0,
        B = 0xF0,
    };

    // code must point at 65536 bytes and outlive the core.
    Mcs51(Mcs51Bus& bus, const uint8_t* code);

    // Power-on/reset values: PC 0, SP 7, P0..P3 0xFF, other SFRs 0. Internal RAM is kept.
    void Reset();

    // Executes one instruction and returns its machine cycles (12 clocks each).
    // In idle mode nothing is executed and 1 is returned.
    int Step();

    // Routes reads and writes of one SFR (0x80..0xFF) through the bus.
    void HookSfr(uint8_t addr, bool hooked);

    // Direct-address access exactly as an instruction performs it
    // (0x00..0x7F internal RAM, 0x80..0xFF SFRs, hooks included).
    uint8_t ReadDirect(uint8_t addr);
    void WriteDirect(uint8_t addr, uint8_t value);

    // PSW as the core reads it (P is the parity of A).
    uint8_t Psw() const;
    uint8_t Reg(int n) const;  // R0..R7 of the selected bank
    void SetReg(int n, uint8_t value);
    uint16_t Dptr() const { return uint16_t(sfr[DPH - 0x80] << 8 | sfr[DPL - 0x80]); }
    // Plain SFR storage; an address below 0x80 is taken modulo 0x80, never out of bounds.
    uint8_t Sfr(uint8_t addr) const { return sfr[addr & 0x7F]; }
    void SetSfr(uint8_t addr, uint8_t value) { sfr[addr & 0x7F] = value; }

    // Pops a 16-bit return address into PC, as RET does.
    void Ret();

    uint8_t iram[256] = {};
    uint8_t sfr[128] = {};  // plain storage of the SFR file, index addr - 0x80
    uint16_t pc = 0;
    uint64_t cycles = 0;  // machine cycles executed since construction
    bool idle = false;    // PCON bit 0 was set; cleared by Reset or by the chip

    // Per-opcode execution counts (256 entries), filled only by the zsim_core_hits
    // build of the core; the normal build never touches it, so it costs nothing.
    uint64_t* opcode_hits = nullptr;

  private:
    uint8_t ReadLatch(uint8_t addr);  // read half of a read-modify-write
    uint8_t ReadBit(uint8_t bit);
    uint8_t ReadBitLatch(uint8_t bit);
    void WriteBit(uint8_t bit, bool value);
    void Push(uint8_t value);
    uint8_t Pop();

    Mcs51Bus& bus_;
    const uint8_t* code_;
    bool hooked_[128] = {};
};

}  // namespace zsim
