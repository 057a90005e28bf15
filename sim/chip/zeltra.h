// The virtual Zeltra: an MCS-51 core with the chip's memories, boot actions,
// ROM routines and C2 debug interface. It has no clock of its own: whoever
// drives it (the virtual adapter, zeltra-sim) decides how many machine cycles
// pass.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "mcs51.h"
#include "nonvolatile.h"

namespace zsim {

struct ZeltraConfig {
    std::string serial = "VZ0001";  // seeds the factory trim
    std::string state_dir;          // empty: memories live in memory only
    uint16_t user_begin = zt::zeltra::kNvmUserDefaultBegin;
    bool vpp = true;
    uint8_t bpcount = 0xFF;  // the read-only byte at direct address 0xF2
    uint8_t family = zt::zeltra::kFamily;
    uint8_t revision = 0x02;
    uint8_t debug_version = 0x01;
    uint8_t derivative = zt::zeltra::kDerivative;
    uint32_t mtp_endurance = 1000;
};

// Fixed locations and registers.
constexpr uint8_t kSfrProt0Ctrl = zt::zeltra::kSfrProt0Ctrl;
constexpr uint8_t kSfrBootFlags = zt::zeltra::kSfrBootFlags;
constexpr uint16_t kXdataTrimMirror = zt::zeltra::kXdataTrimMirror;
constexpr uint16_t kXdataRevId = zt::zeltra::kXdataRevId;
constexpr uint16_t kXdataMtpWindow = zt::zeltra::kXdataMtpWindow;
constexpr uint16_t kRomNvmRead = zt::zeltra::kRomNvmRead;
constexpr uint16_t kRomNvmBurn = zt::zeltra::kRomNvmBurn;
constexpr uint16_t kRomMtpWrite = zt::zeltra::kRomMtpWrite;
constexpr uint16_t kRomMtpBase = zt::zeltra::kRomMtpBase;
constexpr uint8_t kC2PtControl = zt::zeltra::kC2PtControl;

// MtpWrite's result when the written cells could not be saved (1..3: wrong
// key, MTP disabled, worn out).
constexpr uint8_t kMtpStorage = 4;

// Boot flag bits (NVM 0x1FF1, SFR 0xDD).
enum : uint8_t {
    kFlagXoEarly = zt::zeltra::kBootFlagXoEarlyEnable,
    kFlagExeUserBoot = zt::zeltra::kBootFlagExeUserBoot,
    kFlagNvmDisable = zt::zeltra::kBootFlagNvmDisable,
    kFlagMtpDisable = zt::zeltra::kBootFlagMtpDisable,
    kFlagRamClear = zt::zeltra::kBootFlagRamClear,
    kFlagC2Disable = zt::zeltra::kBootFlagC2Disable,
};

// Machine cycles of 12 clocks at 24 MHz: 2 per microsecond.
constexpr uint64_t kCyclesPerSecond = 2000000;
constexpr uint64_t kCyclesPerBurnedByte = 100;  // 50 us

class Zeltra final : public Mcs51Bus {
  public:
    // Powers the chip up: memories from the state directory (or factory-fresh)
    // and the boot actions. The core then runs the copied boot image when the
    // exe-user-boot flag is set, and otherwise stays halted at 0x0000.
    static std::unique_ptr<Zeltra> Create(const ZeltraConfig& config, std::string* error);

    // Debug reset: boot actions, breakpoints disabled, core halted at 0x0000.
    void Reset();

    bool Halted() const { return halted_; }
    void Run();
    void Halt();
    // Executes one instruction (or ROM routine) of a halted core.
    void Step();
    // Runs a running core until its cycle counter reaches `until`, a
    // breakpoint halts it, or it halts otherwise. Idle time passes at once.
    void RunUntil(uint64_t until);
    uint64_t Cycles() const { return core_.cycles; }

    // Set by the debug reset from BOOT_FLAGS bit 6: the chip then answers no
    // debug command but reset.
    bool C2Disabled() const { return c2_disabled_; }
    // A hung core runs past its breakpoints.
    void SetHang(bool hang) { hang_ = hang; }
    void SetVpp(bool on) { config_.vpp = on; }
    bool Vpp() const { return config_.vpp; }

