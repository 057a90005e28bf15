// The Ordwin exports Cindral uses, as one interface so that the pages can be
// driven by the real library in production and by a scripted double in unit tests.
#pragma once

#include <cstdint>

#include "zt/zeltra_map.h"

namespace cindral {

constexpr int kNotConnected = static_cast<int32_t>(0x8100801B);
constexpr int kNotImplemented = static_cast<int32_t>(0x80004001);
constexpr uint16_t kZeltraHardwareId = zt::zeltra::kFamily;

class IOrdwin {
  public:
    virtual ~IOrdwin() = default;

    virtual int ConnectUSB(const char* serialNumber, int protocol, int connectOption,
                           int disableDialogs) = 0;
    virtual int DisconnectUSB() = 0;
    virtual int USBDebugDevices(int* count) = 0;
    virtual int GetUSBDeviceSN(int index, const char** serialNumber) = 0;
    virtual int GetHardwareID(uint16_t* hardwareId) = 0;
    virtual int GetDeviceName(const char** name) = 0;
    // Never null: a missing text comes back as "".
    virtual const char* GetErrorMsg(int code) = 0;

    virtual int GetRAMMemory(uint8_t* buffer, unsigned start, unsigned count) = 0;
    // Used by the burn engine to clear a burner's result block before it runs.
    virtual int SetRAMMemory(uint8_t* /*buffer*/, unsigned /*start*/, unsigned /*count*/) {
        return kNotImplemented;
    }
    // Used by the command-line program only.
    virtual int Connect(int /*comPort*/, int /*disableDialogs*/, int /*protocol*/,
                        int /*baudIndex*/) {
        return kNotImplemented;
    }
    virtual int Disconnect(int /*comPort*/) { return kNotImplemented; }
    virtual int FLASHErase(int /*comPort*/, int /*disableDialogs*/, int /*protocol*/) {
        return kNotImplemented;
    }
    virtual int GetDerivativeID(uint8_t* /*derivativeId*/) { return kNotImplemented; }
    virtual int FLASHEraseUSB(const char* /*serialNumber*/, int /*disableDialogs*/,
                              int /*protocol*/) {
        return kNotImplemented;
    }
    virtual int GetXRAMMemory(uint8_t* buffer, unsigned start, unsigned count) = 0;
    virtual int GetSFRByte(unsigned address, uint8_t* value) = 0;
    virtual int IndGetSFRByte(unsigned address, uint8_t* value) = 0;
    virtual int IndSetSFRByte(unsigned address, uint8_t value) = 0;
    virtual int GetPageCRC(int page, uint8_t* crc) = 0;

    virtual int GetTargetStatus(int* status) = 0;
    virtual int SetClrBP(int set, unsigned address) = 0;
    virtual int SetTargetHalt() = 0;
    virtual int SetTargetGo() = 0;
    virtual int WritePC(unsigned address) = 0;
    // Used by the MTP write to tell a finished writer from one it had to stop.
    virtual int ReadPC(uint32_t* /*pc*/) { return kNotImplemented; }
    virtual int Download(char* fileName, int eraseAndReset, int disableDialogs, int scratchTarget,
                         int bank, int lock, int preserve) = 0;
};

}  // namespace cindral
