// A virtual USB debug adapter with a virtual target behind it.
//
// Wickport's virtual backend owns one of these per listed adapter and hands
// it the caller's reports unchanged; everything the adapter and the chip
// answer is decided here.
//
// Options (numbers are 0x-hex or decimal):
//   pid         USB product id (0x8A51); 0x8045 and 0x8253 are small adapters
//   mode        firmware mode byte (2; 1 for small adapters)
//   fw          running firmware version (the one the library expects of
//               this kind of adapter: 31, 2 in mode 1, 4 for 0x8045, 11 for 0x8253)
//   target      zeltra | pristine | sibling1..3 | none | FAMILY/DERIV (hex);
//               with none the adapter still answers for itself and pulses
//               its reset line, and target commands go unanswered
//   state       directory with nvm.bin, mtp.bin and meta.txt
//   latency_us  the USB frame: every report exchange ends on the next frame
//               boundary, at least one frame after the previous exchange
//   speed       real: the chip runs the cycles wall time allows (2 M per
//               second), caught up at each interaction, at most 2 s at once;
//               a serial adapter's line carries 10 bits a byte at its baud
//               rate. max: the chip first catches up with the time that
//               passed (wall time and pauses), then a status or memory
//               request of a running chip runs it until it halts or it is
//               run_cycles ahead of real time
//   run_cycles  that lead (50000000, 25 s of chip time); tests that let a
//               chip run away lower it to stay fast
//   vpp         programming voltage at start (1)
//   bpcount     byte at direct 0xF2 (0xFF); it also limits the working slots
//   user_begin  NVM user region start (0x0200)
//   mtp_endurance  MTP writes before the cells wear out (1000)
//   backend     virtual (default) | real: real makes Wickport report this
//               adapter as a real one, so tests walk the real adapters' paths
//   fault       KIND[@N]+...: drop, short, status, unplug, nopower, hang, late;
//               N counts report exchanges (a written report with its reply,
//               or one control value or feature report call) from the first
//               open, 1-based; without @N the fault hits every exchange.
//               drop loses the reply, short delivers 16 bytes, status answers
//               0x02 without running the command, late holds the reply
//               back until one read has timed out on it (it is there for
//               the next read or drain); unplug, nopower and hang last from
//               then on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zsim {

using AdapterOptions = std::vector<std::pair<std::string, std::string>>;

class VirtualAdapter {
  public:
    // Builds the adapter of one description (serial plus key=value options).
    // Returns null and sets *error for an unknown key or a bad value.
    // A serial adapter runs mode 3 / version 23 firmware, takes the filler
    // page that switches an older one to its update mode, and knows the
    // fault `extra` (two more bytes after a reply).
    enum class Kind { kUsb, kSerial };
    static std::unique_ptr<VirtualAdapter> Create(const std::string& serial,
                                                  const AdapterOptions& options, std::string* error,
                                                  Kind kind = Kind::kUsb);
    virtual ~VirtualAdapter() = default;

    virtual const std::string& Serial() const = 0;
    virtual uint16_t ProductId() const = 0;
    // False once the adapter was unplugged by a fault: every call then fails.
    virtual bool Present() const = 0;
    // Set by backend=real.
    virtual bool PosesAsReal() const = 0;
    // speed=real: the chip, and a serial adapter's line, keep wall time.
    virtual bool RealSpeed() const = 0;

    // False, with the reason, while the chip cannot be brought up: its state
    // directory is in use by another program, cannot be created or holds
    // damaged files. Each open tries again.
    virtual bool Open(std::string* error = nullptr) = 0;
    virtual void Close() = 0;

    // One output report from the host (length bytes, at most 64).
    virtual bool Write(const uint8_t* data, int length) = 0;

    enum class ReadResult { kReport, kNoReply, kGone };
    // The next input report: on kReport, report holds 64 bytes and *length
    // the size delivered (64 unless a fault shortens it).
    virtual ReadResult Read(uint8_t report[64], int* length) = 0;
    // Throws away the replies the host has not read; returns how many.
    virtual int Drain() = 0;
    // The host waits (a read's time-out that found no reply, or a fixed
    // pause): the time passes really with speed=real and on the adapter's own
    // clock with speed=max.
    virtual void PassTime(int milliseconds) = 0;
    // The time spent so in microseconds, real and virtual alike.
    virtual uint64_t WaitedUs() const = 0;

    // The next reply as the adapter produced it, for a byte-stream transport.
    struct StreamReply {
        std::vector<uint8_t> bytes;  // unpadded
        bool target_data = false;    // a target command's data reply (not status or firmware)
        bool shortened = false;      // a short fault hit it
        bool extra = false;          // an extra fault hit it
    };
    virtual ReadResult TakeReply(StreamReply* reply) = 0;
    // Raw page bytes still expected after a page write command.
    virtual int RawBytesPending() const = 0;

    // Adapter reset: boot_mode true for the mode-1 reset, false otherwise.
    virtual bool Reset(bool boot_mode) = 0;

    // Small adapters' control values and the HID feature reports.
    virtual bool SetControl(int id, int value) = 0;
    virtual bool GetControl(int id, uint8_t* value) = 0;
    virtual bool SetFeature(const uint8_t* report, int length) = 0;
    virtual bool GetFeature(uint8_t* report, int length) = 0;
};

}  // namespace zsim
