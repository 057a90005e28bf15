#include "link/target_commands.h"

#include <algorithm>
#include <chrono>

#include "link/adapter_link.h"
#include "link/packet_sizes.h"
#include "ordwin.h"
#include "zt/adapter_protocol.h"

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

int32_t TargetCommands::C2DirectRead(uint8_t address, uint8_t* value) {
    const uint8_t packet[] = {zt::adapter::kDirectRead, address, 1};
    return Exchange(packet, sizeof packet, value, 1);
}

int32_t TargetCommands::C2DirectWrite(uint8_t address, uint8_t value) {
    const uint8_t packet[] = {zt::adapter::kDirectWrite, address, 1, value};
    return Exchange(packet, sizeof packet);
}

int32_t TargetCommands::C2RegisterRead(uint8_t reg, uint8_t* value) {
    const uint8_t packet[] = {zt::adapter::kC2RegisterRead, reg, 1};
    return Exchange(packet, sizeof packet, value, 1);
}

int32_t TargetCommands::C2RegisterWrite(uint8_t reg, uint8_t value) {
    const uint8_t packet[] = {zt::adapter::kC2RegisterWrite, reg, 1, value};
    return Exchange(packet, sizeof packet);
}

namespace {

int MemoryHeader(uint8_t* packet, uint8_t op, AddressShape shape, uint32_t address, int n) {
    packet[0] = op;
    switch (shape) {
        case AddressShape::kByte:
            packet[1] = static_cast<uint8_t>(address);
            packet[2] = static_cast<uint8_t>(n);
            return 3;
        case AddressShape::kWord:
            packet[1] = static_cast<uint8_t>(address);
            packet[2] = static_cast<uint8_t>(address >> 8);
            packet[3] = static_cast<uint8_t>(n);
            return 4;
        case AddressShape::kDataRegister:
            packet[1] = static_cast<uint8_t>(address);
            packet[2] = 0;
            packet[3] = static_cast<uint8_t>(n);
            return 4;
    }
    return 0;
}

}  // namespace

int32_t TargetCommands::MemoryRead(uint8_t op, AddressShape shape, uint32_t address, int n,
                                   uint8_t* out) {
    if (n < 1 || n > zt::adapter::kReportSize) return ORDWIN_E_INVALIDARG;
    uint8_t packet[4];
    const int length = MemoryHeader(packet, op, shape, address, n);
    return Exchange(packet, length, out, n);
}

int32_t TargetCommands::MemoryWrite(uint8_t op, AddressShape shape, uint32_t address, int n,
                                    const uint8_t* data) {
    if (n < 1 || n > zt::adapter::kReportSize - MemoryHeaderLength(shape))
        return ORDWIN_E_INVALIDARG;
    uint8_t packet[zt::adapter::kReportSize];
    const int header = MemoryHeader(packet, op, shape, address, n);
    std::copy(data, data + n, packet + header);
    return Exchange(packet, header + n);
}

int32_t TargetCommands::PageCrc(uint8_t page, uint8_t* crc) {
    const uint8_t packet[] = {zt::adapter::kPageCrc, page};
    return Exchange(packet, sizeof packet, crc, 2);
}

int32_t TargetCommands::PageCrc32(uint8_t block, uint8_t* crc) {
    const uint8_t packet[] = {zt::adapter::kPageCrc32, block};
    return Exchange(packet, sizeof packet, crc, 4);
}

int32_t TargetCommands::PageErase(uint8_t page) {
    const uint8_t packet[] = {zt::adapter::kPageErase, page};
    return Exchange(packet, sizeof packet);
}

int32_t TargetCommands::DeviceErase(int limitMilliseconds) {
    const uint8_t packet[] = {zt::adapter::kDeviceErase};
    return PolledCommand(packet, sizeof packet, limitMilliseconds);
}

int32_t TargetCommands::FirmwareVersionAfterPause(uint8_t* version) {
    int32_t result = link_.PurgeInput();
    if (result < 0) return result;
    const uint8_t packet[] = {zt::adapter::kFirmwareVersion, 0, 0};
    result = link_.SendPacket(sizeof packet, packet);
    if (result < 0) return result;
    link_.Wait(kVersionPauseMs);
    return link_.ReceiveReply(version, 1);
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

// --- JTAG -----------------------------------------------------------------

int32_t TargetCommands::JtagDirectRead(uint8_t address, uint8_t* value) {
    const uint8_t packet[] = {zt::adapter::kJtagDirectRead, 2, address, 1};
    return Exchange(packet, sizeof packet, value, 1);
}

int32_t TargetCommands::JtagDirectWrite(uint8_t address, uint8_t value) {
    const uint8_t packet[] = {zt::adapter::kJtagDirectWrite, 2, address, value};
    return Exchange(packet, sizeof packet);
}

int32_t TargetCommands::JtagWriteRegister(uint8_t reg, uint8_t bits, uint32_t value) {
    const uint8_t packet[] = {zt::adapter::kJtagWriteRegister,
                              5,
                              reg,
                              bits,
                              static_cast<uint8_t>(value),
                              static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16)};
    return Exchange(packet, sizeof packet);
}

