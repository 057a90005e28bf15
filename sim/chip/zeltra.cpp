#include "zeltra.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "zt/crc.h"

namespace zsim {
namespace {

constexpr uint8_t kOpRet = 0x22;

uint16_t GetBe16(const uint8_t* p) {
    return uint16_t(p[0] << 8 | p[1]);
}
uint32_t GetBe32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

}  // namespace

Zeltra::Zeltra(const ZeltraConfig& config) : config_(config), core_(*this, code_.data()) {}

std::unique_ptr<Zeltra> Zeltra::Create(const ZeltraConfig& config, std::string* error) {
    std::string scratch;
    if (!error) error = &scratch;
    if (config.user_begin < zt::zeltra::kNvmUserMinBegin || config.user_begin >= kNvmUserEnd) {
        *error = "user_begin must lie in 0x014C..0x1FEF";
        return nullptr;
    }
    std::unique_ptr<Zeltra> chip(new Zeltra(config));
    if (!chip->mem_.Open(config.state_dir, config.serial, error)) return nullptr;
    chip->code_.fill(0xFF);
    for (uint16_t entry : {kRomNvmRead, kRomNvmBurn, kRomMtpWrite, kRomMtpBase}) {
        chip->code_[entry] = kOpRet;
    }
    for (uint8_t sfr : {kSfrProt0Ctrl, kSfrBootFlags}) chip->core_.HookSfr(sfr, true);
    for (uint8_t sfr = zt::zeltra::kBreakpointMask; sfr <= zt::zeltra::kBreakpointAddressHigh;
         ++sfr)
        chip->core_.HookSfr(sfr, true);
    chip->core_.Reset();
    chip->BootActions();
    // At power-up the core starts the copied boot image when told to; a chip
    // with nothing to execute waits halted at 0x0000 for the debugger.
    chip->halted_ = !(chip->boot_copied_ && (chip->boot_flags_ & kFlagExeUserBoot));
    chip->SyncShadowsIn();
    return chip;
}

void Zeltra::BootActions() {
    const auto& nvm = mem_.nvm;
    uint8_t state = nvm[kNvmBootState];
    uint8_t flags = nvm[kNvmBootFlags];
    prot0_ = uint8_t((state & 7) | (flags & kFlagC2Disable));
    boot_flags_ = flags;
    nvm_disabled_ = flags & kFlagNvmDisable;
    mtp_disabled_ = flags & kFlagMtpDisable;
    c2_disabled_ = flags & kFlagC2Disable;

    if (flags & kFlagRamClear) std::fill(xram_.begin(), xram_.begin() + 0x1000, 0);
    std::copy(nvm.begin(), nvm.begin() + 0xF0, xram_.begin() + kXdataTrimMirror);

    const uint16_t ub = config_.user_begin;
    bool user_or_run = (state & 7) == 3 || (state & 7) == 7;
    uint16_t copy_addr = 0;
    bool copied = false;
    if (user_or_run) {
        // A length past the user region or code RAM is cut there.
        size_t length = GetBe16(&nvm[kNvmBootLength]);
        length = std::min<size_t>({length, size_t(kNvmUserEnd - ub), 0x8000});
        std::copy(nvm.begin() + ub, nvm.begin() + ub + length, code_.begin());
        copy_addr = ub;
        copied = length > 0;
    }
    auto putBe16 = [this](uint16_t addr, uint16_t v) {
        xram_[addr] = uint8_t(v >> 8);
        xram_[addr + 1] = uint8_t(v);
    };
    putBe16(zt::zeltra::kXdataBootDpramTrimBeg, kXdataTrimMirror);
    putBe16(zt::zeltra::kXdataBootNvmUserBeg, ub);
    putBe16(zt::zeltra::kXdataBootNvmCopyAddr, copy_addr);
    uint8_t stat = 0;
    if (TrimCrc() == GetBe32(&nvm[kNvmTrimCrc])) stat |= 1;
    if (copied) stat |= 2;
    if (UserCrc() == GetBe32(&nvm[kNvmUserCrc])) stat |= 4;
    xram_[zt::zeltra::kXdataBootStat] = stat;
    boot_copied_ = copied;

    mtp_latch_ = mem_.mtp;
}

void Zeltra::Reset() {
    core_.Reset();
    core_.idle = false;
    BootActions();
    bp_mask_ = 0;
    RebuildBreakpoints();
    halted_ = true;
    skip_break_ = false;
    SyncShadowsIn();
}

void Zeltra::SyncShadowsIn() {
    std::memcpy(shadow_, core_.iram, 3);
}
void Zeltra::SyncShadowsOut() {
    std::memcpy(core_.iram, shadow_, 3);
}

// A core leaves idle mode with the bit that entered it cleared, as the hardware
// does; left set, the next program that writes PCON back to itself would idle.
void Zeltra::LeaveIdle() {
    if (core_.idle) core_.sfr[Mcs51::PCON - 0x80] &= uint8_t(~1u);
    core_.idle = false;
}

void Zeltra::Run() {
    LeaveIdle();
    if (!halted_) return;
    SyncShadowsOut();
    halted_ = false;
    skip_break_ = true;
}

void Zeltra::Halt() {
    LeaveIdle();
    if (halted_) return;
    halted_ = true;
    SyncShadowsIn();
}

void Zeltra::Step() {
    if (!halted_) return;
    LeaveIdle();
    SyncShadowsOut();
    ExecuteOne();
    core_.idle = false;
    SyncShadowsIn();
}

void Zeltra::ExecuteOne() {
    if (core_.pc >= kRomNvmRead && RunRomRoutine()) return;
    core_.Step();
}

void Zeltra::RunUntil(uint64_t until) {
    while (!halted_ && core_.cycles < until) {
        if (!skip_break_ && !hang_) {
            const uint16_t pc = core_.pc;
            for (int i = 0; i < bp_active_count_; ++i) {
                if (bp_active_[i] == pc) {
                    Halt();
                    return;
                }
            }
        }
        skip_break_ = false;
        if (core_.idle) {
            core_.cycles = until;
            return;
        }
        ExecuteOne();
    }
}

bool Zeltra::RunTo(int stop_at, uint64_t max_cycles) {
    Run();
    bool reached = false;
    while (true) {
        if (core_.pc == stop_at) {
            reached = true;
            break;
        }
        if (core_.cycles >= max_cycles) break;
        if (core_.idle) {
            core_.cycles = max_cycles;  // nothing wakes an idle core here
            break;
        }
        ExecuteOne();
    }
    Halt();
    return reached;
}

void Zeltra::RebuildBreakpoints() {
    bp_active_count_ = 0;
    int slots = zt::zeltra::BreakpointSlots(config_.bpcount);
    for (int i = 0; i < slots; ++i) {
        if (bp_mask_ & (1u << i)) bp_active_[bp_active_count_++] = bp_addr_[i];
    }
}

uint8_t Zeltra::DebugReadDirect(uint8_t addr) {
    switch (addr) {
        case zt::zeltra::kDebugPcLow:
            return uint8_t(core_.pc);
        case zt::zeltra::kDebugPcLow + 1:
            return uint8_t(core_.pc >> 8);
        case zt::zeltra::kDebugHaltedR0:
        case zt::zeltra::kDebugHaltedR0 + 1:
        case zt::zeltra::kDebugHaltedR0 + 2:
            return shadow_[addr - zt::zeltra::kDebugHaltedR0];
        case zt::zeltra::kBreakpointMask:
            return bp_mask_;
        case zt::zeltra::kBreakpointCount:
            return config_.bpcount;
        case zt::zeltra::kBreakpointSelect:
            return bp_select_;
        case zt::zeltra::kBreakpointAddressLow:
            return uint8_t(bp_addr_[bp_select_]);
        case zt::zeltra::kBreakpointAddressHigh:
            return uint8_t(bp_addr_[bp_select_] >> 8);
        default:
            break;
    }
    if (addr < 0x80) return core_.iram[addr];
    return core_.ReadDirect(addr);
}

void Zeltra::DebugWriteDirect(uint8_t addr, uint8_t value) {
    switch (addr) {
        case zt::zeltra::kDebugPcLow:
            core_.pc = uint16_t((core_.pc & 0xFF00) | value);
            return;
        case zt::zeltra::kDebugPcLow + 1:
            core_.pc = uint16_t((core_.pc & 0x00FF) | value << 8);
            return;
        case zt::zeltra::kDebugHaltedR0:
        case zt::zeltra::kDebugHaltedR0 + 1:
        case zt::zeltra::kDebugHaltedR0 + 2:
            shadow_[addr - zt::zeltra::kDebugHaltedR0] = value;
            return;
        case zt::zeltra::kBreakpointMask:
            bp_mask_ = value;
            RebuildBreakpoints();
            return;
        case zt::zeltra::kBreakpointCount:
            return;  // read-only
        case zt::zeltra::kBreakpointSelect:
            bp_select_ = value & 7;
            return;
        case zt::zeltra::kBreakpointAddressLow:
            bp_addr_[bp_select_] = uint16_t((bp_addr_[bp_select_] & 0xFF00) | value);
            RebuildBreakpoints();
            return;
        case zt::zeltra::kBreakpointAddressHigh:
            bp_addr_[bp_select_] = uint16_t((bp_addr_[bp_select_] & 0x00FF) | value << 8);
            RebuildBreakpoints();
            return;
        default:
            break;
    }
    if (addr < 0x80) {
        core_.iram[addr] = value;
        return;
    }
    core_.WriteDirect(addr, value);
}

uint8_t Zeltra::DebugReadRam(uint8_t addr) const {
    // The debug monitor owns RAM 0x00..0x02 while the core is halted.
    if (addr < 3 && halted_) return 0xA5;
    return core_.iram[addr];
}

void Zeltra::DebugWriteRam(uint8_t addr, uint8_t value) {
    if (addr < 3 && halted_) return;
    core_.iram[addr] = value;
}

bool Zeltra::CodeWrite(uint16_t addr, uint8_t value) {
    if (addr >= 0x8000) return false;
    code_[addr] = value;
    return true;
}

bool Zeltra::LoadCode(uint32_t addr, const uint8_t* data, size_t length) {
    if (addr > 0x8000 || length > 0x8000 - addr) return false;
    std::memcpy(&code_[addr], data, length);
    return true;
}

void Zeltra::CodeFill() {
    std::fill(code_.begin(), code_.begin() + 0x8000, 0xFF);
}

uint32_t Zeltra::TrimCrc() const {
    return zt::Crc32(mem_.nvm.data(), kNvmTrimEnd);
}
uint32_t Zeltra::UserCrc() const {
    return zt::Crc32(mem_.nvm.data() + config_.user_begin, kNvmUserEnd - config_.user_begin);
}
uint32_t Zeltra::RomCrc() const {
    return zt::Crc32(code_.data() + zt::zeltra::kCodeRamEnd, zt::zeltra::kRomSize);
}

uint16_t Zeltra::PageCrc(uint8_t page) {
    switch (page) {
        case zt::zeltra::kPageCrcLowHalf: {
            uint32_t crc = 0;
            if (last_region_ == zt::zeltra::kPageCrcTrim) crc = TrimCrc();
            if (last_region_ == zt::zeltra::kPageCrcUser) crc = UserCrc();
            if (last_region_ == zt::zeltra::kPageCrcRom) crc = RomCrc();
            return uint16_t(crc);
        }
        case zt::zeltra::kPageCrcTrim:
            last_region_ = page;
            return uint16_t(TrimCrc() >> 16);
        case zt::zeltra::kPageCrcUser:
            last_region_ = page;
            return uint16_t(UserCrc() >> 16);
        case zt::zeltra::kPageCrcRom:
            last_region_ = page;
            return uint16_t(RomCrc() >> 16);
        case 0xFC:
        case 0xFD:
        case 0xFE:
        case 0xFF:
            last_region_ = 0;
            return 0;
        default:
            // Pages of code space, 256 bytes each (0x80 and up are ROM).
            last_region_ = 0;
            return zt::Crc16Xmodem(code_.data() + page * 256, 256);
    }
}

void Zeltra::C2Write(uint8_t reg, uint8_t value) {
    c2_regs_[reg] = value;
    if (reg == kC2PtControl && value == zt::zeltra::kPtCopy) {
        using zt::zeltra::kPtTrimCrc, zt::zeltra::kPtUserCrc;
        const auto& nvm = mem_.nvm;
        uint8_t* pt = &core_.iram[zt::zeltra::kIramPtBlock];
        std::copy(nvm.begin() + kNvmPtData, nvm.begin() + kNvmPtData + kPtUserCrc, pt);
        std::copy(nvm.begin() + kNvmUserCrc, nvm.begin() + kNvmUserCrc + 4, pt + kPtUserCrc);
        std::copy(nvm.begin() + kNvmTrimCrc, nvm.begin() + kNvmTrimCrc + 4, pt + kPtTrimCrc);
    }
}

uint8_t Zeltra::XdataRead(uint16_t addr) {
    if (addr == kXdataRevId) return config_.revision;
    if (addr >= kXdataMtpWindow && addr < kXdataMtpWindow + kMtpSize) {
        return mtp_latch_[addr - kXdataMtpWindow];
    }
    if (addr >= 0x4050 && addr <= 0x405F) return 0;
    return xram_[addr];
}

void Zeltra::XdataWrite(uint16_t addr, uint8_t value) {
    if (addr == kXdataRevId || (addr >= 0x4050 && addr <= 0x405F)) return;
    if (addr >= kXdataMtpWindow && addr < kXdataMtpWindow + kMtpSize) {
        mtp_latch_[addr - kXdataMtpWindow] = value;
        return;
    }
    xram_[addr] = value;
}

uint8_t Zeltra::SfrRead(uint8_t addr) {
    if (addr == kSfrProt0Ctrl) return prot0_;
    if (addr == kSfrBootFlags) return boot_flags_;
    return 0;  // debug registers read as 0 by the core's own code
}

void Zeltra::SfrWrite(uint8_t, uint8_t) {}

bool Zeltra::RunRomRoutine() {
    switch (core_.pc) {
        case kRomNvmRead:
            RomNvmRead();
            break;
        case kRomNvmBurn:
            RomNvmBurn();
            break;
        case kRomMtpWrite:
            RomMtpWrite();
            break;
        case kRomMtpBase:
            core_.SetReg(6, uint8_t(kXdataMtpWindow >> 8));
            core_.SetReg(7, uint8_t(kXdataMtpWindow));
            break;
        default:
            return false;
    }
    core_.Ret();
    core_.cycles += 2;
    return true;
}

void Zeltra::RomNvmRead() {
    uint32_t src = uint32_t(core_.Reg(6)) << 8 | core_.Reg(7);
    int count = core_.Reg(5) ? core_.Reg(5) : 256;
    if (src + count > uint32_t(kNvmSize)) {
        core_.SetReg(7, 4);
        return;
    }
    uint16_t dst = core_.Dptr();
    for (int i = 0; i < count; ++i) XdataWrite(uint16_t(dst + i), mem_.nvm[src + i]);
    core_.cycles += uint64_t(count) * 2;
    core_.SetReg(7, 0);
}

void Zeltra::RomNvmBurn() {
    uint32_t dest = uint32_t(core_.Reg(6)) << 8 | core_.Reg(7);
    int count = core_.Reg(5) ? core_.Reg(5) : 256;
    bool logic_or = core_.Reg(4) & 1;
    uint8_t src[256];
    uint16_t from = core_.Dptr();
    for (int i = 0; i < count; ++i) src[i] = XdataRead(uint16_t(from + i));
    uint32_t begin = nvm_disabled_ ? uint32_t(kNvmSize) : config_.user_begin;
    const std::array<uint8_t, kNvmSize> before = mem_.nvm;
    BurnOutcome r =
        BurnNvm(mem_.nvm.data(), dest, src, count, logic_or, begin, kNvmSize, config_.vpp);
    // Every byte of an accepted block is burned, changed or not; a refused block burns nothing.
    if (r.code == kBurnOk) core_.cycles += uint64_t(count) * kCyclesPerBurnedByte;
    if (r.burned > 0 && !mem_.SaveNvm(&storage_error_)) {
        // Bytes that never reached the disk are not burned: the burner reports it.
        std::fprintf(stderr, "zeltra: %s\n", storage_error_.c_str());
        mem_.nvm = before;
        r.code = kBurnStorage;
        r.fail_address = uint16_t(dest);
    }
    core_.SetReg(7, r.code);
    core_.SetReg(2, r.code ? uint8_t(r.fail_address >> 8) : 0);
    core_.SetReg(3, r.code ? uint8_t(r.fail_address) : 0);
}

void Zeltra::RomMtpWrite() {
    uint8_t result = 0;
    if (core_.Reg(7) != zt::zeltra::kMtpWriteKey) {
        result = 1;
    } else if (mtp_disabled_) {
        result = 2;
    } else if (mem_.mtp_writes >= config_.mtp_endurance) {
        result = 3;
    }
    if (result == 0) {
        const std::array<uint8_t, kMtpSize> cells = mem_.mtp;
        mem_.mtp = mtp_latch_;
        ++mem_.mtp_writes;
        core_.cycles += kMtpSize * kCyclesPerBurnedByte;
        if (!mem_.SaveMtp(&storage_error_)) {
            // As for a burn: what could not be saved was not written.
            std::fprintf(stderr, "zeltra: %s\n", storage_error_.c_str());
            mem_.mtp = cells;
            --mem_.mtp_writes;
            result = kMtpStorage;
        }
    }
    if (result != 0) mtp_latch_ = mem_.mtp;
    core_.SetReg(7, result);
}

}  // namespace zsim
