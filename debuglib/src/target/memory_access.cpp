#include "target/memory_access.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "errors/error_codes.h"
#include "errors/messages.h"
#include "errors/progress.h"
#include "exports/debug_context.h"
#include "ordwin.h"
#include "target/sfr_access.h"
#include "target/target_state.h"
#include "zt/adapter_protocol.h"

namespace ordwin {
namespace {

constexpr uint32_t kFillProgressThreshold = 512;

bool Silent(int32_t code) {
    return (static_cast<uint32_t>(code) & 0x8000u) != 0;
}

void ShowFailure(const char* text, int32_t code) {
    if (!Silent(code)) ShowMessage(std::string(text) + ErrorMessage(code));
}

// Runs body with the SFR page switched to page and restores it after.
template <typename Body>
int32_t OnPage(DebugContext& context, int page, Body body) {
    const int pageRegister = SfrPageRegister(context);
    if (page == kNoSfrPage || pageRegister < 0) return body();
    const auto reg = static_cast<uint8_t>(pageRegister);
    uint8_t old = 0;
    int32_t result = ReadDirect(context, reg, &old);
    if (result < 0) return result;
    if (old != page) {
        result = WriteDirect(context, reg, static_cast<uint8_t>(page));
        if (result < 0) return result;
    }
    result = body();
    if (old != page) {
        const int32_t restored = WriteDirect(context, reg, old);
        if (result >= 0) result = restored;
    }
    return result;
}

int32_t SetXadr(DebugContext& context, uint32_t start) {
    const DeviceTraits& traits = context.traits;
    const int page = traits.xdataPage;
    int32_t result =
        WriteSfrOnPage(context, page, traits.xadrl, static_cast<uint8_t>(start & 0xFF));
    if (result < 0) return result;
    return WriteSfrOnPage(context, page, traits.xadrh, static_cast<uint8_t>((start >> 8) & 0xFF));
}

int32_t ReadRamBytes(DebugContext& context, uint32_t start, uint32_t count, uint8_t* out) {
    if (!IsJtag(context))
        return ReadPieces(context, zt::adapter::kRamRead, AddressShape::kByte, start, count, out);
    uint32_t done = 0;
    while (done < count) {
        const int n = static_cast<int>(std::min<uint32_t>(count - done, 255));
        const int32_t result = context.commands->BlockRead(
            zt::adapter::kJtagRamRead, static_cast<uint8_t>(start + done), n, out + done);
        if (result < 0) return result;
        done += static_cast<uint32_t>(n);
    }
    return 0;
}

int32_t WriteRamBytes(DebugContext& context, uint32_t address, int count, const uint8_t* data) {
    if (IsJtag(context)) {
        return context.commands->BlockWrite(zt::adapter::kJtagRamWrite,
                                            static_cast<uint8_t>(address), count, data);
    }
    return WritePackets(context, zt::adapter::kRamWrite, AddressShape::kByte, address, count, data,
                        count);
}

bool Halted(const DebugContext& context) {
    return context.runState == kRunStateHalted;
}

}  // namespace

// --- internal RAM ---------------------------------------------------------

int32_t ReadRam(DebugContext& context, uint8_t* buffer, uint32_t start, uint32_t count) {
    if (!Halted(context)) {
        ShowMessage("Could not read RAM since board\nwas not in the HALT state.");
        return ORDWIN_E_NOT_HALTED;
    }
    int32_t result = ReadRamBytes(context, start, count, buffer);
    if (result >= 0 && start <= 2) {
        // While halted the debug core keeps R0..R2 in its own registers.
        uint8_t shadow[4] = {};
        result = ReadDirectBlock(context, context.traits.haltedRegisters[0], 2, shadow);
        if (result >= 0)
            result = ReadDirectBlock(context, context.traits.haltedRegisters[2], 2, shadow + 2);
        if (result >= 0) {
            for (uint32_t address = start; address < 3 && address < start + count; ++address) {
                buffer[address - start] = shadow[address];
            }
        }
    }
    if (result < 0) {
        ShowFailure("Failed reading Onboard RAM.\n", result);
        return result;
    }
    const uint32_t limit = context.record->internalRamSize;
    for (uint32_t i = 0; i < count && start + i < limit && start + i < kRamImageSize; ++i) {
        context.ramImage[start + i] = buffer[i];
    }
    return result;
}

int32_t WriteRam(DebugContext& context, const uint8_t* buffer, uint32_t start, uint32_t count) {
    for (uint32_t i = 0; i < count && start + i < kRamImageSize; ++i) {
        context.ramImage[start + i] = buffer[i];
    }
    if (!Halted(context)) {
        ShowMessage("Could not write RAM since board\nwas not in the HALT state.");
        return ORDWIN_E_NOT_HALTED;
    }
    int32_t result = 0;
    uint32_t address = start;
    const uint32_t end = start + count;
    for (; address < 3 && address < end && result >= 0; ++address) {
        result =
            WriteDirect(context, context.traits.haltedRegisters[address], buffer[address - start]);
    }
    // Two bytes a packet; an odd last byte goes alone so that nothing outside
    // the range is touched.
    while (result >= 0 && address < end) {
        const int n = end - address >= 2 ? 2 : 1;
        result = WriteRamBytes(context, address, n, buffer + (address - start));
        address += static_cast<uint32_t>(n);
    }
    if (result < 0) ShowFailure("Failed writing Onboard RAM.\n", result);
    return result;
}

// --- external RAM -----------------------------------------------------------

int32_t ReadXram(DebugContext& context, uint8_t* buffer, uint32_t start, uint32_t count) {
    const DeviceTraits& traits = context.traits;
    const XdataAccess method = traits.xdataAccess;
    if (method == XdataAccess::kNone) return ORDWIN_E_NOT_SUPPORTED;
    if (!Halted(context)) {
        ShowMessage(method == XdataAccess::kAddressRegisters
                        ? "Could not read RAM since board\nwas not in the HALT state."
                        : "Could not read XRAM since board\nwas not in the HALT state.");
        return ORDWIN_E_NOT_HALTED;
    }
    int32_t result = 0;
    if (method == XdataAccess::kXdataCommands) {
        // Some debug logic uses RAM 6..7 as work space for the access.
        const bool saveRam = traits.xdataWorkRamVersion >= 0 &&
                             context.record->debugLogicVersion == traits.xdataWorkRamVersion;
        uint8_t saved[2] = {};
        if (saveRam) result = ReadRamBytes(context, 6, 2, saved);
        if (result >= 0) {
            result = ReadPieces(context, zt::adapter::kXdataRead, AddressShape::kWord, start, count,
                                buffer);
        }
        if (saveRam) {
            const int32_t restored = WriteRamBytes(context, 6, 2, saved);
            if (result >= 0) result = restored;
        }
    } else if (method == XdataAccess::kWindowCommands) {
        result = ReadPieces(context, zt::adapter::kWindowRead, AddressShape::kWord, start, count,
                            buffer);
    } else {
        result = SetXadr(context, start);
        if (result >= 0 && context.link->IsUsb()) {
            result = OnPage(context, traits.xdataPage, [&] {
                return ReadPieces(context, zt::adapter::kXdataRegisterRead,
                                  AddressShape::kDataRegister, traits.xdata, count, buffer);
            });
        } else if (result >= 0) {
            for (uint32_t i = 0; i < count && result >= 0; ++i) {
                result = ReadSfrOnPage(context, traits.xdataPage, traits.xdata, buffer + i);
            }
        }
        if (result == ORDWIN_E_STATUS_FLASH) {
            std::memset(buffer, 0, count);
            return 0;
        }
        if (result < 0) ShowFailure("Failed reading Onboard XRAM.\n", result);
    }
    if (result < 0) return result;
    for (uint32_t i = 0; i < count && start + i < kXramImageSize; ++i) {
        context.xramImage[start + i] = buffer[i];
    }
    return result;
}

int32_t WriteXram(DebugContext& context, const uint8_t* buffer, uint32_t start, uint32_t count) {
    const uint32_t fill =
        std::min<uint32_t>(count, kXramImageSize > start ? kXramImageSize - start : 0);
    if (count > kFillProgressThreshold && !context.dialogsDisabled) {
        ProgressDialog progress("Filling local memory image", 0, static_cast<int>(count));
        for (uint32_t done = 0; done < fill; done += kFillProgressThreshold) {
            const uint32_t n = std::min(kFillProgressThreshold, fill - done);
            std::memcpy(context.xramImage.get() + start + done, buffer + done, n);
            progress.SetPosition(static_cast<int>(done + n));
            if (progress.Cancelled()) return 0;
        }
    } else {
        std::memcpy(context.xramImage.get() + start, buffer, fill);
    }
    const DeviceTraits& traits = context.traits;
    const XdataAccess method = traits.xdataAccess;
    if (method == XdataAccess::kNone) return ORDWIN_E_NOT_SUPPORTED;
    if (!Halted(context)) {
        ShowMessage("Could not write XRAM since board\nwas not in the HALT state.");
        return ORDWIN_E_NOT_HALTED;
    }
    const int chunk = context.link->WriteChunk();
    auto writeAll = [&](uint8_t op, AddressShape shape, uint32_t address) {
        const bool advance = shape != AddressShape::kDataRegister;
        uint32_t done = 0;
        while (done < count) {
            const int n = static_cast<int>(std::min<uint32_t>(count - done, 255));
            const int32_t result = WritePackets(
                context, op, shape, advance ? address + done : address, n, buffer + done, chunk);
            if (result < 0) return result;
            done += static_cast<uint32_t>(n);
        }
        return 0;
    };
    if (method == XdataAccess::kXdataCommands) {
        return writeAll(zt::adapter::kXdataWrite, AddressShape::kWord, start);
    }
    if (method == XdataAccess::kWindowCommands) {
        return writeAll(zt::adapter::kCodeWrite, AddressShape::kWord, start);
    }
    int32_t result = SetXadr(context, start);
    if (result >= 0 && context.link->IsUsb()) {
        result = OnPage(context, traits.xdataPage, [&] {
            return writeAll(zt::adapter::kXdataRegisterWrite, AddressShape::kDataRegister,
                            traits.xdata);
        });
    } else if (result >= 0) {
        for (uint32_t i = 0; i < count && result >= 0; ++i) {
            result = WriteSfrOnPage(context, traits.xdataPage, traits.xdata, buffer[i]);
        }
    }
    if (result < 0) ShowFailure("Failed writing Onboard XRAM.\n", result);
    return result;
}

// --- SFR shadow ---------------------------------------------------------------

namespace {

// The page the target has selected now, or the unpaged view.
int32_t CurrentPage(DebugContext& context, int* page) {
    const int pageRegister = SfrPageRegister(context);
    if (pageRegister < 0) {
        *page = kSfrNoPage;
        return 0;
    }
    uint8_t value = 0;
    const int32_t result = ReadDirect(context, static_cast<uint8_t>(pageRegister), &value);
    if (result < 0) return result;
    *page = value;
    return 0;
}

}  // namespace

void DiscardSfrShadow(DebugContext& context) {
    Target(context).sfr.Discard();
}

int32_t WriteBackSfrShadow(DebugContext& context) {
    SfrShadow& shadow = Target(context).sfr;
    if (!shadow.anyChanged) return 0;
    const int pageRegister = SfrPageRegister(context);
    int current = kSfrNoPage;
    int32_t result = CurrentPage(context, &current);
    if (result < 0) return result;
    int selected = current;
    for (int page = 0; page < kSfrPages && result >= 0; ++page) {
        if (shadow.changed[static_cast<size_t>(page)].none()) continue;
        if (pageRegister >= 0 && page != kSfrNoPage && page != selected) {
            result = WriteDirect(context, static_cast<uint8_t>(pageRegister),
                                 static_cast<uint8_t>(page));
            if (result < 0) break;
            selected = page;
        }
        for (int i = 0; i < 128 && result >= 0; ++i) {
            if (!shadow.changed[static_cast<size_t>(page)].test(static_cast<size_t>(i))) continue;
            result = WriteDirect(context, static_cast<uint8_t>(0x80 + i),
                                 shadow.values[static_cast<size_t>(page)][static_cast<size_t>(i)]);
            if (result == ORDWIN_E_STATUS_FLASH) result = 0;
            if (result >= 0)
                shadow.changed[static_cast<size_t>(page)].reset(static_cast<size_t>(i));
        }
    }
    if (pageRegister >= 0 && selected != current) {
        const int32_t restored =
            WriteDirect(context, static_cast<uint8_t>(pageRegister), static_cast<uint8_t>(current));
        if (result >= 0) result = restored;
    }
    if (result >= 0) shadow.anyChanged = false;
    return result;
}

int32_t ReadSfrShadow(DebugContext& context, uint8_t* buffer, uint32_t start, uint32_t count) {
    int32_t result = WriteBackSfrShadow(context);
    if (result < 0) return result;
    int page = kSfrNoPage;
    result = CurrentPage(context, &page);
    if (result < 0) return result;
    SfrShadow& shadow = Target(context).sfr;
    auto& values = shadow.values[static_cast<size_t>(page)];
    if (!shadow.loaded.test(static_cast<size_t>(page))) {
        uint8_t fresh[128];
        result = ReadDirectBlock(context, 0x80, 128, fresh);
        if (result < 0) return result;
        std::memcpy(values.data(), fresh, sizeof fresh);
        shadow.loaded.set(static_cast<size_t>(page));
    }
    std::memcpy(buffer, values.data() + (start - 0x80), count);
    return 0;
}

int32_t WriteSfrShadow(DebugContext& context, const uint8_t* buffer, uint32_t start,
                       uint32_t count) {
    int page = kSfrNoPage;
    const int32_t result = CurrentPage(context, &page);
    if (result < 0) return result;
    SfrShadow& shadow = Target(context).sfr;
    const auto p = static_cast<size_t>(page);
    // An unloaded page says nothing about the target, so every byte counts.
    const bool loaded = shadow.loaded.test(p);
    for (uint32_t i = 0; i < count; ++i) {
        const auto index = static_cast<size_t>(start - 0x80 + i);
        if (loaded && shadow.values[p][index] == buffer[i]) continue;
        shadow.values[p][index] = buffer[i];
        shadow.changed[p].set(index);
        shadow.anyChanged = true;
    }
    return 0;
}

// --- code memory and CRC ---------------------------------------------------------

int32_t ReadCode(DebugContext& context, uint8_t* buffer, uint32_t start, uint32_t count) {
    if (IsJtag(context)) return ORDWIN_E_NOT_SUPPORTED;
    return ReadPieces(context, zt::adapter::kCodeRead, AddressShape::kWord, start, count, buffer);
}

int32_t ReadPageCrc(DebugContext& context, uint8_t page, uint8_t* crc) {
    return context.commands->PageCrc(page, crc);
}

}  // namespace ordwin
