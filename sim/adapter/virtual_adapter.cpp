#include "virtual_adapter.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "adapter_firmware.h"
#include "chip/number_text.h"
#include "chip/zeltra.h"
#include "zt/adapter_protocol.h"
#include "zt/serial_protocol.h"
#include "zt/xdata_registers.h"

namespace zsim {
namespace {

namespace wire = zt::adapter;

using Clock = std::chrono::steady_clock;

constexpr uint8_t kStOk = wire::kStatusOk;
constexpr uint8_t kStNotHalted = wire::kStatusNotHalted;
constexpr uint8_t kStFailed = wire::kStatusFailed;
constexpr uint8_t kStFlash = wire::kStatusFlash;
constexpr uint8_t kStNoTarget = wire::kStatusNoTarget;

// Real speed runs at most this much chip time per interaction, so a host that
// went quiet for long does not cost a burst of simulation.
constexpr uint64_t kMaxCyclesPerInteraction = 2 * kCyclesPerSecond;
// Fast speed: a status or memory request of a running chip first runs it
// until it halts or this many cycles (25 s of chip time) have passed.
constexpr uint64_t kFastBudget = 50000000;

constexpr uint8_t kPowerValue = 0x5F;

bool ParseHexByte(std::string text, uint8_t* out) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text = text.substr(2);
    }
    uint64_t v;
    if (text.empty() || text.size() > 2 || !ParseNumberText("0x" + text, 0xFF, &v)) return false;
    *out = uint8_t(v);
    return true;
}

enum class FaultKind { kDrop, kShort, kStatus, kUnplug, kNoPower, kHang, kExtra, kLate };

struct Fault {
    FaultKind kind;
    uint64_t at;  // 1-based exchange number; 0 = every exchange
};

bool ParseFaults(const std::string& text, std::vector<Fault>* faults, std::string* error) {
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t plus = text.find('+', pos);
        std::string item =
            text.substr(pos, plus == std::string::npos ? std::string::npos : plus - pos);
        std::string kind = item;
        uint64_t at = 0;
        size_t atpos = item.find('@');
        if (atpos != std::string::npos) {
            kind = item.substr(0, atpos);
            if (!ParseNumberText(item.substr(atpos + 1), 1u << 30, &at) || at == 0) {
                *error = "bad fault count in \"" + item + "\" (KIND@N with N from 1)";
                return false;
            }
        }
        static const std::pair<const char*, FaultKind> kKinds[] = {
            {"drop", FaultKind::kDrop},       {"short", FaultKind::kShort},
            {"status", FaultKind::kStatus},   {"unplug", FaultKind::kUnplug},
            {"nopower", FaultKind::kNoPower}, {"hang", FaultKind::kHang},
            {"extra", FaultKind::kExtra},     {"late", FaultKind::kLate}};
        bool found = false;
        for (const auto& [name, k] : kKinds) {
            if (kind == name) {
                faults->push_back({k, at});
                found = true;
            }
        }
        if (!found) {
            *error =
                "unknown fault \"" + item +
                "\" (drop, short, status, unplug, nopower, hang, late or extra, optionally @N)";
            return false;
        }
        if (plus == std::string::npos) break;
        pos = plus + 1;
    }
    return true;
}

struct Settings {
    bool serial = false;
    uint16_t pid = wire::kProductUsb;
    std::optional<uint8_t> mode;
    std::optional<uint8_t> fw;
    bool attached = true;
    bool speed_max = false;
    bool poses_as_real = false;
    uint32_t latency_us = 0;
    uint64_t run_cycles = kFastBudget;
    std::vector<Fault> faults;
    ZeltraConfig chip;
};

// The firmware version an adapter of this kind ships with (the one the
// library expects of it).
uint8_t DefaultVersion(bool serial, uint16_t pid, uint8_t mode) {
    if (serial) return zt::serial::kFirmwareVersion;
    return uint8_t(wire::UsbFirmwareFor(pid, mode).version);
}

struct Reply {
    std::vector<uint8_t> bytes;
    int length = 64;
    size_t size = 0;  // bytes the adapter answered
    bool target_data = false;
    bool shortened = false;
    bool extra = false;
    // A late reply is there only after one read has given up on it.
    bool late = false;
};

