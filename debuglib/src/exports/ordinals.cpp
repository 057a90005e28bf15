// Binding by ordinal: each export keeps the number hosts link it by.
#include "ordwin.h"

namespace {

template <typename F>
void* Address(F* function) {
    return reinterpret_cast<void*>(function);
}

void* const kByOrdinal[] = {
    nullptr,
    Address(&Connect),                     // 1
    Address(&Download),                    // 2
    Address(&Disconnect),                  // 3
    Address(&GetDerivativeID),             // 4
    Address(&SetTargetGo),                 // 5
    Address(&GetXRAMMemory),               // 6
    Address(&GetRAMMemory),                // 7
    Address(&GetCodeMemory),               // 8
    Address(&SetCodeMemory),               // 9
    Address(&SetXRAMMemory),               // 10
    Address(&SetRAMMemory),                // 11
    Address(&Connected),                   // 12
    Address(&SetTargetHalt),               // 13
    Address(&GetHardwareID),               // 14
    Address(&FLASHErase),                  // 15
    Address(&SetJTAGDeviceAndConnect),     // 16
    Address(&BaudRateLookup),              // 17
    Address(&ISupportBanking),             // 18
    Address(&GetSAFirmwareVersion),        // 19
    Address(&GetDLLVersion),               // 20
    Address(&GetSFRMemory),                // 21
    Address(&SetSFRMemory),                // 22
    Address(&TargetStep),                  // 23
    Address(&ReadPC),                      // 24
    Address(&WritePC),                     // 25
    Address(&SetClrBP),                    // 26
    Address(&GetTargetStatus),             // 27
    Address(&TargetReset),                 // 28
    Address(&SetAdapter),                  // 29
    Address(&ConnectUSB),                  // 30
    Address(&DisconnectUSB),               // 31
    Address(&USBDebugDevices),             // 32
    Address(&GetUSBDeviceSN),              // 33
    Address(&GetUSBDevice),                // 34
    Address(&SetUSBDevice),                // 35
    Address(&FLASHEraseUSB),               // 36
    Address(&SetJTAGDeviceAndConnectUSB),  // 37
    Address(&GetUSBFirmwareVersion),       // 38
    Address(&GetUSBDLLVersion),            // 39
    Address(&GetDebugLogicVersion),        // 40
    Address(&GetDeviceName),               // 41
    Address(&SetSFRByte),                  // 42
    Address(&GetSFRByte),                  // 43
    Address(&IndSetSFRByte),               // 44
    Address(&IndGetSFRByte),               // 45
    Address(&GetErrorMsg),                 // 46
    Address(&SetAppName),                  // 47
    Address(&GetScratchPadMemory),         // 48
    Address(&SetScratchPadMemory),         // 49
    Address(&VPPControl),                  // 50
    Address(&IRScan),                      // 51
    Address(&DRScan),                      // 52
    Address(&SetJTAGState),                // 53
    Address(&JTAGScanData),                // 54
    Address(&JtagTckCycles),               // 55
    Address(&VerifyFlashDownload),         // 56
    Address(&SetZeltraConnectionState),    // 57
    Address(&GetPageCRC),                  // 58
    Address(&GetPinMode),                  // 59
    Address(&SetPinMode),                  // 60
    Address(&GetPinLatch),                 // 61
    Address(&SetPinLatch),                 // 62
    Address(&SetMultiConnectMode),         // 63
    Address(&SetC2ClockStrobe),            // 64
};

}  // namespace

extern "C" ORDWIN_API void* OrdwinExportByOrdinal(int ordinal) {
    if (ordinal < 1 || ordinal >= static_cast<int>(sizeof kByOrdinal / sizeof kByOrdinal[0])) {
        return nullptr;
    }
    return kByOrdinal[ordinal];
}
