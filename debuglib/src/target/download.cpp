#include "target/download.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "connect/connection.h"
#include "errors/messages.h"
#include "errors/progress.h"
#include "exports/debug_context.h"
#include "ordwin.h"
#include "target/breakpoints.h"
#include "target/hex_reader.h"
#include "target/omf_reader.h"
#include "target/page_programming.h"
#include "target/target_reset.h"
#include "target/target_state.h"

namespace ordwin {
namespace {

// Larger files cannot be program images of any device this library knows.
constexpr long kMaxFileSize = 64L * 1024 * 1024;

std::string FormatText(const char* format, const std::string& text) {
    std::vector<char> buffer(text.size() + 256);
    std::snprintf(buffer.data(), buffer.size(), format, text.c_str());
    return buffer.data();
}

std::string FormatAddress(const char* format, uint32_t address) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, address);
    return buffer;
}

// Only regular files: opening a FIFO or a device could block for ever.
bool IsRegularFile(const char* path) {
    struct stat info {};
    return ::stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

struct FileContent {
    enum { kRead, kCannotOpen, kTooLarge } status = kCannotOpen;
    std::string bytes;
};

// The whole file. One too large to be a program image is not read: it is
// refused as a file of no known format, not as one that cannot be opened.
FileContent ReadFile(const char* path) {
    FileContent out;
    if (!IsRegularFile(path)) return out;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return out;
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
    if (length > kMaxFileSize) out.status = FileContent::kTooLarge;
    if (length < 0 || length > kMaxFileSize || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        return out;
    }
    out.bytes.resize(static_cast<size_t>(length));
    const size_t got = length > 0 ? std::fread(out.bytes.data(), 1, out.bytes.size(), file) : 0;
    std::fclose(file);
    out.bytes.resize(got);
    out.status = FileContent::kRead;
    return out;
}

bool CanOpen(const char* path) {
    if (!IsRegularFile(path)) return false;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

bool LooksLikeHex(const std::string& content) {
    return (!content.empty() && content[0] == ':') || (content.size() > 1 && content[1] == ':');
}

struct LoadTarget {
    bool scratch = false;
    bool preserve = false;
    int bank = -1;
};

int32_t StoreByte(DebugContext& context, const LoadTarget& target, uint32_t address, uint8_t value,
                  std::string* warning) {
    if (target.scratch) return StoreScratchByte(context, address, value);
    return StoreCodeByte(context, address, value, target.preserve, warning);
}

int32_t ReadHexFile(DebugContext& context, const std::string& path, const std::string& content,
                    const LoadTarget& target, bool quiet) {
    if (path.empty()) {
        ShowMessage("Invalid filename.\nDownload aborted.");
        return ORDWIN_E_INVALIDARG;
    }
    if (content.empty()) ShowMessage("Unable to get length of file:\nFile Pointer problem.");
    std::unique_ptr<ProgressDialog> progress;
    if (!quiet) {
        progress = std::make_unique<ProgressDialog>(FormatText("Preparing to download: \n%s", path),
                                                    0, static_cast<int>(content.size()));
    }
    int position = 0;
    HexReadCallbacks callbacks;
    callbacks.store = [&](uint32_t address, uint8_t value) {
        return StoreByte(context, target, address, value, nullptr);
    };
    callbacks.cancelled = [&](int advance) {
        if (!progress) return false;
        if (progress->Cancelled()) return true;
        position += advance;
        progress->SetPosition(position);
        return false;
    };
    const HexReadOutcome outcome =
        ReadIntelHex(content, target.bank, context.record->familyCode, callbacks);
    if (outcome.code == ORDWIN_E_DOWNLOAD_CANCELLED) {
        ShowMessage("Flash Download cancelled.\nFlash state is now unknown.");
    } else if (outcome.code == ORDWIN_E_READ_FAILED) {
        ShowMessage(FormatAddress(
            "File Read failed at address %04XH.\nFlash Download Aborted.\nFlash state is now "
            "unknown.",
            outcome.loadAddress));
    }
    return outcome.code;
}

int32_t ReadOmfFile(DebugContext& context, const std::string& content, OmfKind kind,
                    const LoadTarget& target, bool quiet) {
    std::vector<OmfSegment> segments;
    const int32_t parsed = ParseOmf(content, kind, &segments);
    size_t total = 0;
    for (const OmfSegment& segment : segments) total += segment.bytes.size();
    if (parsed < 0 || total == 0) {
        ShowMessage("OMF file appears to be corrupt!");
        // Nothing to load is no success: the target would run what it had.
        return ORDWIN_E_READ_FAILED;
    }
    std::unique_ptr<ProgressDialog> progress;
    if (!quiet) {
        progress =
            std::make_unique<ProgressDialog>("Downloading OMF file...", 0, static_cast<int>(total));
    }
    int position = 0;
    for (const OmfSegment& segment : segments) {
        for (size_t i = 0; i < segment.bytes.size(); ++i) {
            std::string warning;
            const uint32_t address = segment.address + static_cast<uint32_t>(i);
            const int32_t result = StoreByte(context, target, address, segment.bytes[i], &warning);
            if (result >= 0) continue;
            // Only a restricted address may be skipped; anything else ends it.
            if (warning.empty()) return result;
            if (ShowMessage(warning + "\n\rContinue download?", ORDWIN_MB_OKCANCEL_ICON) !=
                ORDWIN_ID_OK) {
                ShowMessage("Flash Download Cancelled!\r\nFlash state is now unknown!",
                            ORDWIN_MB_OK | 0x10);
                return ORDWIN_E_DOWNLOAD_CANCELLED;
            }
        }
        if (progress) {
            position += static_cast<int>(segment.bytes.size());
            progress->SetPosition(position);
            if (progress->Cancelled()) {
                ShowMessage("Flash Download Cancelled!\r\nFlash state is now unknown!",
                            ORDWIN_MB_OK | 0x10);
                return ORDWIN_E_DOWNLOAD_CANCELLED;
            }
        }
    }
    return 0;
}

// Steps 4 on of the download; any failure leaves the target disconnected.
int32_t LoadAndProgram(DebugContext& context, const std::string& path, const LoadTarget& target,
                       bool quiet) {
    const FileContent file = ReadFile(path.c_str());
    if (file.status == FileContent::kCannotOpen) {
        ShowMessage(FormatText("Could not open file '%s'.\nDownload aborted.", path));
        return static_cast<int32_t>(0x80070006);
    }
    const std::string& content = file.bytes;
    int32_t result;
    const OmfKind kind = file.status == FileContent::kRead ? DetectOmf(content) : OmfKind::kNotOmf;
    if (kind != OmfKind::kNotOmf) {
        result = ReadOmfFile(context, content, kind, target, quiet);
    } else if (file.status == FileContent::kRead && LooksLikeHex(content)) {
        result = ReadHexFile(context, path, content, target, quiet);
    } else {
        ShowMessage("File entered is not a known format.\r\nDownload aborted.");
        return ORDWIN_E_INVALID_PATH;
    }
    if (result < 0) return result;
    const int32_t written =
        target.scratch ? WriteScratchImage(context) : ProgramFlaggedPages(context, quiet);
    if (written < 0) return ORDWIN_E_FAIL;
    TargetState& state = Target(context);
    state.downloadComplete = true;
    return 0;
}

}  // namespace

int32_t DownloadFile(DebugContext& context, const char* path, const DownloadRequest& request) {
    if (!CanOpen(path)) {
        ShowMessage("File not found.\r\nDownload aborted.");
        return ORDWIN_E_INVALID_PATH;
    }
    if (request.eraseAndReset) {
        if (!request.scratch && EraseUserCode(context) < 0) {
            ShowMessage("User Code Erase Error.\r\nDownload aborted.");
            SetConnectionState(context, LinkState::kClose);
            return ORDWIN_E_ERASE;
        }
        const int32_t reset = ResetTarget(context, 0, 1, 1);
        if (reset < 0) {
            ShowMessage(
                "Target could not be reset.\r\nConfirm cable and power connections and retry.");
            return reset;
        }
        // The reset cleared the breakpoint hardware; the table stays, so the
        // hardware follows it again.
        const uint16_t used = Target(context).breakpoints.usedMask;
        if (used != 0) ProgramBreakpoints(context, used);
    }
    TargetState& state = Target(context);
    state.downloadComplete = false;
    state.lastDownload = path;
    LoadTarget target;
    target.scratch = request.scratch;
    target.preserve = request.preserve;
    target.bank = request.bank;
    int32_t result = LoadAndProgram(context, path, target, request.quiet);
    if (result == ORDWIN_E_NO_RESPONSE) result = ORDWIN_E_NOT_CONNECTED;
    if (state.downloadComplete) {
        if (request.lock && WriteLockBytes(context) < 0) return ORDWIN_E_FLASH_LOCK;
        return result;
    }
    SetConnectionState(context, LinkState::kClose);
    return result;
}

int32_t VerifyDownload(DebugContext& context, const char* path, bool quiet, int bank) {
    const FileContent file = ReadFile(path);
    if (file.status == FileContent::kCannotOpen) {
        ShowMessage("File not found.\r\nDownload aborted.");
        return ORDWIN_E_INVALID_PATH;
    }
    const std::string* content = &file.bytes;
    if (file.status != FileContent::kRead || !LooksLikeHex(*content)) {
        ShowMessage("File entered is not a Hex file.\r\nDownload aborted.");
        return ORDWIN_E_INVALID_PATH;
    }
    ClearPageFlags(context);
    LoadTarget target;
    target.preserve = true;
    target.bank = bank;
    int32_t result = ReadHexFile(context, path, *content, target, quiet);
    if (result >= 0) {
        result = VerifyFlaggedPages(context, !quiet);
    } else {
        ClearPageFlags(context);
    }
    if (result == ORDWIN_E_NO_RESPONSE) result = ORDWIN_E_NOT_CONNECTED;
    return result;
}

int32_t WriteCodeMemory(DebugContext& context, const uint8_t* buffer, uint32_t start,
                        uint32_t count, bool quiet) {
    ClearPageFlags(context);
    for (uint32_t i = 0; i < count; ++i) {
        const int32_t result = StoreCodeByte(context, start + i, buffer[i], true, nullptr);
        if (result < 0) {
            ClearPageFlags(context);
            return result;
        }
    }
    const int32_t result = ProgramFlaggedPages(context, quiet);
    if (result < 0) ClearPageFlags(context);
    return result;
}

int32_t WriteScratchMemory(DebugContext& context, const uint8_t* buffer, uint32_t start,
                           uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) context.scratch[start + i] = buffer[i];
    return WriteScratchImage(context);
}

}  // namespace ordwin