class ZeltraAdapter final : public VirtualAdapter {
  public:
    ZeltraAdapter(std::string serial, Settings s, std::unique_ptr<Zeltra> chip,
                  std::string chip_error)
        : serial_(std::move(serial)),
          s_(std::move(s)),
          chip_(std::move(chip)),
          chip_error_(std::move(chip_error)) {
        small_ = wire::IsSmallAdapter(s_.pid);
        const uint8_t default_mode = s_.serial ? zt::serial::kFirmwareMode : (small_ ? 1 : 2);
        mode_ = s_.mode ? *s_.mode : default_mode;
        version_ = s_.fw ? *s_.fw : DefaultVersion(s_.serial, s_.pid, mode_);
        flash_.fill(0xFF);
        for (int page : wire::kPowerValuePages)
            flash_[page * kFirmwarePageSize + kFirmwarePageSize - 1] = kPowerValue;
        last_ = Clock::now();
    }

    const std::string& Serial() const override { return serial_; }
    uint16_t ProductId() const override { return s_.pid; }
    bool PosesAsReal() const override { return s_.poses_as_real; }
    bool RealSpeed() const override { return !s_.speed_max; }
    bool Present() const override {
        std::lock_guard<std::mutex> lock(mu_);
        return present_;
    }

    bool Open(std::string* error) override {
        std::lock_guard<std::mutex> lock(mu_);
        if (!chip_error_.empty()) {
            std::string why;
            chip_ = Zeltra::Create(s_.chip, &why);
            chip_error_ = chip_ ? "" : why.empty() ? "the chip cannot be brought up" : why;
            if (!chip_) {
                if (error) *error = chip_error_;
                return false;
            }
        }
        open_ = true;
        replies_.clear();
        raw_remaining_ = 0;
        last_ = Clock::now();
        return true;
    }

    void Close() override {
        std::lock_guard<std::mutex> lock(mu_);
        open_ = false;
        replies_.clear();
        raw_remaining_ = 0;
    }

    bool Write(const uint8_t* data, int length) override {
        std::lock_guard<std::mutex> lock(mu_);
        if (!data || length < 1 || length > 64) return false;
        if (!BeginExchange()) return false;
        bool drop = OneShot(FaultKind::kDrop);
        bool shorten = OneShot(FaultKind::kShort);
        std::optional<std::vector<uint8_t>> reply;
        const bool raw = raw_remaining_ > 0;
        if (OneShot(FaultKind::kStatus)) {
            reply = std::vector<uint8_t>{kStFailed};
        } else if (raw) {
            reply = RawData(data, length);
        } else {
            reply = Dispatch(data, length);
        }
        if (!reply || drop) return true;
        Reply r;
        r.bytes = std::move(*reply);
        r.size = r.bytes.size();
        r.target_data = !raw && data[0] > wire::kFirmwareLastOp && wire::HasDataReply(data[0]);
        r.shortened = shorten;
        r.extra = OneShot(FaultKind::kExtra);
        r.late = OneShot(FaultKind::kLate);
        r.bytes.resize(64, 0);
        r.length = shorten ? 16 : 64;
        replies_.push_back(std::move(r));
        return true;
    }

    ReadResult Read(uint8_t report[64], int* length) override {
        std::lock_guard<std::mutex> lock(mu_);
        std::memset(report, 0, 64);
        *length = 0;
        if (!present_) return ReadResult::kGone;
        if (!open_ || replies_.empty()) return ReadResult::kNoReply;
        if (replies_.front().late) {
            // It arrives just after this read's time-out.
            replies_.front().late = false;
            return ReadResult::kNoReply;
        }
        Reply r = std::move(replies_.front());
        replies_.pop_front();
        std::memcpy(report, r.bytes.data(), 64);
        *length = r.length;
        return ReadResult::kReport;
    }

    int Drain() override {
        std::lock_guard<std::mutex> lock(mu_);
        // By the time the host sends again, even a late reply has come.
        const int n = int(replies_.size());
        replies_.clear();
        return n;
    }

