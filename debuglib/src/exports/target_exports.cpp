// The exports of execution control, memory and download: argument rules and
// the connected context first, then the target operation.
#include <cstdint>

#include "exports/debug_context.h"
#include "exports/export_rules.h"
#include "ordwin.h"
#include "target/breakpoints.h"
#include "target/download.h"
#include "target/execution.h"
#include "target/memory_access.h"
#include "target/sfr_access.h"

using namespace ordwin;

namespace {

// The 16-bit XDATA address space; past its top an address would wrap.
constexpr uint64_t kXdataSpace = 0x10000;

bool BadBuffer(const void* buffer, unsigned int count) {
    return buffer == nullptr || count == 0;
}

uint64_t End(unsigned int start, unsigned int count) {
    return static_cast<uint64_t>(start) + count;  // one past the last byte
}

// The checks shared by a read export and its write export: 0 to go on with
// ctx set, else the code to return.
int CheckRam(const uint8_t* buffer, unsigned int start, unsigned int count, DebugContext*& ctx) {
    if (BadBuffer(buffer, count)) return ORDWIN_E_INVALIDARG;
    ctx = ReadyContext();
    if (ctx != nullptr && End(start, count) > ctx->record->internalRamSize) {
        return ORDWIN_E_INVALIDARG;
    }
    if (ctx == nullptr || !ctx->connected) return ORDWIN_E_NOT_CONNECTED;
    return 0;
}

int CheckXram(const uint8_t* buffer, unsigned int start, unsigned int count, DebugContext*& ctx) {
    if (BadBuffer(buffer, count)) return ORDWIN_E_INVALIDARG;
    ctx = ConnectedContext();
    if (ctx == nullptr) return ORDWIN_E_NOT_CONNECTED;
    if (ctx->record->externalRamSize == 0) return ORDWIN_E_NO_XRAM;
    if (End(start, count) > kXdataSpace) return ORDWIN_E_INVALIDARG;
    return 0;
}

int CheckSfrs(const uint8_t* buffer, unsigned int start, unsigned int count, DebugContext*& ctx) {
    if (BadBuffer(buffer, count)) return ORDWIN_E_INVALIDARG;
    ctx = ConnectedContext();
    if (ctx == nullptr) return ORDWIN_E_NOT_CONNECTED;
    if (start < 0x80 || End(start, count) > 0x100) return ORDWIN_E_INVALIDARG;
    return 0;
}

}  // namespace

