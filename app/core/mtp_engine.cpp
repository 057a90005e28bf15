#include "mtp_engine.h"

#include <cstring>
#include <filesystem>
#include <fstream>

#include "file_helpers.h"
#include "nvm_engine.h"
#include "text.h"
#include "zeltra/mtp_writer.h"

namespace cindral {

namespace fw = zeltra::firmware;
namespace layout = zt::mtp_writer;

namespace {
constexpr std::size_t kPathBufferSize = 2048;
}

std::string MtpWriterResource() {
    return std::string(fw::kMtpWriterHex, fw::kMtpWriterHexSize);
}

MtpEngine::MtpEngine(IOrdwin& ordwin, IMessagePort& messages, ISleepPort& sleep,
                     OperationGate& gate)
    : ordwin_(ordwin), messages_(messages), sleep_(sleep), gate_(gate) {}

std::optional<mtp::Bytes> MtpEngine::Read() {
    OperationGate::Ticket ticket = gate_.TryEnter();
    if (!ticket) return std::nullopt;
    uint8_t window[kReadLength] = {};
    if (ordwin_.GetXRAMMemory(window, kWindow, kReadLength) < 0) return std::nullopt;
    mtp::Bytes bytes{};
    std::memcpy(bytes.data(), window, bytes.size());
    return bytes;
}

MtpEngine::Outcome MtpEngine::Fail(const std::u16string& text) {
    messages_.Ok(text, MsgIcon::Error);
    return {Status::kFailed, 0, text};
}

MtpEngine::Outcome MtpEngine::WriteBytes(const mtp::Bytes& bytes) {
    std::string writer = MtpWriterResource();
    const mtp::PatchError error =
        mtp::PatchWriter(writer, mtp::ContentDigits(mtp::FormatContent(bytes)));
    if (error != mtp::PatchError::kNone) return Fail(mtp::PatchErrorText(error));
    return Write(writer);
}

MtpEngine::Outcome MtpEngine::Write(const std::string& patchedWriter) {
    OperationGate::Ticket ticket = gate_.TryEnter(OperationGate::Work::kMtpWrite);
    if (!ticket) return {};
    const TemporaryFile imageFile(kImageName);
    {
        std::ofstream out(kImageName, std::ios::binary | std::ios::trunc);
        if (out.is_open()) out << patchedWriter;
        if (!out.is_open() || !out.flush())
            return Fail(WidenText(Format("Failed to open hex file: %s\n", kImageName)));
    }
    char buffer[kPathBufferSize] = {};
    std::strncpy(buffer, kImageName, sizeof buffer - 1);
    if (ordwin_.Download(buffer, 0, 0, 0, -1, 0, 0) < 0) return Fail(u"File Download failed!\n");
    RemoveFile(WidenText(kImageName), messages_);
    if (ordwin_.WritePC(layout::kEntry) < 0) return Fail(u"Writing the PC failed!\n");
    // A writer that never starts must not leave an earlier write's result behind.
    uint8_t cleared[2] = {0, 0};
    if (ordwin_.SetRAMMemory(cleared, kResultAddress, 2) < 0)
        return Fail(u"Clearing the write result failed!\n");
    if (ordwin_.SetTargetGo() < 0) return Fail(u"Setting the target to run failed!\n");
    if (onWait) onWait(true);
    sleep_.Sleep(kRunMs);
    if (onWait) onWait(false);
    if (ordwin_.SetTargetHalt() < 0) return Fail(u"Halting the target failed!\n");
    // Only a writer parked in its final loop has left a result worth showing.
    uint32_t pc = 0;
    if (ordwin_.ReadPC(&pc) < 0) return Fail(u"Reading the PC failed!\n");
    if (pc < layout::kIdleBegin || pc >= layout::kIdleEnd) {
        const std::u16string text =
            u"MTP write timed out. The MTP content is unknown; read it back.";
        messages_.Ok(text, MsgIcon::Error);
        return {Status::kTimedOut, 0, text};
    }
    uint8_t result[2] = {};
    if (ordwin_.GetRAMMemory(result, kResultAddress, 2) < 0)
        return Fail(u"Error reading result from RAM!\n");
    const std::u16string text = mtp::ResultMessage(result[0]);
    messages_.Ok(
        text, result[0] == zt::mtp_writer::kResultSuccess ? MsgIcon::Information : MsgIcon::Error);
    return {Status::kFinished, result[0], text};
}

std::optional<std::string> ReadMtpHexFile(const std::u16string& path, IMessagePort& messages) {
    // A content file is a few lines; anything past this is no MTP file.
    constexpr std::uintmax_t kLargest = 1 << 20;
    std::ifstream in;
    if (IsRegularFile(path)) in.open(ToPath(path), std::ios::binary);
    if (!in.is_open()) {
        messages.Ok(u"Failed to open hex file");
        return std::nullopt;
    }
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(ToPath(path), ec);
    if (ec || size > kLargest) {
        messages.Ok(u"Failed to allocate memory for hex file.\n");
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(size));
    if (static_cast<std::uintmax_t>(in.gcount()) != size) {
        messages.Ok(u"Failed to read hex file into buffer.\n");
        return std::nullopt;
    }
    return text;
}

bool WriteMtpHexFile(const std::u16string& path, const std::string& text, IMessagePort& messages) {
    std::ofstream out(NarrowText(path, kPathBufferSize), std::ios::binary | std::ios::trunc);
    if (out.is_open()) out << text;
    if (!out.is_open() || !out.flush()) {
        messages.ShowMessage(u"Unable to create new hex file.", u"Error!", MsgButtons::Ok,
                             MsgIcon::None);
        return false;
    }
    return true;
}

}  // namespace cindral
