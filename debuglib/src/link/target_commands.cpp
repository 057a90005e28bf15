#include "link/target_commands.h"

#include <algorithm>
#include <chrono>

#include "link/adapter_link.h"
#include "link/packet_sizes.h"
#include "ordwin.h"

namespace ordwin {
namespace {

uint64_t SteadyMilliseconds() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

TargetCommands::TargetCommands(AdapterLink& link) : link_(link), clock_(SteadyMilliseconds) {}

void TargetCommands::SetClock(Clock clock) {
    clock_ = clock ? std::move(clock) : Clock(SteadyMilliseconds);
}

int32_t TargetCommands::Exchange(const uint8_t* packet, int length, uint8_t* reply,
                                 int replyLength) {
    int32_t result = link_.PurgeInput();
    if (result < 0) return result;
    result = link_.SendPacket(length, packet);
    if (result < 0) return result;
    if (replyLength == 0) return link_.ReadStatusByte();
    return link_.ReceiveData(reply, replyLength);
}

int32_t TargetCommands::BareCommand(uint8_t code) {
    return Exchange(&code, 1);
}

int32_t TargetCommands::BareCommandData(uint8_t code, uint8_t* reply, int length) {
    return Exchange(&code, 1, reply, length);
}

int32_t TargetCommands::ReadOneByte(uint8_t code, uint8_t* value) {
    const uint8_t packet[] = {code, 0};
    return Exchange(packet, sizeof packet, value, 1);
}

int32_t TargetCommands::CommandOneParam(uint8_t code, uint8_t p) {
    const uint8_t packet[] = {code, 1, p};
    return Exchange(packet, sizeof packet);
}

int32_t TargetCommands::CommandTwoParams(uint8_t code, uint8_t p1, uint8_t p2) {
    const uint8_t packet[] = {code, 2, p1, p2};
    return Exchange(packet, sizeof packet);
}

int32_t TargetCommands::FirmwareCommand(uint8_t op, uint8_t p1, uint8_t p2, uint8_t* reply,
                                        int replyLength) {
    const uint8_t packet[] = {op, p1, p2};
    int32_t result = link_.PurgeInput();
    if (result < 0) return result;
    result = link_.SendPacket(sizeof packet, packet);
    if (result < 0) return result;
    // The adapter's own replies carry no trailing byte.
    return link_.ReceiveReply(reply, replyLength);
}

int32_t TargetCommands::BlockRead(uint8_t code, uint8_t address, int count, uint8_t* out) {
    if (count < 0 || count > 255 || (count > 0 && out == nullptr)) return ORDWIN_E_INVALIDARG;
    const int chunk = link_.ReadChunk();
    int done = 0;
    while (done < count) {
        const int n = std::min(count - done, chunk);
        const uint8_t packet[] = {code, 2, static_cast<uint8_t>(address + done),
                                  static_cast<uint8_t>(n)};
        const int32_t result = Exchange(packet, sizeof packet, out + done, n);
        if (result < 0) return result;
        done += n;
    }
    return 0;
}

int32_t TargetCommands::BlockWrite(uint8_t code, uint8_t address, int count, const uint8_t* data) {
    if (count < 0 || count > 255 || (count > 0 && data == nullptr)) return ORDWIN_E_INVALIDARG;
    uint8_t packet[zt::adapter::kReportSize];
    int done = 0;
    while (done < count) {
        const int n = std::min(count - done, kBlockWriteChunk);
        packet[0] = code;
        packet[1] = static_cast<uint8_t>(address + done);
        packet[2] = static_cast<uint8_t>(n);
        std::copy(data + done, data + done + n, packet + 3);
        const int32_t result = Exchange(packet, n + 3);
        if (result < 0) return result;
        done += n;
    }
    return 0;
}

int32_t TargetCommands::BlockRead16(uint8_t code, int count, uint8_t* out,
                                    const std::function<int32_t()>& setAddress) {
    if (count < 0 || count > 0xFFFF || (count > 0 && out == nullptr)) return ORDWIN_E_INVALIDARG;
    if (count == 0) return 0;
    int32_t result = setAddress ? setAddress() : 0;
    if (result < 0) return result;
    const int chunk = link_.ReadChunk();
    int done = 0;
    while (done < count) {
        const int n = std::min(count - done, chunk);
        const uint8_t packet[] = {code, 2, static_cast<uint8_t>(n & 0xFF),
                                  static_cast<uint8_t>(n >> 8)};
        result = Exchange(packet, sizeof packet, out + done, n);
        if (result < 0) return result;
        done += n;
    }
    return 0;
}

int32_t TargetCommands::PolledCommand(const uint8_t* packet, int length, int limitMilliseconds) {
    int32_t result = link_.PurgeInput();
    if (result < 0) return result;
    result = link_.SendPacket(length, packet);
    if (result < 0) return result;
    const uint64_t start = clock_();
    for (;;) {
        result = link_.ReadStatusByte();
        if (result != ORDWIN_E_BAD_RESPONSE) return result;
        if (clock_() - start >= static_cast<uint64_t>(limitMilliseconds)) return result;
    }
}

}  // namespace ordwin
