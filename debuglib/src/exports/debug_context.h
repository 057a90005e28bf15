// The one process-wide object behind every export.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "devicedb/device_database.h"
#include "devicedb/device_record.h"
#include "link/adapter_link.h"
#include "link/target_commands.h"

namespace ordwin {

struct TargetState;

inline constexpr size_t kCodeImageSize = 131072;
inline constexpr size_t kRamImageSize = 512;
inline constexpr size_t kXramImageSize = 65536;
inline constexpr size_t kDebugRamSize = 65;
inline constexpr size_t kScratchSize = 1024;
// The area a halt and a disconnect clear.
inline constexpr size_t kHaltAreaSize = 4100;

inline constexpr uint8_t kRunStateRunning = 0;
inline constexpr uint8_t kRunStateHalted = 1;
inline constexpr uint8_t kRunStateUnknown = 0xFF;

inline constexpr uint8_t kProtocolJtag = 0;
inline constexpr uint8_t kProtocolC2 = 1;

struct DebugContext {
    DebugContext();
    ~DebugContext();
    DebugContext(const DebugContext&) = delete;
    DebugContext& operator=(const DebugContext&) = delete;

    // Creates the owned objects and buffers. A failed allocation shows its
    // message and stops; failsAt lets tests make the n-th buffer fail.
    bool Setup(const std::function<bool(int buffer)>& failsAt = {});
    bool Ready() const { return setupComplete; }

    int32_t connected = 0;
    int32_t adapterType = 3;
    uint8_t debugProtocol = kProtocolC2;
    int32_t dialogsDisabled = 0;
    int32_t multiConnectMode = 0;
    int32_t errorCounter = 0;
    int32_t comPort = 1;
    int32_t usbDeviceCount = 0;
    uint16_t usbProductId = 0;
    int32_t smallAdapter = 0;
    int32_t deviceChosen = 0;
    char adapterSerial[128] = {};
    int32_t usbTimeout = 0;
    int32_t connectOptionByte = 0;
    uint8_t c2ClockStrobe = 1;
    uint8_t adapterMode = 0;
    uint8_t adapterFirmwareVersion = 0;
    uint16_t hardwareId = 0;
    uint8_t hardwareRevision = 0;
    uint8_t debugLogicVersion = 0;
    uint8_t derivativeId = 0;
    uint8_t readExtendedId = 1;
    uint8_t presetDerivativeId = 0;
    uint8_t runState = kRunStateUnknown;
    uint8_t jtagChainA = 0;
    uint8_t jtagChainB = 0;
    uint16_t jtagChainC = 0;
    uint16_t jtagChainD = 0;
    int32_t reservedAccess = 0;
    int32_t zeltraConnectionState = 0;
    bool handshakeDone = false;
    DeviceTraits traits;

    std::unique_ptr<AdapterLink> link;
    std::unique_ptr<TargetCommands> commands;
    std::unique_ptr<DeviceRecord> record;

    std::unique_ptr<uint8_t[]> codeImage;
    std::unique_ptr<uint8_t[]> ramImage;
    std::unique_ptr<uint8_t[]> xramImage;
    std::unique_ptr<uint8_t[]> debugRam;
    std::unique_ptr<uint8_t[]> scratch;
    std::unique_ptr<uint8_t[]> haltArea;
    // Breakpoints, SFR shadow and download state (target/target_state.h).
    std::shared_ptr<TargetState> target;

    bool setupComplete = false;
};

// Anything but C2 is driven as JTAG.
inline bool IsJtag(const DebugContext& context) {
    return context.debugProtocol != kProtocolC2;
}

// The context of the loaded library; null before load and after unload.
DebugContext* Context();

}  // namespace ordwin