extern "C" {

// --- execution control --------------------------------------------------

ORDWIN_API int SetTargetHalt(void) {
    DebugContext* ctx = ConnectedContext();
    // Halting a target that is not there is not an error.
    if (ctx == nullptr) return 0;
    return HaltTarget(*ctx);
}

ORDWIN_API int SetTargetGo(void) {
    DebugContext* ctx = ConnectedContext();
    if (ctx == nullptr) return ORDWIN_E_NOT_CONNECTED;
    return RunTarget(*ctx);
}

ORDWIN_API int TargetStep(void) {
    DebugContext* ctx = ConnectedContext();
    if (ctx == nullptr) return ORDWIN_E_NOT_CONNECTED;
    return StepTarget(*ctx);
}

ORDWIN_API int TargetReset(void) {
    DebugContext* ctx = ConnectedContext();
    if (ctx == nullptr) return ORDWIN_E_NOT_CONNECTED;
    return ResetTargetAndBreakpoints(*ctx);
}

ORDWIN_API int GetTargetStatus(int* status) {
    if (status == nullptr) return ORDWIN_E_INVALIDARG;
    DebugContext* ctx = ConnectedContext();
    if (ctx == nullptr) return ORDWIN_E_NOT_CONNECTED;
    return PollTargetStatus(*ctx, status);
}

ORDWIN_API int ReadPC(uint32_t* pc) {
    if (pc == nullptr) return ORDWIN_E_INVALIDARG;
    DebugContext* ctx = ConnectedContext();
    if (ctx == nullptr) return ORDWIN_E_NOT_CONNECTED;
    if (ctx->runState != kRunStateHalted) return ORDWIN_E_RUN_STATE;
    return ReadProgramCounter(*ctx, pc);
}

ORDWIN_API int WritePC(unsigned int address) {
    DebugContext* ctx = ConnectedContext();
    if (ctx == nullptr) return ORDWIN_E_NOT_CONNECTED;
    if (ctx->runState != kRunStateHalted) return ORDWIN_E_RUN_STATE;
    const DeviceRecord& record = *ctx->record;
    if (InReserved(record, address) || address > record.codeSize) return ORDWIN_E_INVALIDARG;
    return WriteProgramCounter(*ctx, address);
}

ORDWIN_API int SetClrBP(int set, unsigned int address) {
    DebugContext* ctx = ReadyContext();
    if (ctx != nullptr) {
        const DeviceRecord& record = *ctx->record;
        if (InReserved(record, address)) return ORDWIN_E_BP_RESERVED;
        if (address > record.codeSize) return ORDWIN_E_BP_RANGE;
    }
    if (ctx == nullptr || !ctx->connected) return ORDWIN_E_NOT_CONNECTED;
    if (ctx->runState == kRunStateRunning) return ORDWIN_E_RUN_STATE;
    return SetClearBreakpoint(*ctx, set != 0, address);
}

// --- memory ---------------------------------------------------------------

ORDWIN_API int GetRAMMemory(uint8_t* buffer, unsigned int start, unsigned int count) {
    DebugContext* ctx = nullptr;
    if (const int refused = CheckRam(buffer, start, count, ctx)) return refused;
    return ReadRam(*ctx, buffer, start, count);
}

ORDWIN_API int SetRAMMemory(uint8_t* buffer, unsigned int start, unsigned int count) {
    DebugContext* ctx = nullptr;
    if (const int refused = CheckRam(buffer, start, count, ctx)) return refused;
    return WriteRam(*ctx, buffer, start, count);
}

ORDWIN_API int GetXRAMMemory(uint8_t* buffer, unsigned int start, unsigned int count) {
    DebugContext* ctx = nullptr;
    if (const int refused = CheckXram(buffer, start, count, ctx)) return refused;
    return ReadXram(*ctx, buffer, start, count);
}

ORDWIN_API int SetXRAMMemory(uint8_t* buffer, unsigned int start, unsigned int count) {
    DebugContext* ctx = nullptr;
    if (const int refused = CheckXram(buffer, start, count, ctx)) return refused;
    return WriteXram(*ctx, buffer, start, count);
}

ORDWIN_API int GetCodeMemory(uint8_t* buffer, unsigned int start, unsigned int count) {
    if (BadBuffer(buffer, count)) return ORDWIN_E_INVALIDARG;
    DebugContext* ctx = ConnectedContext();
    if (ctx == nullptr) return ORDWIN_E_NOT_CONNECTED;
    const DeviceRecord& record = *ctx->record;
    const uint64_t end = End(start, count);
    if (end > record.codeSize) return ORDWIN_E_INVALIDARG;
    if (!ctx->reservedAccess && start <= record.reservedEnd && end > record.reservedStart) {
        return ORDWIN_E_INVALIDARG;
    }
    if (ctx->runState != kRunStateHalted) return ORDWIN_E_NOT_HALTED;
    return ReadCode(*ctx, buffer, start, count);
}

ORDWIN_API int SetCodeMemory(uint8_t* buffer, unsigned int start, unsigned int count,
                             int disableDialogs) {
    if (BadBuffer(buffer, count) || !IsFlag(disableDialogs)) return ORDWIN_E_INVALIDARG;
    DebugContext* ctx = ReadyContext();
    if (ctx != nullptr) ctx->dialogsDisabled = disableDialogs;
    if (ctx == nullptr || !ctx->connected) return ORDWIN_E_NOT_CONNECTED;
    const DeviceRecord& record = *ctx->record;
    const uint64_t end = End(start, count);
    if (end > record.codeSize || end > kCodeImageSize) return ORDWIN_E_INVALIDARG;
    if (start <= record.reservedEnd && end > record.reservedStart) return ORDWIN_E_INVALIDARG;
    if (ctx->runState != kRunStateHalted) return ORDWIN_E_NOT_HALTED;
    return WriteCodeMemory(*ctx, buffer, start, count, disableDialogs != 0);
}

ORDWIN_API int GetSFRMemory(uint8_t* buffer, unsigned int start, unsigned int count) {
    DebugContext* ctx = nullptr;
    if (const int refused = CheckSfrs(buffer, start, count, ctx)) return refused;
    return ReadSfrShadow(*ctx, buffer, start, count);
}

ORDWIN_API int SetSFRMemory(uint8_t* buffer, unsigned int start, unsigned int count) {
    DebugContext* ctx = nullptr;
    if (const int refused = CheckSfrs(buffer, start, count, ctx)) return refused;
    return WriteSfrShadow(*ctx, buffer, start, count);
}

ORDWIN_API int GetScratchPadMemory(uint8_t* buffer, unsigned int start, unsigned int count) {
    if (BadBuffer(buffer, count)) return ORDWIN_E_INVALIDARG;
    DebugContext* ctx = ConnectedContext();
    if (ctx == nullptr) return ORDWIN_E_NOT_CONNECTED;
    const DeviceRecord& record = *ctx->record;
    if (record.scratchSize == 0) return ORDWIN_E_NOT_SUPPORTED;
    if (End(start, count) > record.scratchSize) return ORDWIN_E_INVALIDARG;
    if (ctx->runState != kRunStateHalted) return ORDWIN_E_NOT_HALTED;
    return ReadCode(*ctx, buffer, record.scratchAddress + start, count);
}

ORDWIN_API int SetScratchPadMemory(uint8_t* buffer, unsigned int start, unsigned int count,
                                   int disableDialogs) {
    if (BadBuffer(buffer, count) || !IsFlag(disableDialogs)) return ORDWIN_E_INVALIDARG;
    DebugContext* ctx = ReadyContext();
    if (ctx != nullptr) ctx->dialogsDisabled = disableDialogs;
    if (ctx == nullptr || !ctx->connected) return ORDWIN_E_NOT_CONNECTED;
    const DeviceRecord& record = *ctx->record;
    if (record.scratchSize == 0) return ORDWIN_E_NOT_SUPPORTED;
    const uint64_t end = End(start, count);
    if (end > record.scratchSize || end > kScratchSize) return ORDWIN_E_INVALIDARG;
    if (ctx->runState != kRunStateHalted) return ORDWIN_E_NOT_HALTED;
    return WriteScratchMemory(*ctx, buffer, start, count);
}

ORDWIN_API int GetSFRByte(unsigned int address, uint8_t* value) {
    if (value == nullptr) return ORDWIN_E_INVALIDARG;
    DebugContext* ctx = ConnectedContext();
    if (ctx == nullptr) return ORDWIN_E_NOT_CONNECTED;
    return ReadDirect(*ctx, static_cast<uint8_t>(address), value);
}

ORDWIN_API int SetSFRByte(unsigned int address, uint8_t value) {
    DebugContext* ctx = ConnectedContext();
    if (ctx == nullptr) return ORDWIN_E_NOT_CONNECTED;
    return WriteDirect(*ctx, static_cast<uint8_t>(address), value);
}

ORDWIN_API int IndGetSFRByte(unsigned int address, uint8_t* value) {
    if (value == nullptr) return ORDWIN_E_INVALIDARG;
    DebugContext* ctx = ReadyContext();
    if (ctx == nullptr) return kNoContext;
    return ReadC2Register(*ctx, static_cast<uint8_t>(address), value);
}

ORDWIN_API int IndSetSFRByte(unsigned int address, uint8_t value) {
    DebugContext* ctx = ReadyContext();
    if (ctx == nullptr) return kNoContext;
    return WriteC2Register(*ctx, static_cast<uint8_t>(address), value);
}

ORDWIN_API int GetPageCRC(int page, uint8_t* crc) {
    if (crc == nullptr) return ORDWIN_E_INVALIDARG;
    DebugContext* ctx = ConnectedContext();
    if (ctx == nullptr) return ORDWIN_E_NOT_CONNECTED;
    return ReadPageCrc(*ctx, static_cast<uint8_t>(page), crc);
}

// --- download -------------------------------------------------------------

ORDWIN_API int Download(char* fileName, int eraseAndReset, int disableDialogs, int scratchTarget,
                        int bank, int lock, int preserve) {
    if (!IsFlag(disableDialogs)) return ORDWIN_E_INVALIDARG;
    DebugContext* ctx = ReadyContext();
    if (ctx != nullptr) ctx->dialogsDisabled = disableDialogs;
    if (!IsFlag(eraseAndReset) || !IsFlag(scratchTarget) || bank == 0 || fileName == nullptr) {
        return ORDWIN_E_INVALIDARG;
    }
    if (ctx == nullptr || !ctx->connected) return ORDWIN_E_NOT_CONNECTED;
    DownloadRequest request;
    request.eraseAndReset = eraseAndReset != 0;
    request.quiet = disableDialogs != 0;
    request.scratch = scratchTarget != 0;
    request.bank = bank;
    request.lock = lock != 0;
    request.preserve = preserve != 0;
    return DownloadFile(*ctx, fileName, request);
}

ORDWIN_API int VerifyFlashDownload(char* fileName, int disableDialogs, int bank) {
    if (!IsFlag(disableDialogs)) return ORDWIN_E_INVALIDARG;
    DebugContext* ctx = ReadyContext();
    if (ctx != nullptr) ctx->dialogsDisabled = disableDialogs;
    if (fileName == nullptr) return ORDWIN_E_INVALIDARG;
    if (ctx == nullptr || !ctx->connected) return ORDWIN_E_NOT_CONNECTED;
    return VerifyDownload(*ctx, fileName, disableDialogs != 0, bank);
}

}  // extern "C"
