#include "target/page_programming.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "errors/error_codes.h"
#include "errors/messages.h"
#include "errors/progress.h"
#include "exports/debug_context.h"
#include "ordwin.h"
#include "target/memory_access.h"
#include "target/sfr_access.h"
#include "target/target_state.h"
#include "target/write_once.h"
#include "zt/adapter_protocol.h"
#include "zt/crc.h"
#include "zt/zeltra_map.h"

namespace ordwin {
namespace {

constexpr uint32_t kCrcBlock = 256;
constexpr uint32_t kCrc32Block = 1024;

bool IsZeltra(const DebugContext& context) {
    return context.record->familyCode == zt::zeltra::kFamily;
}

uint32_t PageSize(const DebugContext& context) {
    // A record without a page size would divide by zero.
    return std::max<uint32_t>(context.record->pageSize, 1);
}

uint32_t ReservedPage(const DebugContext& context) {
    return context.record->reservedStart / PageSize(context);
}

// Families whose pages are checked by other means than the page CRC.
bool ChecksByCrc(const DebugContext& context) {
    const DeviceTraits& traits = context.traits;
    if (!traits.pageCrc) return false;
    return !IsWriteOnce(context) || traits.pageCrcWhenWriteOnce;
}

std::string Format(const char* format, unsigned value) {
    char text[256];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string WithErrorText(const char* text, int32_t code) {
    return std::string(text) + ErrorMessage(code);
}

int32_t WriteCodeBytes(DebugContext& context, uint32_t address, const uint8_t* data,
                       uint32_t count) {
    const bool writeOnce = IsWriteOnce(context);
    const uint8_t op = writeOnce ? zt::adapter::kCodeWriteWithStatus : zt::adapter::kCodeWrite;
    const int chunk = context.link->WriteChunk();
    uint32_t done = 0;
    while (done < count) {
        const int n =
            static_cast<int>(std::min<uint32_t>(count - done, static_cast<uint32_t>(chunk)));
        int32_t result =
            WritePackets(context, op, AddressShape::kWord, address + done, n, data + done, chunk);
        if (result >= 0 && writeOnce) result = ReadWriteStatus(context);
        if (result < 0) return result;
        done += static_cast<uint32_t>(n);
    }
    return 0;
}

// The target's value of a block and the image's, equal when they match.
int32_t CompareBlock(DebugContext& context, uint32_t block, bool report, bool* readFailed) {
    *readFailed = false;
    if (context.traits.pageCrc32) {
        const uint32_t start = block * kCrc32Block;
        if (start + kCrc32Block > kCodeImageSize) return ORDWIN_E_INVALIDARG;
        const uint32_t expected = zt::Crc32Raw(context.codeImage.get() + start, kCrc32Block);
        uint8_t reply[4] = {};
        const int32_t result = context.commands->PageCrc32(static_cast<uint8_t>(block), reply);
        if (result < 0) {
            *readFailed = true;
            return result;
        }
        const uint32_t returned = static_cast<uint32_t>(reply[0]) << 24 |
                                  static_cast<uint32_t>(reply[1]) << 16 |
                                  static_cast<uint32_t>(reply[2]) << 8 | reply[3];
        if (returned == expected) return 0;
        if (report) {
            char text[160];
            std::snprintf(text, sizeof text,
                          "CRC Comparison failed on Page %u.\nCalculated CRC = %08X\nReturned CRC "
                          "= %08X\n",
                          block, expected, returned);
            ShowMessage(text);
        }
        return ORDWIN_E_CRC;
    }
    const uint32_t start = block * kCrcBlock;
    if (start + kCrcBlock > kCodeImageSize || block > 0xFF) return ORDWIN_E_INVALIDARG;
    const uint16_t expected = zt::Crc16Xmodem(context.codeImage.get() + start, kCrcBlock);
    uint8_t reply[2] = {};
    const int32_t result = ReadPageCrc(context, static_cast<uint8_t>(block), reply);
    if (result < 0) {
        *readFailed = true;
        return result;
    }
    if (reply[0] == (expected >> 8) && reply[1] == (expected & 0xFF)) return 0;
    if (report) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "CRC Comparison failed on Page %u.\nCalculated CRC = %02X%02X\nReturned CRC "
                      "= %02X%02X\n",
                      block, expected >> 8, expected & 0xFF, reply[0], reply[1]);
        ShowMessage(text);
    }
    return ORDWIN_E_CRC;
}

// Families without the CRC check compare what they read back.
int32_t CompareByReading(DebugContext& context, uint32_t start, uint32_t count) {
    std::vector<uint8_t> target(count);
    const int32_t result = ReadCode(context, target.data(), start, count);
    if (result < 0) return result;
    return std::equal(target.begin(), target.end(), context.codeImage.get() + start) ? 0
                                                                                     : ORDWIN_E_CRC;
}

// Checks one page of the image against the target.
int32_t VerifyPage(DebugContext& context, uint32_t page, bool report) {
    const uint32_t size = PageSize(context);
    const uint32_t start = page * size;
    if (!ChecksByCrc(context)) return CompareByReading(context, start, size);
    const uint32_t block = context.traits.pageCrc32 ? kCrc32Block : kCrcBlock;
    const uint32_t first = start / block;
    const uint32_t last = (start + size - 1) / block;
    for (uint32_t b = first; b <= last; ++b) {
        const int32_t result = CheckBlockCrc(context, b, report);
        if (result < 0) return result;
    }
    return 0;
}

// The pages that a programming pass writes.
std::vector<uint32_t> PagesToWrite(DebugContext& context) {
    const TargetState& state = Target(context);
    const uint32_t size = PageSize(context);
    const uint32_t pages = std::min<uint32_t>(context.record->codeSize / size, kPageFlagCount);
    std::vector<uint32_t> list;
    for (uint32_t page = 0; page < pages; ++page) {
        if (state.pageFlags[page] && page != ReservedPage(context)) list.push_back(page);
    }
    return list;
}

void Cancelled() {
    ShowMessage("Flash Download Cancelled!\r\nFlash state is now unknown!");
}

// A lock byte as the last lock-byte read left it in the code image.
uint8_t LockByte(const DebugContext& context, uint32_t address) {
    return address < kCodeImageSize ? context.codeImage[address] : 0xFF;
}

}  // namespace