int32_t TargetCommands::JtagDevice(uint8_t chainA, uint8_t chainB, uint16_t chainC,
                                   uint16_t chainD) {
    const uint8_t packet[] = {zt::adapter::kJtagDevice,
                              6,
                              chainA,
                              chainB,
                              static_cast<uint8_t>(chainC),
                              static_cast<uint8_t>(chainC >> 8),
                              static_cast<uint8_t>(chainD),
                              static_cast<uint8_t>(chainD >> 8)};
    return Exchange(packet, sizeof packet);
}

int32_t TargetCommands::JtagExitHalt() {
    const uint8_t packet[] = {zt::adapter::kJtagExitHalt, 0};
    return Exchange(packet, sizeof packet);
}

int32_t TargetCommands::JtagReadHaltFlag(uint8_t* flag) {
    const uint8_t packet[] = {zt::adapter::kJtagHaltFlag, 0};
    return Exchange(packet, sizeof packet, flag, 1);
}

int32_t TargetCommands::JtagIdentify(uint8_t* reply) {
    const uint8_t packet[] = {zt::adapter::kJtagIdentify, 0};
    return Exchange(packet, sizeof packet, reply, zt::adapter::kJtagIdentityLength);
}

int32_t TargetCommands::JtagReadDebugVersion(uint8_t* version) {
    return ReadOneByte(zt::adapter::kJtagDebugVersion, version);
}

int32_t TargetCommands::JtagReadRegister(uint8_t reg, uint8_t bits, uint32_t* value) {
    const uint8_t packet[] = {zt::adapter::kJtagReadRegister, 2, reg, bits};
    uint8_t r[3] = {};
    const int32_t result = Exchange(packet, sizeof packet, r, sizeof r);
    if (result < 0) return result;
    *value = r[0] | (r[1] << 8) | (static_cast<uint32_t>(r[2]) << 16);
    return result;
}

int32_t TargetCommands::JtagBoardState(uint8_t state) {
    return CommandTwoParams(zt::adapter::kJtagBoardState, state, 0);
}

int32_t TargetCommands::JtagAwaitHalt() {
    for (int i = 0; i < kJtagHaltPolls; ++i) {
        uint8_t flag = 0;
        const int32_t result = JtagReadHaltFlag(&flag);
        if (result < 0) return result;
        if (flag & 1) return 1;
    }
    return 0;
}

namespace {

int32_t PurgeAndSend(AdapterLink& link, const uint8_t* packet, int length) {
    const int32_t result = link.PurgeInput();
    return result < 0 ? result : link.SendPacket(length, packet);
}

}  // namespace

int32_t TargetCommands::SendJtagScan(uint16_t bits, uint8_t flags, uint8_t value, int dataLength) {
    const uint8_t header[] = {zt::adapter::kJtagScan,
                              static_cast<uint8_t>(dataLength + 4),
                              static_cast<uint8_t>(bits),
                              static_cast<uint8_t>(bits >> 8),
                              flags,
                              value};
    return PurgeAndSend(link_, header, sizeof header);
}

int32_t TargetCommands::SendJtagState(uint8_t a, uint8_t b) {
    const uint8_t packet[] = {zt::adapter::kJtagState, 2, a, b};
    return PurgeAndSend(link_, packet, sizeof packet);
}

int32_t TargetCommands::SendJtagClocks(uint16_t count) {
    const uint8_t packet[] = {zt::adapter::kJtagClocks, 2, static_cast<uint8_t>(count),
                              static_cast<uint8_t>(count >> 8)};
    return PurgeAndSend(link_, packet, sizeof packet);
}

int32_t TargetCommands::JtagScan(uint16_t bits, uint8_t flags, uint8_t value, const uint8_t* data,
                                 int length) {
    int32_t result = SendJtagScan(bits, flags, value, data != nullptr ? length : 0);
    if (result >= 0 && data != nullptr) result = link_.SendPacket(length, data);
    if (result < 0) return result;
    return link_.ReadStatusByte();
}

}  // namespace ordwin
