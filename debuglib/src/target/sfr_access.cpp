#include "target/sfr_access.h"

#include <algorithm>

#include "exports/debug_context.h"
#include "link/packet_sizes.h"
#include "ordwin.h"
#include "zt/adapter_protocol.h"

namespace ordwin {
namespace {

constexpr uint8_t kPagedC2PageRegister = 0xA7;

}  // namespace

int SfrPageRegister(const DebugContext& context) {
    return context.traits.sfrPageRegister;
}

int32_t ReadDirect(DebugContext& context, uint8_t address, uint8_t* value) {
    if (IsJtag(context)) return context.commands->JtagDirectRead(address, value);
    return context.commands->C2DirectRead(address, value);
}

int32_t WriteDirect(DebugContext& context, uint8_t address, uint8_t value) {
    if (IsJtag(context)) return context.commands->JtagDirectWrite(address, value);
    return context.commands->C2DirectWrite(address, value);
}

namespace {

// Runs one direct access with the SFR page switched to `page` (when the family
// pages its SFRs) and restores the page that was selected before.
template <typename Access>
int32_t OnSfrPage(DebugContext& context, int page, Access access) {
    const int pageRegister = SfrPageRegister(context);
    const bool paged = page != kNoSfrPage && pageRegister >= 0;
    uint8_t oldPage = 0;
    int32_t result = 0;
    if (paged) {
        const auto reg = static_cast<uint8_t>(pageRegister);
        result = ReadDirect(context, reg, &oldPage);
        if (result < 0) return result;
        if (oldPage != page) {
            result = WriteDirect(context, reg, static_cast<uint8_t>(page));
            if (result < 0) return result;
        }
    }
    result = access();
    // A flash-status reply still means the register access took place.
    if (result == ORDWIN_E_STATUS_FLASH) result = 0;
    if (result < 0) return result;
    if (paged && oldPage != page) {
        result = WriteDirect(context, static_cast<uint8_t>(pageRegister), oldPage);
        if (result == ORDWIN_E_STATUS_FLASH) result = 0;
    }
    return result;
}

}  // namespace

int32_t WriteSfrOnPage(DebugContext& context, int page, uint8_t address, uint8_t value) {
    return OnSfrPage(context, page, [&] { return WriteDirect(context, address, value); });
}

int32_t ReadSfrOnPage(DebugContext& context, int page, uint8_t address, uint8_t* value) {
    return OnSfrPage(context, page, [&] { return ReadDirect(context, address, value); });
}

int32_t ReadC2Register(DebugContext& context, uint8_t reg, uint8_t* value) {
    return context.commands->C2RegisterRead(reg, value);
}

int32_t WriteC2Register(DebugContext& context, uint8_t reg, uint8_t value) {
    return context.commands->C2RegisterWrite(reg, value);
}

int32_t WriteC2RegisterOnPage(DebugContext& context, int page, uint8_t reg, uint8_t value) {
    uint8_t saved = 0;
    int32_t result = ReadC2Register(context, kPagedC2PageRegister, &saved);
    if (result < 0) return result;
    result = WriteC2Register(context, kPagedC2PageRegister, static_cast<uint8_t>(page));
    if (result < 0) return result;
    result = WriteC2Register(context, reg, value);
    if (result < 0) return result;
    return WriteC2Register(context, kPagedC2PageRegister, saved);
}

int32_t ReadPackets(DebugContext& context, uint8_t op, AddressShape shape, uint32_t address,
                    int count, uint8_t* out) {
    if (count < 0 || count > 255) return ORDWIN_E_INVALIDARG;
    const int chunk = context.link->ReadChunk();
    const bool advance = shape != AddressShape::kDataRegister;
    int done = 0;
    while (done < count) {
        const int n = std::min(count - done, chunk);
        const int32_t result = context.commands->MemoryRead(
            op, shape, advance ? address + static_cast<uint32_t>(done) : address, n, out + done);
        if (result < 0) return result;
        done += n;
    }
    return 0;
}

int32_t WritePackets(DebugContext& context, uint8_t op, AddressShape shape, uint32_t address,
                     int count, const uint8_t* data, int chunk) {
    if (count < 0 || count > 255) return ORDWIN_E_INVALIDARG;
    chunk =
        std::clamp(chunk, 1, zt::adapter::kReportSize - TargetCommands::MemoryHeaderLength(shape));
    const bool advance = shape != AddressShape::kDataRegister;
    int done = 0;
    while (done < count) {
        const int n = std::min(count - done, chunk);
        const int32_t result = context.commands->MemoryWrite(
            op, shape, advance ? address + static_cast<uint32_t>(done) : address, n, data + done);
        if (result < 0) return result;
        done += n;
    }
    return 0;
}

int32_t ReadPieces(DebugContext& context, uint8_t op, AddressShape shape, uint32_t address,
                   uint32_t count, uint8_t* out) {
    const bool advance = shape != AddressShape::kDataRegister;
    uint8_t piece[255];
    uint32_t done = 0;
    while (done < count) {
        const int n = static_cast<int>(std::min<uint32_t>(count - done, 255));
        const int32_t result =
            ReadPackets(context, op, shape, advance ? address + done : address, n, piece);
        if (result < 0) return result;
        std::copy(piece, piece + n, out + done);
        done += static_cast<uint32_t>(n);
    }
    return 0;
}

int32_t ReadDirectBlock(DebugContext& context, uint8_t address, int count, uint8_t* out) {
    if (IsJtag(context)) {
        return context.commands->BlockRead(zt::adapter::kJtagDirectRead, address, count, out);
    }
    return ReadPackets(context, zt::adapter::kDirectRead, AddressShape::kByte, address, count, out);
}

int32_t WriteDirectBlock(DebugContext& context, uint8_t address, int count, const uint8_t* data) {
    if (IsJtag(context)) {
        for (int i = 0; i < count; ++i) {
            const int32_t result = WriteDirect(context, static_cast<uint8_t>(address + i), data[i]);
            if (result < 0) return result;
        }
        return 0;
    }
    return WritePackets(context, zt::adapter::kDirectWrite, AddressShape::kByte, address, count,
                        data, context.link->WriteChunk());
}

}  // namespace ordwin
