// The adapter firmware images the library carries, one per kind of adapter.
// Each image is a run of page records: page number, 512 page bytes scrambled
// with kFirmwareXorMask, then the CRC of the plain bytes, high byte first.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zt/adapter_protocol.h"
#include "zt/crc.h"

namespace ordwin {

using zt::FirmwarePageCrc;
using zt::adapter::kFirmwarePageSize;
using zt::adapter::kFirmwareRecordSize;
using zt::adapter::kFirmwareXorMask;

// kSerialModeSwitch holds the records that put an older serial adapter into
// its update mode; kSerialFiller is the bare 512-byte page written after them.
enum class FirmwareImageKind {
    kSerial,
    kUsb,
    kUsbUpdateMode,
    kSmall8045,
    kSmall8253,
    kSerialModeSwitch,
    kSerialFiller
};

struct FirmwareImage {
    const uint8_t* records;
    size_t size;  // bytes, a whole number of records
};

// Built into the library at build time (tools/make_firmware_images.cpp).
FirmwareImage CarriedFirmwareImage(FirmwareImageKind kind);

}  // namespace ordwin
