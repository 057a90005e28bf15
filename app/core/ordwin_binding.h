// The real Ordwin: 19 exports bound by ordinal and GetHardwareID by name.
#pragma once

#include "ordwin_api.h"
#include "ports.h"

namespace cindral {

class OrdwinBinding final : public IOrdwin {
  public:
    OrdwinBinding();

    // False when one of the ordinals is missing from the library; such an export
    // then answers kNotImplemented instead of crashing.
    bool Complete() const { return complete_; }

    int ConnectUSB(const char* serialNumber, int protocol, int connectOption,
                   int disableDialogs) override;
    int DisconnectUSB() override;
    int USBDebugDevices(int* count) override;
    int GetUSBDeviceSN(int index, const char** serialNumber) override;
    int GetHardwareID(uint16_t* hardwareId) override;
    int GetDeviceName(const char** name) override;
    const char* GetErrorMsg(int code) override;
    int GetRAMMemory(uint8_t* buffer, unsigned start, unsigned count) override;
    int SetRAMMemory(uint8_t* buffer, unsigned start, unsigned count) override;
    int Connect(int comPort, int disableDialogs, int protocol, int baudIndex) override;
    int Disconnect(int comPort) override;
    int FLASHErase(int comPort, int disableDialogs, int protocol) override;
    int GetDerivativeID(uint8_t* derivativeId) override;
    int FLASHEraseUSB(const char* serialNumber, int disableDialogs, int protocol) override;
    int GetXRAMMemory(uint8_t* buffer, unsigned start, unsigned count) override;
    int GetSFRByte(unsigned address, uint8_t* value) override;
    int IndGetSFRByte(unsigned address, uint8_t* value) override;
    int IndSetSFRByte(unsigned address, uint8_t value) override;
    int GetPageCRC(int page, uint8_t* crc) override;
    int GetTargetStatus(int* status) override;
    int SetClrBP(int set, unsigned address) override;
    int SetTargetHalt() override;
    int SetTargetGo() override;
    int ReadPC(uint32_t* pc) override;
    int WritePC(unsigned address) override;
    int Download(char* fileName, int eraseAndReset, int disableDialogs, int scratchTarget, int bank,
                 int lock, int preserve) override;

  private:
    template <typename Fn>
    Fn Bind(int ordinal);

    bool complete_ = true;
    int (*connectUSB_)(const char*, int, int, int);
    int (*disconnectUSB_)();
    int (*usbDebugDevices_)(int*);
    int (*getUSBDeviceSN_)(int, const char**);
    int (*getDeviceName_)(const char**);
    const char* (*getErrorMsg_)(int);
    int (*getRAMMemory_)(uint8_t*, unsigned, unsigned);
    int (*setRAMMemory_)(uint8_t*, unsigned, unsigned);
    int (*getXRAMMemory_)(uint8_t*, unsigned, unsigned);
    int (*getSFRByte_)(unsigned, uint8_t*);
    int (*indGetSFRByte_)(unsigned, uint8_t*);
    int (*indSetSFRByte_)(unsigned, uint8_t);
    int (*getPageCRC_)(int, uint8_t*);
    int (*getTargetStatus_)(int*);
    int (*setClrBP_)(int, unsigned);
    int (*setTargetHalt_)();
    int (*setTargetGo_)();
    int (*readPC_)(uint32_t*);
    int (*writePC_)(unsigned);
    int (*download_)(char*, int, int, int, int, int, int);
};

// Routes the library's message boxes and progress dialogs to the host's ports while
// it lives; the library falls back to its defaults afterwards.
class OrdwinHostUiBridge {
  public:
    OrdwinHostUiBridge(IMessagePort& messages, IProgressPort& progress, IMessagePump* pump);
    ~OrdwinHostUiBridge();
    OrdwinHostUiBridge(const OrdwinHostUiBridge&) = delete;
    OrdwinHostUiBridge& operator=(const OrdwinHostUiBridge&) = delete;

    IMessagePort& messages;
    IProgressPort& progress;
    IMessagePump* pump;
};

}  // namespace cindral
