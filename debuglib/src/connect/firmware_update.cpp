#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <thread>
#include <vector>

#include "connect/connection.h"
#include "connect/firmware_check.h"
#include "connect/firmware_images.h"
#include "errors/messages.h"
#include "errors/progress.h"
#include "exports/debug_context.h"
#include "link/packet_sizes.h"
#include "ordwin.h"
#include "target/target_reset.h"
#include "zt/adapter_protocol.h"
#include "zt/serial_protocol.h"

namespace ordwin {
namespace {

FirmwareImageKind ImageFor(const DebugContext& context, int mode) {
    if (!context.link->IsUsb()) return FirmwareImageKind::kSerial;
    if (context.smallAdapter) {
        return context.usbProductId == zt::adapter::kProductSmall8045
                   ? FirmwareImageKind::kSmall8045
                   : FirmwareImageKind::kSmall8253;
    }
    return mode == zt::adapter::kUsbUpdateModeFirmware.mode ? FirmwareImageKind::kUsbUpdateMode
                                                            : FirmwareImageKind::kUsb;
}

// A firmware command whose one-byte reply must be 0.
int32_t Accepted(DebugContext& context, uint8_t op, uint8_t p1, uint8_t p2) {
    uint8_t reply = 0xFF;
    const int32_t result = context.commands->FirmwareCommand(op, p1, p2, &reply);
    if (result < 0) return result;
    return reply == 0 ? 0 : ORDWIN_E_INCORRECT_RESPONSE;
}

int32_t ReadFlashByte(DebugContext& context, uint32_t address, uint8_t* value) {
    return context.commands->FirmwareCommand(zt::adapter::kFirmwareReadFlash,
                                             static_cast<uint8_t>(address >> 8),
                                             static_cast<uint8_t>(address & 0xFF), value);
}

int32_t VerifyByCrc(DebugContext& context, const uint8_t* record) {
    uint8_t crc[2] = {};
    const int32_t result =
        context.commands->FirmwareCommand(zt::adapter::kFirmwarePageCrc, 0, 0, crc, 2);
    if (result < 0) {
        ShowMessage("Firmware CRC Command failed.");
        return result;
    }
    const uint8_t stored[2] = {record[1 + kFirmwarePageSize], record[2 + kFirmwarePageSize]};
    if (crc[0] != stored[0] || crc[1] != stored[1]) {
        char text[128];
        std::snprintf(text, sizeof text,
                      "CRC Comparison Failure!\nStored CRC = %02X%02X\nReturned CRC = %02X%02X\n",
                      stored[0], stored[1], crc[0], crc[1]);
        ShowMessage(text);
        return ORDWIN_E_CRC;
    }
    return 0;
}

int32_t VerifyByReadBack(DebugContext& context, const uint8_t* record) {
    const uint8_t page = record[0];
    for (int i = 0; i < kFirmwarePageSize; ++i) {
        uint8_t value = 0;
        const int32_t result =
            ReadFlashByte(context, static_cast<uint32_t>(page) * kFirmwarePageSize + i, &value);
        if (result < 0) return result;
        const uint8_t read = static_cast<uint8_t>(value ^ kFirmwareXorMask);
        if (read != record[1 + i]) {
            char text[128];
            std::snprintf(text, sizeof text,
                          "Read verification Failure on byte %02X of page %02X!\nRead:%02X "
                          "Expected:%02X\n",
                          i, page, read, record[1 + i]);
            ShowMessage(text);
            return ORDWIN_E_CRC;
        }
    }
    return 0;
}

int32_t WritePageRecord(DebugContext& context, const uint8_t* record) {
    int32_t result = Accepted(context, zt::adapter::kFirmwareSelectPage, record[0], 0);
    if (result >= 0) result = Accepted(context, zt::adapter::kFirmwarePrepare, 0, 0);
    if (result >= 0) {
        result = Accepted(context, zt::adapter::kFirmwareWrite, kFirmwarePageSize >> 8,
                          kFirmwarePageSize & 0xFF);
    }
    if (result < 0) return result;
    // The page itself goes out as raw reports, answered once at the end.
    AdapterLink& link = *context.link;
    for (int offset = 0; offset < kFirmwarePageSize; offset += zt::adapter::kReportSize) {
        result = link.SendPacket(zt::adapter::kReportSize, record + 1 + offset);
        if (result < 0) return result;
    }
    uint8_t reply = 0xFF;
    result = link.ReceiveReply(&reply, 1);
    if (result < 0) return result;
    if (reply != 0) return ORDWIN_E_INCORRECT_RESPONSE;
    const bool byCrc = link.IsUsb() || context.adapterMode > 2;
    return byCrc ? VerifyByCrc(context, record) : VerifyByReadBack(context, record);
}

// Puts the adapter's own power value into the last byte of its page in the
// image, so the update keeps it.
void PatchPowerValue(DebugContext& context, std::vector<uint8_t>& image, int mode) {
    const bool small = context.smallAdapter != 0;
    const bool lower = small || mode == zt::adapter::kUsbUpdateModeFirmware.mode;
    const int page = zt::adapter::kPowerValuePages[lower ? 0 : 1];
    uint8_t power = 0;
    const uint32_t lastByte = static_cast<uint32_t>(page + 1) * kFirmwarePageSize - 1;
    if (ReadFlashByte(context, lastByte, &power) < 0) {
        ShowMessage("The power value was not read from the firmware.");
        return;
    }
    if (small && context.usbProductId == zt::adapter::kProductSmall8045) return;
    for (size_t at = 0; at + kFirmwareRecordSize <= image.size(); at += kFirmwareRecordSize) {
        uint8_t* record = &image[at];
        if (record[0] != page) continue;
        uint8_t plain[kFirmwarePageSize];
        for (int i = 0; i < kFirmwarePageSize; ++i) {
            plain[i] = static_cast<uint8_t>(record[1 + i] ^ kFirmwareXorMask);
        }
        plain[kFirmwarePageSize - 1] = power;
        const uint16_t crc = FirmwarePageCrc(plain, kFirmwarePageSize);
        for (int i = 0; i < kFirmwarePageSize; ++i) {
            record[1 + i] = static_cast<uint8_t>(plain[i] ^ kFirmwareXorMask);
        }
        record[1 + kFirmwarePageSize] = static_cast<uint8_t>(crc >> 8);
        record[2 + kFirmwarePageSize] = static_cast<uint8_t>(crc & 0xFF);
        return;
    }
}

}  // namespace

int32_t SwitchSerialToUpdateMode(DebugContext& context) {
    if (const int32_t refused = RefuseUncarriedFirmware(context); refused < 0) return refused;
    const FirmwareImage records = CarriedFirmwareImage(FirmwareImageKind::kSerialModeSwitch);
    int32_t result = 0;
    for (size_t at = 0; at + kFirmwareRecordSize <= records.size && result >= 0;
         at += kFirmwareRecordSize) {
        result = WritePageRecord(context, records.records + at);
    }
    if (result < 0) return result;
    // The filler page goes without the prepare step and is not verified.
    result = Accepted(context, zt::adapter::kFirmwareSelectPage, zt::serial::kFillerPage, 0);
    if (result >= 0) {
        result = Accepted(context, zt::adapter::kFirmwareWrite, kFirmwarePageSize >> 8,
                          kFirmwarePageSize & 0xFF);
    }
    if (result < 0) return result;
    const FirmwareImage filler = CarriedFirmwareImage(FirmwareImageKind::kSerialFiller);
    AdapterLink& link = *context.link;
    for (size_t offset = 0; offset + zt::adapter::kReportSize <= filler.size;
         offset += zt::adapter::kReportSize) {
        result = link.SendPacket(zt::adapter::kReportSize, filler.records + offset);
        if (result < 0) return result;
    }
    uint8_t reply = 0xFF;
    result = link.ReceiveReply(&reply, 1);
    if (result < 0) return result;
    if (reply != 0) return ORDWIN_E_INCORRECT_RESPONSE;
    result = Accepted(context, zt::adapter::kFirmwareSelectPage, zt::serial::kCheckPage, 0);
    if (result < 0) return result;
    link.Wait(zt::serial::kModeSwitchPauseMs);
    result = ReadAdapterVersion(context, &context.adapterFirmwareVersion);
    if (result < 0) return result;
    return AdapterHandshake(context) < 0 ? ORDWIN_E_FIRMWARE_UPDATE : 0;
}

int32_t UpdateAdapterFirmware(DebugContext& context, int mode) {
    FirmwareExpectation expected{};
    if (!ExpectedFirmware(context, 1, &expected) || context.adapterType == 1) {
        ShowMessage("Valid Adapter selection has not been assigned yet.");
        return ORDWIN_E_STATUS_FAILED;
    }
    if (context.link->IsUsb() && !context.smallAdapter) {
        const zt::adapter::FirmwareRow& row =
            zt::adapter::UsbFirmwareFor(context.usbProductId, mode);
        expected.checkPage = row.checkPage;
        expected.version = row.version;
    }
    if (const int32_t refused = RefuseUncarriedFirmware(context); refused < 0) return refused;
    const FirmwareImage carried = CarriedFirmwareImage(ImageFor(context, mode));
    std::vector<uint8_t> image(carried.records, carried.records + carried.size);
    const int pages = static_cast<int>(image.size() / kFirmwareRecordSize);

    if (AdapterHandshake(context) < 0) {
        ShowMessage("Autobaud failure has occurred.\nFirmware could not be downloaded.");
        return ORDWIN_E_FIRMWARE_UPDATE;
    }
    std::optional<ProgressDialog> progress;
    if (!context.dialogsDisabled) progress.emplace("Updating the debug adapter", 0, pages - 1);
    if (context.link->IsUsb()) PatchPowerValue(context, image, mode);

    int32_t result = 0;
    for (int index = 0; index < pages; ++index) {
        result = WritePageRecord(context, &image[static_cast<size_t>(index) * kFirmwareRecordSize]);
        if (result < 0) break;
        if (progress) {
            progress->SetPosition(index + 1);
            if (progress->Cancelled()) break;
        }
    }
    progress.reset();
    if (result < 0) return result;

    // A cancelled update still checks what the adapter now runs.
    const bool small = context.link->IsUsb() && context.smallAdapter;
    if (!small && expected.checkPage >= 0) {
        result = Accepted(context, zt::adapter::kFirmwareSelectPage,
                          static_cast<uint8_t>(expected.checkPage), 0);
        if (result < 0) return ORDWIN_E_INCORRECT_RESPONSE;
    }
    result = ReadAdapterVersion(context, &context.adapterFirmwareVersion);
    if (result < 0 || context.adapterFirmwareVersion != expected.version) {
        ShowMessage("Incorrect Firmware version download!");
        return ORDWIN_E_INCORRECT_RESPONSE;
    }
    result = ResetTarget(context, 0, 1, 1);
    context.connected = result >= 0 ? 1 : 0;
    if (result < 0) ShowMessage("Target could not be reset.");
    return result;
}

}  // namespace ordwin