int32_t ReadCodePage(DebugContext& context, uint32_t page) {
    const uint32_t size = PageSize(context);
    const uint64_t start = static_cast<uint64_t>(page) * size;
    // Pages beyond the code memory have nothing to read.
    if (start + size > context.record->codeSize || start + size > kCodeImageSize) return 0;
    return ReadCode(context, context.codeImage.get() + start, static_cast<uint32_t>(start), size);
}

int32_t StoreCodeByte(DebugContext& context, uint32_t address, uint8_t value, bool preserve,
                      std::string* warning) {
    const DeviceRecord& record = *context.record;
    if (InReserved(record, address)) {
        if (warning != nullptr) {
            *warning =
                Format("Warning! An attempt was made to modify address %04X\nwhich is restricted!",
                       address);
        }
        return ORDWIN_E_INVALIDARG;
    }
    const uint32_t page = address / PageSize(context);
    if (address >= kCodeImageSize || page >= kPageFlagCount) {
        ShowMessage(Format("Address %05XH lies outside the code memory image.\nDownload aborted.",
                           address));
        return ORDWIN_E_INVALIDARG;
    }
    TargetState& state = Target(context);
    state.lockByteFlag = IsWriteOnce(context) &&
                         (address == record.readLockAddress || address == record.writeLockAddress);
    if (page != ReservedPage(context)) {
        if (preserve && !state.pageFlags[page]) {
            const int32_t result = ReadCodePage(context, page);
            if (result < 0) return result;
        }
        state.pageFlags[page] = 1;
    }
    context.codeImage[address] = value;
    return 0;
}

int32_t StoreScratchByte(DebugContext& context, uint32_t address, uint8_t value) {
    const uint32_t size = std::min<uint32_t>(context.record->scratchSize, kScratchSize);
    if (address >= size) {
        ShowMessage(Format("Address %05XH lies outside the scratch-pad memory.\nDownload aborted.",
                           address));
        return ORDWIN_E_INVALIDARG;
    }
    context.scratch[address] = value;
    return 0;
}

void ClearPageFlags(DebugContext& context) {
    Target(context).pageFlags.fill(0);
}

int32_t CheckBlockCrc(DebugContext& context, uint32_t block, bool report) {
    bool readFailed = false;
    const int32_t result = CompareBlock(context, block, report, &readFailed);
    if (readFailed) ShowMessage("Firmware CRC Command failed.");
    return result;
}

