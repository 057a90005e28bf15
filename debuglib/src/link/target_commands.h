// Command packets for target operations and the fixed shapes of their
// replies. Each exchange purges, sends one packet and reads one reply.
#pragma once

#include <cstdint>
#include <functional>

namespace ordwin {

class AdapterLink;

// How a memory command addresses the target.
enum class AddressShape {
    kByte,          // [op, address, n]
    kWord,          // [op, address low, address high, n]
    kDataRegister,  // [op, register, 0x00, n]; the address does not advance
};

class TargetCommands {
  public:
    using Clock = std::function<uint64_t()>;  // milliseconds

    explicit TargetCommands(AdapterLink& link);

    // One exchange: the packet, then a status byte (replyLength 0) or exactly
    // replyLength data bytes.
    int32_t Exchange(const uint8_t* packet, int length, uint8_t* reply = nullptr,
                     int replyLength = 0);

    int32_t BareCommand(uint8_t code);                                  // [code] -> status
    int32_t BareCommandData(uint8_t code, uint8_t* reply, int length);  // [code] -> data
    int32_t ReadOneByte(uint8_t code, uint8_t* value);                  // [code, 0] -> 1 byte
    int32_t CommandOneParam(uint8_t code, uint8_t p);                   // [code, 1, p] -> status
    int32_t CommandTwoParams(uint8_t code, uint8_t p1, uint8_t p2);     // [code, 2, p1, p2]
    // [op, p1, p2] -> replyLength bytes of the adapter's own
    int32_t FirmwareCommand(uint8_t op, uint8_t p1, uint8_t p2, uint8_t* reply,
                            int replyLength = 1);

    // [code, 2, address, n] per packet, n data bytes back each; count <= 255.
    int32_t BlockRead(uint8_t code, uint8_t address, int count, uint8_t* out);
    // [code, address, n, data] per packet, each acknowledged; count <= 255.
    int32_t BlockWrite(uint8_t code, uint8_t address, int count, const uint8_t* data);
    // 16-bit counts: setAddress positions the target first, then
    // [code, 2, n low, n high] per packet, n data bytes back each.
    int32_t BlockRead16(uint8_t code, int count, uint8_t* out,
                        const std::function<int32_t()>& setAddress);

    // Sends once, then reads the status again while it reports no or an
    // unrecognised byte, until the limit passes.
    int32_t PolledCommand(const uint8_t* packet, int length, int limitMilliseconds);

    // C2 commands, each an exchange.
    int32_t C2DirectRead(uint8_t address, uint8_t* value);  // [op, address, 1] -> 1 byte
    int32_t C2DirectWrite(uint8_t address, uint8_t value);  // [op, address, 1, value]
    int32_t C2RegisterRead(uint8_t reg, uint8_t* value);    // [op, reg, 1] -> 1 byte
    int32_t C2RegisterWrite(uint8_t reg, uint8_t value);    // [op, reg, 1, value]
    // One memory packet of n bytes (n fits a packet with its header).
    int32_t MemoryRead(uint8_t op, AddressShape shape, uint32_t address, int n, uint8_t* out);
    int32_t MemoryWrite(uint8_t op, AddressShape shape, uint32_t address, int n,
                        const uint8_t* data);
    static int MemoryHeaderLength(AddressShape shape) {
        return shape == AddressShape::kByte ? 3 : 4;
    }
    int32_t PageCrc(uint8_t page, uint8_t* crc);     // 2 bytes, high first
    int32_t PageCrc32(uint8_t block, uint8_t* crc);  // 4 bytes, high first
    int32_t PageErase(uint8_t page);
    int32_t DeviceErase(int limitMilliseconds);  // polled until the limit
    // The adapter's firmware version, read after the pause the adapter needs
    // to look it up.
    int32_t FirmwareVersionAfterPause(uint8_t* version);
    static constexpr int kVersionPauseMs = 100;

    // JTAG commands, each an exchange.
    int32_t JtagDirectRead(uint8_t address, uint8_t* value);
    int32_t JtagDirectWrite(uint8_t address, uint8_t value);
    int32_t JtagWriteRegister(uint8_t reg, uint8_t bits, uint32_t value);  // 24-bit value
    int32_t JtagDevice(uint8_t chainA, uint8_t chainB, uint16_t chainC, uint16_t chainD);
    int32_t JtagExitHalt();
    int32_t JtagReadHaltFlag(uint8_t* flag);
    int32_t JtagIdentify(uint8_t* reply);  // zt::adapter::kJtagIdentityLength bytes
    int32_t JtagReadDebugVersion(uint8_t* version);
    int32_t JtagReadRegister(uint8_t reg, uint8_t bits, uint32_t* value);  // 24-bit value
    int32_t JtagBoardState(uint8_t state);  // a zt::adapter::kJtagBoard* value
    // Reads the halt flag up to kJtagHaltPolls times: 1 once it is set, 0 when
    // it never was, or the failure.
    int32_t JtagAwaitHalt();
    static constexpr int kJtagHaltPolls = 8;
    // The scan, state and clock commands send their packet (input purged
    // first) and leave the data and the status byte to the caller; dataLength
    // counts the data bytes of a second packet, 0 for none.
    int32_t SendJtagScan(uint16_t bits, uint8_t flags, uint8_t value, int dataLength);
    int32_t SendJtagState(uint8_t a, uint8_t b);
    int32_t SendJtagClocks(uint16_t count);
    // A whole scan: the packet, the data packet when there is data, the status.
    int32_t JtagScan(uint16_t bits, uint8_t flags, uint8_t value, const uint8_t* data = nullptr,
                     int length = 0);

    AdapterLink& Link() { return link_; }

    // The tick counter of polled commands (tests replace it).
    void SetClock(Clock clock);

  private:
    AdapterLink& link_;
    Clock clock_;
};

}  // namespace ordwin