    void PassTime(int milliseconds) override {
        if (milliseconds <= 0) return;
        {
            std::lock_guard<std::mutex> lock(mu_);
            waited_us_ += uint64_t(milliseconds) * 1000;
            // The chip runs through the pause when the host next comes.
            if (s_.speed_max) {
                owed_us_ += uint64_t(milliseconds) * 1000;
                return;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }

    uint64_t WaitedUs() const override {
        std::lock_guard<std::mutex> lock(mu_);
        return waited_us_;
    }

    ReadResult TakeReply(StreamReply* reply) override {
        std::lock_guard<std::mutex> lock(mu_);
        *reply = StreamReply{};
        if (!present_) return ReadResult::kGone;
        if (!open_ || replies_.empty()) return ReadResult::kNoReply;
        Reply r = std::move(replies_.front());
        replies_.pop_front();
        reply->bytes.assign(r.bytes.begin(), r.bytes.begin() + long(r.size));
        reply->target_data = r.target_data;
        reply->shortened = r.shortened;
        reply->extra = r.extra;
        return ReadResult::kReport;
    }

    int RawBytesPending() const override {
        std::lock_guard<std::mutex> lock(mu_);
        return raw_remaining_;
    }

    bool Reset(bool) override {
        std::lock_guard<std::mutex> lock(mu_);
        if (!present_) return false;
        // The adapter reboots into whatever its flash now holds.
        replies_.clear();
        raw_remaining_ = 0;
        page_selected_ = false;
        prepared_ = false;
        controls_[2] = 0;
        return true;
    }

    bool SetControl(int id, int value) override {
        std::lock_guard<std::mutex> lock(mu_);
        if (!BeginExchange() || ControlFault()) return false;
        if (id < wire::kControlReset || id > wire::kControlVersion || value < 0 || value > 0xFF)
            return false;
        controls_[id - wire::kControlReset] = uint8_t(value);
        if (id == wire::kControlReset) controls_[2] = 0;  // reset request: the adapter restarts
        if (id == wire::kControlVersionRequest && value == 0)
            controls_[2] = 1;  // version query: ready
        return true;
    }

    bool GetControl(int id, uint8_t* value) override {
        std::lock_guard<std::mutex> lock(mu_);
        if (!BeginExchange() || ControlFault()) return false;
        if (!value || id < wire::kControlReset || id > wire::kControlVersion) return false;
        switch (id) {
            case wire::kControlMode:
                *value = mode_;
                break;
            case wire::kControlVersion:
                *value = version_;
                break;
            default:
                *value = controls_[id - wire::kControlReset];
                break;
        }
        return true;
    }

    bool SetFeature(const uint8_t* report, int length) override {
        std::lock_guard<std::mutex> lock(mu_);
        if (!BeginExchange() || ControlFault()) return false;
        if (!report || length < 1 || length > 64) return false;
        auto byte = [&](int i) { return i < length ? report[i] : uint8_t(0); };
        switch (report[0]) {
            case wire::kReportPinMode:
                if (byte(1) > 4 || byte(2) > 3 || byte(3) > 1) return false;
                pin_mode_[0] = byte(1);
                pin_mode_[1] = byte(2);
                pin_mode_[2] = byte(3);
                return true;
            case wire::kReportPinLatch:
                latch_ = byte(1) & 7;
                return true;
            case wire::kReportSetPinLatch: {
                uint8_t mask = byte(1) & 7;
                latch_ = uint8_t((latch_ & ~mask) | (byte(2) & mask));
                return true;
            }
            default:
                return false;
        }
    }

    bool GetFeature(uint8_t* report, int length) override {
        std::lock_guard<std::mutex> lock(mu_);
        if (!BeginExchange() || ControlFault()) return false;
        if (!report || length < 1 || length > 64) return false;
        uint8_t id = report[0];
        uint8_t out[5] = {id, 0, 0, 0, 0};
        switch (id) {
            case wire::kReportPinMode:
                std::memcpy(out + 1, pin_mode_, 3);
                break;
            case wire::kReportPinLatch:
            case wire::kReportSetPinLatch:
                out[1] = latch_;
                break;
            default:
                return false;
        }
        std::memset(report, 0, length);
        std::memcpy(report, out, std::min(length, 5));
        return true;
    }

  private:
    // Counts one report exchange and applies the faults that begin with it.
    bool BeginExchange() {
        if (!present_ || !open_) return false;
        ++exchange_;
        for (const Fault& f : s_.faults) {
            if (f.at != 0 && f.at != exchange_) continue;
            if (f.kind == FaultKind::kUnplug) present_ = false;
            if (f.kind == FaultKind::kNoPower) no_power_ = true;
            if (f.kind == FaultKind::kHang && chip_) chip_->SetHang(true);
        }
        if (!present_) {
            replies_.clear();
            return false;
        }
        if (s_.latency_us > 0) WaitForFrame();
        return true;
    }

    // Sleeps until an absolute deadline on the frame grid, so a late wake-up
    // is taken out of the next wait instead of adding up.
    void WaitForFrame() {
        const std::chrono::microseconds frame(s_.latency_us);
        const Clock::time_point now = Clock::now();
        if (!frame_started_) {
            frame_origin_ = now;
            frame_end_ = now;
            frame_started_ = true;
        }
        Clock::time_point deadline = frame_end_ + frame;
        if (deadline < now) deadline = frame_origin_ + ((now - frame_origin_) / frame + 1) * frame;
        frame_end_ = deadline;
        std::this_thread::sleep_until(deadline);
    }

    bool OneShot(FaultKind kind) const {
        for (const Fault& f : s_.faults) {
            if (f.kind == kind && (f.at == 0 || f.at == exchange_)) return true;
        }
        return false;
    }

    bool ControlFault() const {
        return OneShot(FaultKind::kDrop) || OneShot(FaultKind::kShort) ||
               OneShot(FaultKind::kStatus);
    }

    // Lets the chip's clock catch up with the time that passed since the host
    // was last here: wall time, plus pauses taken on the adapter's own clock.
    // With speed=max the chip may be ahead already (a request ran it on), and
    // only the rest is run, so it is never behind real time.
    void AdvanceClock() {
        Clock::time_point now = Clock::now();
        auto us = std::chrono::duration_cast<std::chrono::microseconds>(now - last_).count();
        last_ = now;
        const uint64_t passed = uint64_t(std::max<int64_t>(us, 0)) + owed_us_;
        owed_us_ = 0;
        if (!chip_ || chip_->Halted()) {
            lead_cycles_ = 0;
            return;
        }
        uint64_t cycles = passed * (kCyclesPerSecond / 1000000);
        if (s_.speed_max) {
            const uint64_t covered = std::min(cycles, lead_cycles_);
            lead_cycles_ -= covered;
            cycles = std::min(cycles - covered, s_.run_cycles);
        } else {
            cycles = std::min(cycles, kMaxCyclesPerInteraction);
        }
        if (cycles > 0) chip_->RunUntil(chip_->Cycles() + cycles);
    }

    // Fast speed: a request that looks at the chip first lets it finish, but
    // never more than run_cycles ahead of real time, so a chip that never
    // halts costs run_cycles once rather than at every request.
    void RunForRequest() {
        if (!s_.speed_max || !chip_ || chip_->Halted() || lead_cycles_ >= s_.run_cycles) return;
        const uint64_t start = chip_->Cycles();
        chip_->RunUntil(start + (s_.run_cycles - lead_cycles_));
        lead_cycles_ += chip_->Cycles() - start;
    }

    std::optional<std::vector<uint8_t>> RawData(const uint8_t* data, int length) {
        int take = std::min(length, raw_remaining_);
        std::memcpy(raw_ + (kFirmwarePageSize - raw_remaining_), data, take);
        raw_remaining_ -= take;
        if (raw_remaining_ > 0) return std::nullopt;
        StorePage();
        return std::vector<uint8_t>{0};
    }

    void StorePage() {
        if (s_.serial && raw_page_ == zt::serial::kFillerPage) {
            bool switched = true;
            for (uint8_t p : zt::serial::kModeSwitchPages)
                switched = switched && mode_pages_.count(p);
            if (switched) mode_ = zt::serial::kFirmwareMode;
            mode_pages_.clear();
            prepared_ = false;
            return;
        }
        for (uint8_t p : zt::serial::kModeSwitchPages) {
            if (s_.serial && raw_page_ == p) mode_pages_.insert(p);
        }
        uint8_t* page = &flash_[raw_page_ * kFirmwarePageSize];
        for (int i = 0; i < kFirmwarePageSize; ++i) page[i] = raw_[i] ^ kFirmwareXorMask;
        last_written_ = raw_page_;
        prepared_ = false;
        if (page[0] == 'Z' && page[1] == 'F' && page[2] == 'W' && page[4] > 0) {
            image_version_ = page[3];
            image_pages_ = page[4];
            image_written_.clear();
            image_active_ = true;
        } else if (!image_active_) {
            version_ = 0xFF;  // flash changed outside a whole image
            return;
        }
        image_written_.insert(raw_page_);
        if (int(image_written_.size()) >= image_pages_) {
            version_ = image_version_;
            image_active_ = false;
        } else {
            version_ = 0xFF;
        }
    }

    std::vector<uint8_t> FirmwareCommand(const uint8_t* c, int length) {
        if (length < 3) return {0xFF};
        uint8_t op = c[0];
        switch (op) {
            case wire::kFirmwareMode:
                return {mode_};
            case wire::kFirmwareSelectPage:
                if (c[1] >= kFirmwarePages) return {wire::kFirmwareRefused};
                page_ = c[1];
                page_selected_ = true;
                prepared_ = false;
                return {wire::kFirmwareAccepted};
            case wire::kFirmwarePrepare:
                if (!page_selected_) return {wire::kFirmwareRefused};
                prepared_ = true;
                return {wire::kFirmwareAccepted};
            case wire::kFirmwareWrite:
                // A serial adapter takes the filler that ends its mode switch unprepared.
                if (!(prepared_ || (s_.serial && page_ == zt::serial::kFillerPage)) ||
                    (c[1] << 8 | c[2]) != kFirmwarePageSize) {
                    return {wire::kFirmwareRefused};
                }
                raw_page_ = page_;
                raw_remaining_ = kFirmwarePageSize;
                return {wire::kFirmwareAccepted};
            case wire::kFirmwarePageCrc: {
                int page = last_written_ >= 0 ? last_written_ : page_;
                uint16_t crc =
                    FirmwarePageCrc(&flash_[page * kFirmwarePageSize], kFirmwarePageSize);
                return {uint8_t(crc >> 8), uint8_t(crc)};
            }
            case wire::kFirmwareReadFlash:
                return {flash_[c[1] << 8 | c[2]]};
            case wire::kFirmwareVersion:
                return {version_};
            default:
                return {0xFF};
        }
    }

    // The parameter of a one-parameter adapter command: [code, 1, p] or [code, p].
    static bool OneParam(const uint8_t* c, int length, uint8_t* p) {
        if (length >= 3 && c[1] == 1) {
            *p = c[2];
            return true;
        }
        if (length >= 2) {
            *p = c[1];
            return true;
        }
        return false;
    }

    std::optional<std::vector<uint8_t>> Dispatch(const uint8_t* c, int length) {
        const uint8_t op = c[0];
        if (op <= wire::kFirmwareLastOp) return FirmwareCommand(c, length);
        uint8_t p = 0;
        switch (op) {
            case wire::kClockStrobe:
                if (!OneParam(c, length, &p)) return std::vector<uint8_t>{kStFailed};
                strobe_ = p;
                return std::vector<uint8_t>{kStOk};
            case wire::kProgrammingVoltage:
                if (!OneParam(c, length, &p) || p > 1) return std::vector<uint8_t>{kStFailed};
                if (chip_) chip_->SetVpp(p == 1);
                return std::vector<uint8_t>{kStOk};
            case wire::kConnectOption:
                if (!OneParam(c, length, &p)) return std::vector<uint8_t>{kStFailed};
                connect_option_ = p;
                return std::vector<uint8_t>{kStOk};
            default:
                break;
        }
        return TargetCommand(c, length);
    }

    static std::vector<uint8_t> Status(uint8_t s) { return {s}; }

    std::optional<std::vector<uint8_t>> TargetCommand(const uint8_t* c, int length) {
        const uint8_t op = c[0];
        const bool data = wire::HasDataReply(op);
        AdvanceClock();
        // The adapter drives its reset line whether or not a chip is there to see it.
        if (!chip_ && !no_power_ && op == wire::kTargetReset) return Status(kStOk);
        if (!chip_ || no_power_ || (chip_->C2Disabled() && op != wire::kTargetReset)) {
            if (data) return std::nullopt;
            return Status(kStNoTarget);
        }
        Zeltra& z = *chip_;
        auto need = [&](int n) { return length >= n; };
        switch (op) {
            case wire::kTargetReset:
                z.Reset();
                return Status(kStOk);
            case wire::kHardwareId:
                return std::vector<uint8_t>{z.Config().family, z.Config().revision};
            case wire::kDerivativeId:
                return std::vector<uint8_t>{z.Config().debug_version, z.Config().derivative};
            case wire::kRun:
                z.Run();
                lead_cycles_ = 0;
                return Status(kStOk);
            case wire::kHalt:
                z.Halt();
                return Status(kStOk);
            case wire::kStep:
                if (!z.Halted()) return Status(kStNotHalted);
                z.Step();
                return Status(kStOk);
            case wire::kRunStatus:
                RunForRequest();
                return std::vector<uint8_t>{uint8_t(z.Halted() ? 1 : 0)};
            case wire::kPageCrc: {
                if (!need(2)) return Status(kStFailed);
                uint16_t crc = z.PageCrc(c[1]);
                return std::vector<uint8_t>{uint8_t(crc >> 8), uint8_t(crc)};
            }
            case wire::kC2RegisterRead:
                if (!need(2)) return Status(kStFailed);
                return std::vector<uint8_t>{z.C2Read(c[1])};
            case wire::kC2RegisterWrite:
                if (!need(4) || c[2] != 1) return Status(kStFailed);
                z.C2Write(c[1], c[3]);
                return Status(kStOk);
            default:
                break;
        }
        return MemoryCommand(c, length, data);
    }

    // wire::kXdataRegisterRead/wire::kXdataRegisterWrite: XDATA through the data register at the
    // address in XADRH:XADRL, which the chip advances after every byte.
    std::vector<uint8_t> DataRegisterCommand(const uint8_t* c, int length) {
        Zeltra& z = *chip_;
        const bool read = c[0] == wire::kXdataRegisterRead;
        // Only the families that reach XDATA through SFRs have the registers.
        const zt::family::XdataRegisters* regs = zt::family::XdataRegistersOf(z.Config().family);
        if (length < 4 || !regs || c[1] != regs->data) return Status(kStFailed);
        const int n = c[3];
        if (n < 1 || n > (read ? 64 : 60) || (!read && length < 4 + n)) return Status(kStFailed);
        RunForRequest();
        if (!z.Halted()) return read ? std::vector<uint8_t>(size_t(n), 0) : Status(kStNotHalted);
        Mcs51& core = z.Core();
        uint16_t addr = uint16_t(core.Sfr(regs->high) << 8 | core.Sfr(regs->low));
        std::vector<uint8_t> out;
        for (int i = 0; i < n; ++i, ++addr) {
            if (read) {
                out.push_back(z.XdataRead(addr));
            } else {
                z.XdataWrite(addr, c[4 + i]);
            }
        }
        core.SetSfr(regs->high, uint8_t(addr >> 8));
        core.SetSfr(regs->low, uint8_t(addr));
        return read ? out : Status(kStOk);
    }

    std::optional<std::vector<uint8_t>> MemoryCommand(const uint8_t* c, int length, bool data) {
        const uint8_t op = c[0];
        Zeltra& z = *chip_;
        if (op == wire::kXdataRegisterRead || op == wire::kXdataRegisterWrite)
            return DataRegisterCommand(c, length);
        const bool wide = op == wire::kCodeWrite || op == wire::kCodeRead ||
                          op == wire::kDeviceErase || op == wire::kXdataRead ||
                          op == wire::kXdataWrite;
        const int header = op == wire::kDeviceErase ? 1 : (wide ? 4 : 3);
        if (op != wire::kDirectRead && op != wire::kDirectWrite && op != wire::kRamRead &&
            op != wire::kRamWrite && !wide) {
            return Status(kStFailed);  // not a command of this adapter
        }
        if (length < header) return Status(kStFailed);
        const uint32_t addr =
            op == wire::kDeviceErase ? 0 : (wide ? uint32_t(c[1] | c[2] << 8) : c[1]);
        const int n = op == wire::kDeviceErase ? 0 : c[header - 1];
        const uint32_t limit = wide ? 0x10000 : 0x100;
        const bool write = !data;
        if (op != wire::kDeviceErase) {
            if (n < 1 || n > 64 - (write ? header : 0) || addr + n > limit)
                return Status(kStFailed);
            if (write && length < header + n) return Status(kStFailed);
        }
        RunForRequest();
        if (!z.Halted()) {
            if (data) return std::vector<uint8_t>(size_t(n), 0);
            return Status(kStNotHalted);
        }
        const uint8_t* in = c + header;
        std::vector<uint8_t> out;
        switch (op) {
            case wire::kDirectRead:
                for (int i = 0; i < n; ++i) out.push_back(z.DebugReadDirect(uint8_t(addr + i)));
                return out;
            case wire::kDirectWrite:
                for (int i = 0; i < n; ++i) z.DebugWriteDirect(uint8_t(addr + i), in[i]);
                return Status(kStOk);
            case wire::kRamRead:
                for (int i = 0; i < n; ++i) out.push_back(z.DebugReadRam(uint8_t(addr + i)));
                return out;
            case wire::kRamWrite:
                for (int i = 0; i < n; ++i) z.DebugWriteRam(uint8_t(addr + i), in[i]);
                return Status(kStOk);
            case wire::kXdataRead:
                for (int i = 0; i < n; ++i) out.push_back(z.XdataRead(uint16_t(addr + i)));
                return out;
            case wire::kXdataWrite:
                for (int i = 0; i < n; ++i) z.XdataWrite(uint16_t(addr + i), in[i]);
                return Status(kStOk);
            case wire::kCodeRead:
                for (int i = 0; i < n; ++i) out.push_back(z.CodeRead(uint16_t(addr + i)));
                return out;
            case wire::kCodeWrite:
                // The ROM is read-only; nothing of a packet that reaches it is written.
                if (addr + n > 0x8000) return Status(kStFlash);
                for (int i = 0; i < n; ++i) z.CodeWrite(uint16_t(addr + i), in[i]);
                return Status(kStOk);
            case wire::kDeviceErase:
                z.CodeFill();
                return Status(kStOk);
            default:
                return Status(kStFailed);
        }
    }

    std::string serial_;
    Settings s_;
    std::unique_ptr<Zeltra> chip_;
    mutable std::mutex mu_;

    bool small_ = false;
    bool present_ = true;
    bool open_ = false;
    bool no_power_ = false;
    uint64_t exchange_ = 0;
    std::deque<Reply> replies_;
    Clock::time_point last_;
    std::string chip_error_;  // why the chip is not up yet (state directory)
    uint64_t waited_us_ = 0;
    uint64_t owed_us_ = 0;      // pauses on the adapter's clock the chip has not run yet
    uint64_t lead_cycles_ = 0;  // speed=max: cycles run ahead of real time since Run
    bool frame_started_ = false;
    Clock::time_point frame_origin_;
    Clock::time_point frame_end_;

    uint8_t mode_ = 2;
    uint8_t version_ = 31;
    uint8_t strobe_ = 0;
    uint8_t connect_option_ = 0;
    std::array<uint8_t, kFirmwarePages * kFirmwarePageSize> flash_{};
    int page_ = 0;
    bool page_selected_ = false;
    bool prepared_ = false;
    int raw_page_ = 0;
    int raw_remaining_ = 0;
    uint8_t raw_[kFirmwarePageSize] = {};
    int last_written_ = -1;
    bool image_active_ = false;
    uint8_t image_version_ = 0xFF;
    int image_pages_ = 0;
    std::set<int> image_written_;
    std::set<int> mode_pages_;

    uint8_t controls_[5] = {};
    uint8_t pin_mode_[3] = {};
    uint8_t latch_ = 0;
};

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

bool ParseOptions(const AdapterOptions& options, Settings* s, std::string* error) {
    // Named references, not structured bindings: the lambda below captures them.
    for (const auto& option : options) {
        const std::string& key = option.first;
        const std::string& value = option.second;
        uint64_t v = 0;
        auto bad = [&](const std::string& what) {
            return Fail(error, "bad " + key + " value \"" + value + "\": " + what);
        };
        if (key == "pid") {
            if (!ParseNumberText(value, 0xFFFF, &v)) return bad("expected a 16-bit number");
            s->pid = uint16_t(v);
        } else if (key == "mode") {
            if (!ParseNumberText(value, 0xFF, &v)) return bad("expected a byte");
            s->mode = uint8_t(v);
        } else if (key == "fw") {
            if (!ParseNumberText(value, 0xFF, &v)) return bad("expected a byte");
            s->fw = uint8_t(v);
        } else if (key == "target") {
            s->attached = true;
            if (value == "zeltra") {
                s->chip.derivative = 0xD0;
            } else if (value == "pristine") {
                s->chip.derivative = 0xFF;
            } else if (value == "sibling1" || value == "sibling2" || value == "sibling3") {
                s->chip.derivative = uint8_t(0xD0 + (value.back() - '0'));
            } else if (value == "none") {
                s->attached = false;
            } else {
                size_t slash = value.find('/');
                uint8_t family, deriv;
                if (slash == std::string::npos || !ParseHexByte(value.substr(0, slash), &family) ||
                    !ParseHexByte(value.substr(slash + 1), &deriv)) {
                    return bad(
                        "expected zeltra, pristine, sibling1..3, none or FAMILY/DERIV in hex");
                }
                s->chip.family = family;
                s->chip.derivative = deriv;
            }
        } else if (key == "state") {
            if (value.empty()) return bad("expected a directory");
            s->chip.state_dir = value;
        } else if (key == "latency_us") {
            if (!ParseNumberText(value, 10000000, &v)) return bad("expected 0..10000000");
            s->latency_us = uint32_t(v);
        } else if (key == "run_cycles") {
            if (!ParseNumberText(value, 0xFFFFFFFF, &v) || v == 0)
                return bad("expected 1..0xFFFFFFFF");
            s->run_cycles = v;
        } else if (key == "speed") {
            if (value != "real" && value != "max") return bad("expected real or max");
            s->speed_max = value == "max";
        } else if (key == "backend") {
            if (value != "virtual" && value != "real") return bad("expected virtual or real");
            s->poses_as_real = value == "real";
        } else if (key == "vpp") {
            if (value != "0" && value != "1") return bad("expected 0 or 1");
            s->chip.vpp = value == "1";
        } else if (key == "bpcount") {
            if (!ParseNumberText(value, 0xFF, &v)) return bad("expected a byte");
            s->chip.bpcount = uint8_t(v);
        } else if (key == "user_begin") {
            if (!ParseNumberText(value, 0xFFFF, &v) || v < zt::zeltra::kNvmUserMinBegin ||
                v >= kNvmUserEnd) {
                return bad("expected an NVM address in 0x014C..0x1FEF");
            }
            s->chip.user_begin = uint16_t(v);
        } else if (key == "mtp_endurance") {
            if (!ParseNumberText(value, 0xFFFFFFFF, &v)) return bad("expected a count");
            s->chip.mtp_endurance = uint32_t(v);
        } else if (key == "fault") {
            std::string why;
            if (!ParseFaults(value, &s->faults, &why)) return bad(why);
        } else {
            return Fail(error, "unknown option \"" + key + "\"");
        }
    }
    return true;
}

}  // namespace

std::unique_ptr<VirtualAdapter> VirtualAdapter::Create(const std::string& serial,
                                                       const AdapterOptions& options,
                                                       std::string* error, Kind kind) {
    Settings s;
    s.serial = kind == Kind::kSerial;
    s.chip.serial = serial;
    if (!ParseOptions(options, &s, error)) return nullptr;
    std::unique_ptr<Zeltra> chip;
    std::string why;
    if (s.attached) {
        chip = Zeltra::Create(s.chip, &why);
        // The adapter is still listed; opening it reports why the chip is missing.
        if (!chip && why.empty()) why = "the chip cannot be brought up";
    }
    return std::make_unique<ZeltraAdapter>(serial, std::move(s), std::move(chip), why);
}

}  // namespace zsim
