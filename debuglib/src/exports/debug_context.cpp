#include "exports/debug_context.h"

#include <cstring>
#include <new>

#include "errors/messages.h"

namespace ordwin {
namespace {

struct BufferSpec {
    std::unique_ptr<uint8_t[]> DebugContext::*member;
    size_t size;
    uint8_t fill;
    size_t fillLength;
    const char* failureMessage;
};

const BufferSpec kBuffers[] = {
    {&DebugContext::codeImage, kCodeImageSize, 0xFF, kCodeImageSize,
     "Could not allocate required memory for codespace buffer."},
    {&DebugContext::ramImage, kRamImageSize, 0xFF, kRamImageSize,
     "Could not allocate required memory for RAM buffer."},
    {&DebugContext::xramImage, kXramImageSize, 0xFF, kXramImageSize,
     "Could not allocate required memory for XRAM buffer."},
    {&DebugContext::debugRam, kDebugRamSize, 0x00, kDebugRamSize,
     "Could not allocate required memory for debug ram buffer."},
    {&DebugContext::scratch, kScratchSize, 0x00, kScratchSize,
     "Could not allocate required memory for scratch buffer."},
};

}  // namespace

DebugContext::DebugContext() {
    BindMessageContext(&dialogsDisabled);
}

DebugContext::~DebugContext() {
    UnbindMessageContext(&dialogsDisabled);
}

bool DebugContext::Setup(const std::function<bool(int buffer)>& failsAt) {
    setupComplete = false;
    link = std::make_unique<AdapterLink>(*this);
    commands = std::make_unique<TargetCommands>(*link);
    int index = 0;
    for (const BufferSpec& buf : kBuffers) {
        std::unique_ptr<uint8_t[]> buffer;
        if (!(failsAt && failsAt(index))) buffer.reset(new (std::nothrow) uint8_t[buf.size]);
        if (!buffer) {
            ShowMessage(buf.failureMessage);
            return false;
        }
        std::memset(buffer.get(), 0, buf.size);
        std::memset(buffer.get(), buf.fill, buf.fillLength);
        this->*buf.member = std::move(buffer);
        ++index;
    }
    haltArea.reset(new (std::nothrow) uint8_t[kHaltAreaSize]());
    if (!haltArea) return false;
    connected = 0;
    record = std::make_unique<DeviceRecord>();
    DeviceDatabase::FillDefaults(*record, traits);
    setupComplete = true;
    return true;
}

}  // namespace ordwin
