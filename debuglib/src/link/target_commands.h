// Command packets for target operations and the fixed shapes of their
// replies. Each exchange purges, sends one packet and reads one reply.
#pragma once

#include <cstdint>
#include <functional>

namespace ordwin {

class AdapterLink;

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

    AdapterLink& Link() { return link_; }

    // The tick counter of polled commands (tests replace it).
    void SetClock(Clock clock);

  private:
    AdapterLink& link_;
    Clock clock_;
};

}  // namespace ordwin
