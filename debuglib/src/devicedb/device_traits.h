// What the target operations do differently by family: one generated row per
// family code (device_tables.cpp), copied into the context with the record.
#pragma once

#include <cstdint>

namespace ordwin {

// The page argument of an SFR access that needs no page switch.
inline constexpr int kNoSfrPage = 256;

// Where a family's breakpoint or XDATA register addresses come from: its row
// (for XDATA the table shared with the virtual adapter, zt/xdata_registers.h,
// where a family without them keeps the previous ones), its description, or
// nowhere (kKept: those of the previous connection stay).
enum class RegisterSource : uint8_t { kRow, kDescription, kKept };

enum class XdataAccess : uint8_t { kXdataCommands, kAddressRegisters, kWindowCommands, kNone };

// Facts fixed by the family code alone; -1 marks a register the family lacks,
// kNoSfrPage a register outside the SFR paging.
struct FamilyTraits {
    int16_t sfrPageRegister = -1;
    // Breakpoints: the control register and its page, else one enable bit per
    // slot in the top of its high address byte (breakpointEnableBit).
    int16_t breakpointControl = -1;
    int16_t breakpointControlPage = kNoSfrPage;
    int16_t breakpointAddressPage = kNoSfrPage;
    bool breakpointEnableBit = true;
    bool breakpointsThroughC2 = false;  // written as C2 registers on the page
    bool breakpointBankBits = false;    // control bits 4..7: slot address in bank 2 or 3
    // Select register of the slot; the address low and high registers follow it.
    int16_t breakpointSelect = -1;
    RegisterSource breakpointRegisterSource = RegisterSource::kRow;
    uint8_t breakpointCount = 4;  // 0: the target reports it
    // XDATA access; xdataWorkRamVersion is the debug logic version whose XDATA
    // commands use RAM 6..7 as work space (-1: none).
    XdataAccess xdataAccess = XdataAccess::kNone;
    int16_t xdataPage = 1;
    int16_t xdataWorkRamVersion = -1;
    RegisterSource xdataRegisterSource = RegisterSource::kRow;
    // Halt: bit 4 of this register is the JTAG status flag.
    uint8_t haltStatusRegister = 0x97;
    int haltedUsbTimeoutMs = 5000;
    // Code memory.
    int codeEraseMs = 2500;             // longest user-code erase
    bool pageCrc = true;                // pages checked by CRC rather than by reading
    bool pageCrc32 = false;             // CRC-32 over 1 KiB blocks instead of CRC-16
    bool pageCrcWhenWriteOnce = false;  // a write-once family still checked by CRC
    bool pagedWriteStatus = false;      // the write status register sits on page 1
    uint8_t hexBanks = 0;               // banks a hex file's upper half may load into
    bool resetRegisterSetup = false;    // clock registers set up after every reset
    uint32_t secondEraseEnd = 0;        // end of a second erase below the reserved top
    // Identity.
    bool accepted = true;
    bool acceptsListedDerivativesOnly = false;
    // External RAM of every derivative, unless it differs by derivative.
    uint32_t externalRamSize = 0x10000;
    bool xramByDerivative = false;
};

// The context's traits: the family's facts plus the register addresses set
// with the record. A register the build does not set for a family keeps its
// value, which before the first connection is the common one of the newer
// families.
struct DeviceTraits : FamilyTraits {
    bool writeOnce = false;
    int massEraseScale = 6;
    // Debug core, in the direct register space: PC low byte (high byte next),
    // and where R0, R1, R2 sit while the core is halted.
    uint8_t pcRegister = 0x20;
    uint8_t haltedRegisters[3] = {0x24, 0x25, 0x26};
    // Low-address register of breakpoint slots 0 to 3 (the high one is next).
    uint8_t breakpointRegisters[4] = {0x85, 0xAB, 0xCE, 0xD2};
    // XDATA access registers.
    uint8_t xadrh = 0xC7;
    uint8_t xadrl = 0xAD;
    uint8_t xdata = 0x84;
};

}  // namespace ordwin