int32_t ProgramFlaggedPages(DebugContext& context, bool quiet) {
    const uint32_t size = PageSize(context);
    const std::vector<uint32_t> pages = PagesToWrite(context);
    std::unique_ptr<ProgressDialog> progress;
    if (!quiet) {
        progress = std::make_unique<ProgressDialog>("Writing Flash blocks...", 0,
                                                    static_cast<int>(context.record->codeSize));
    }
    // The Zeltra needs no preparation: no flash cache, no flash interface, no
    // write mode.
    int32_t result = EnterWriteMode(context);
    if (result < 0) {
        ShowMessage(WithErrorText("Failed to set OTP write mode.\r\n", result));
        return result;
    }
    const bool erases = !IsWriteOnce(context) && !IsZeltra(context);
    std::vector<uint32_t> written;
    for (size_t i = 0; i < pages.size() && result >= 0;) {
        // Consecutive pages go out as one stream so packets stay full.
        size_t j = i + 1;
        while (j < pages.size() && pages[j] == pages[j - 1] + 1) ++j;
        if (erases) {
            for (size_t k = i; k < j; ++k) {
                const int32_t erased = context.commands->PageErase(static_cast<uint8_t>(pages[k]));
                if (erased < 0 &&
                    ShowMessage(Format("A flash failure has occured erasing page at address "
                                       "%04XH\r\nPossible locked sector.\r\nDo you want to "
                                       "continue programming?",
                                       pages[k] * size),
                                ORDWIN_MB_OKCANCEL_ICON) != ORDWIN_ID_OK) {
                    result = erased;
                    break;
                }
            }
            if (result < 0) break;
        }
        const uint32_t start = pages[i] * size;
        const auto count = static_cast<uint32_t>(j - i) * size;
        result = WriteCodeBytes(context, start, context.codeImage.get() + start, count);
        if (result == ORDWIN_E_STATUS_FLASH) {
            ShowMessage(
                Format("Failed writing flash sector at address %04XH\r\nPossible locked "
                       "sector.\r\n",
                       start));
        } else if (result < 0) {
            ShowMessage("Flash Write Command failed.");
        }
        if (result < 0) break;
        written.insert(written.end(), pages.begin() + static_cast<std::ptrdiff_t>(i),
                       pages.begin() + static_cast<std::ptrdiff_t>(j));
        if (progress) {
            progress->SetPosition(static_cast<int>(start + count));
            if (progress->Cancelled()) {
                Cancelled();
                result = ORDWIN_E_DOWNLOAD_CANCELLED;
            }
        }
        i = j;
    }
    const int32_t left = LeaveWriteMode(context);
    if (left < 0) {
        ShowMessage(WithErrorText("Failed to clear OTP write mode.\r\n", left));
        if (result >= 0) result = left;
    }
    if (result < 0) return result;

    if (progress) progress->SetStatus("Verifying Flash blocks...");
    for (uint32_t page : written) {
        result = VerifyPage(context, page, !quiet);
        if (result < 0) return result;
        Target(context).pageFlags[page] = 0;
        if (progress) progress->SetPosition(static_cast<int>((page + 1) * size));
    }
    return 0;
}

int32_t VerifyFlaggedPages(DebugContext& context, bool report) {
    int32_t result = 0;
    for (uint32_t page : PagesToWrite(context)) {
        result = VerifyPage(context, page, report);
        if (result < 0) break;
    }
    ClearPageFlags(context);
    return result;
}

int32_t WriteScratchImage(DebugContext& context) {
    const uint32_t size = std::min<uint32_t>(context.record->scratchSize, kScratchSize);
    if (size == 0) return ORDWIN_E_NOT_SUPPORTED;
    return WriteCodeBytes(context, context.record->scratchAddress, context.scratch.get(), size);
}

int32_t EraseUserCode(DebugContext& context) {
    if (IsWriteOnce(context)) return ORDWIN_E_NOT_SUPPORTED;
    const DeviceRecord& record = *context.record;
    const int32_t read = ReadLockBytes(context);
    if (read < 0) return read;
    if ((LockByte(context, record.readLockAddress) != 0xFF ||
         LockByte(context, record.writeLockAddress) != 0xFF) &&
        !context.dialogsDisabled &&
        ShowMessage("Part or all of program memory is protected.  This operation will erase the "
                    "entire program memory space, including protected sectors.  Are you sure you "
                    "want to continue?\n",
                    ORDWIN_MB_OKCANCEL_ICON) != ORDWIN_ID_OK) {
        return 0;
    }
    const int32_t result = context.commands->DeviceErase(context.traits.codeEraseMs);
    if (result < 0) return result;
    ClearPageFlags(context);
    return 0;
}

int32_t ReadLockBytes(DebugContext& context) {
    const DeviceRecord& record = *context.record;
    const uint32_t order[2] = {record.writeLockAddress, record.readLockAddress};
    int32_t result = 0;
    for (int i = 0; i < 2; ++i) {
        const uint32_t address = order[i];
        if (i == 0 && address == record.readLockAddress) continue;
        if (address >= kCodeImageSize) continue;
        if (IsZeltra(context) || address >= record.codeSize) {
            context.codeImage[address] = 0xFF;
            continue;
        }
        result = ReadCode(context, context.codeImage.get() + address, address, 1);
        if (result < 0) return result;
    }
    return result;
}

int32_t WriteLockBytes(DebugContext& context) {
    const DeviceRecord& record = *context.record;
    const uint8_t zero = 0;
    for (uint32_t address : {record.readLockAddress, record.writeLockAddress}) {
        // A device whose lock bytes lie outside its code memory cannot be
        // locked this way; saying so beats reporting a lock that never came.
        if (address >= record.codeSize) return ORDWIN_E_NOT_SUPPORTED;
        const int32_t result = WriteCodeBytes(context, address, &zero, 1);
        if (result < 0) return result;
        if (address < kCodeImageSize) context.codeImage[address] = 0;
    }
    return 0;
}

}  // namespace ordwin