    // Debug views of a halted core.
    uint8_t DebugReadDirect(uint8_t addr);
    void DebugWriteDirect(uint8_t addr, uint8_t value);
    uint8_t DebugReadRam(uint8_t addr) const;
    void DebugWriteRam(uint8_t addr, uint8_t value);
    uint8_t CodeRead(uint16_t addr) const { return code_[addr]; }
    // False for the ROM (0x8000 and up).
    bool CodeWrite(uint16_t addr, uint8_t value);
    void CodeFill();  // code RAM to 0xFF
    // The two bytes (high first) that page CRC command answers for `page`.
    uint16_t PageCrc(uint8_t page);
    uint8_t C2Read(uint8_t reg) const { return c2_regs_[reg]; }
    void C2Write(uint8_t reg, uint8_t value);

    // Region CRCs.
    uint32_t TrimCrc() const;
    uint32_t UserCrc() const;
    uint32_t RomCrc() const;

    // Mcs51Bus: XDATA with its fixed locations, and the hooked SFRs.
    uint8_t XdataRead(uint16_t addr) override;
    void XdataWrite(uint16_t addr, uint8_t value) override;
    uint8_t SfrRead(uint8_t addr) override;
    void SfrWrite(uint8_t addr, uint8_t value) override;

    // Loads bytes into code RAM (the program loader of zeltra-sim).
    bool LoadCode(uint32_t addr, const uint8_t* data, size_t length);
    // Runs the core from its PC until it is about to execute stop_at (-1:
    // never) or its cycle counter reaches max_cycles; breakpoints play no
    // part. True when stop_at was reached. The core is left halted.
    bool RunTo(int stop_at, uint64_t max_cycles);

    Mcs51& Core() { return core_; }
    const Mcs51& Core() const { return core_; }
    NonVolatile& Memories() { return mem_; }
    const NonVolatile& Memories() const { return mem_; }
    const ZeltraConfig& Config() const { return config_; }
    const std::array<uint8_t, kMtpSize>& MtpLatch() const { return mtp_latch_; }
    uint8_t XdataRaw(uint16_t addr) const { return xram_[addr]; }

    // Why a ROM routine's save to the state directory failed, if one ever did: it
    // stays set, since the directory then misses a change for good.
    const std::string& StorageError() const { return storage_error_; }

  private:
    explicit Zeltra(const ZeltraConfig& config);
    void BootActions();
    // One instruction, or a whole ROM routine when the PC sits at an entry.
    void ExecuteOne();
    bool RunRomRoutine();
    void RomNvmRead();
    void RomNvmBurn();
    void RomMtpWrite();
    void LeaveIdle();
    void SyncShadowsIn();   // RAM 0x00..0x02 to the R0..R2 shadows
    void SyncShadowsOut();  // and back
    void RebuildBreakpoints();

    ZeltraConfig config_;
    NonVolatile mem_;
    std::array<uint8_t, 0x10000> code_{};
    std::array<uint8_t, 0x10000> xram_{};
    Mcs51 core_;

    bool halted_ = false;
    bool skip_break_ = false;  // a resumed core leaves its breakpoint address first
    bool hang_ = false;
    bool c2_disabled_ = false;
    bool nvm_disabled_ = false;
    bool mtp_disabled_ = false;
    bool boot_copied_ = false;
    uint8_t prot0_ = 0;
    uint8_t boot_flags_ = 0;
    std::array<uint8_t, kMtpSize> mtp_latch_{};
    uint8_t shadow_[3] = {};

    uint8_t bp_mask_ = 0;
    uint8_t bp_select_ = 0;
    uint16_t bp_addr_[8] = {};
    uint16_t bp_active_[8] = {};
    int bp_active_count_ = 0;

    uint8_t c2_regs_[256] = {};
    int last_region_ = 0;  // region named by the last CRC32 page request
    std::string storage_error_;
};

}  // namespace zsim
