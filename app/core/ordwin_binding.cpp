#include "ordwin_binding.h"

#include <ordwin.h>

#include <cstring>

#include "text.h"

namespace cindral {

namespace {
// Ordinals of the exports Cindral binds.
enum Ordinal {
    kDownload = 2,
    kSetTargetGo = 5,
    kGetXRAMMemory = 6,
    kGetRAMMemory = 7,
    kSetRAMMemory = 11,
    kSetTargetHalt = 13,
    kReadPC = 24,
    kWritePC = 25,
    kSetClrBP = 26,
    kGetTargetStatus = 27,
    kConnectUSB = 30,
    kDisconnectUSB = 31,
    kUSBDebugDevices = 32,
    kGetUSBDeviceSN = 33,
    kGetDeviceName = 41,
    kGetSFRByte = 43,
    kIndSetSFRByte = 44,
    kIndGetSFRByte = 45,
    kGetErrorMsg = 46,
    kGetPageCRC = 58,
};
}  // namespace

template <typename Fn>
Fn OrdwinBinding::Bind(int ordinal) {
    void* p = OrdwinExportByOrdinal(ordinal);
    if (p == nullptr) complete_ = false;
    return reinterpret_cast<Fn>(p);
}

OrdwinBinding::OrdwinBinding()
    : connectUSB_(Bind<decltype(connectUSB_)>(kConnectUSB)),
      disconnectUSB_(Bind<decltype(disconnectUSB_)>(kDisconnectUSB)),
      usbDebugDevices_(Bind<decltype(usbDebugDevices_)>(kUSBDebugDevices)),
      getUSBDeviceSN_(Bind<decltype(getUSBDeviceSN_)>(kGetUSBDeviceSN)),
      getDeviceName_(Bind<decltype(getDeviceName_)>(kGetDeviceName)),
      getErrorMsg_(Bind<decltype(getErrorMsg_)>(kGetErrorMsg)),
      getRAMMemory_(Bind<decltype(getRAMMemory_)>(kGetRAMMemory)),
      setRAMMemory_(Bind<decltype(setRAMMemory_)>(kSetRAMMemory)),
      getXRAMMemory_(Bind<decltype(getXRAMMemory_)>(kGetXRAMMemory)),
      getSFRByte_(Bind<decltype(getSFRByte_)>(kGetSFRByte)),
      indGetSFRByte_(Bind<decltype(indGetSFRByte_)>(kIndGetSFRByte)),
      indSetSFRByte_(Bind<decltype(indSetSFRByte_)>(kIndSetSFRByte)),
      getPageCRC_(Bind<decltype(getPageCRC_)>(kGetPageCRC)),
      getTargetStatus_(Bind<decltype(getTargetStatus_)>(kGetTargetStatus)),
      setClrBP_(Bind<decltype(setClrBP_)>(kSetClrBP)),
      setTargetHalt_(Bind<decltype(setTargetHalt_)>(kSetTargetHalt)),
      setTargetGo_(Bind<decltype(setTargetGo_)>(kSetTargetGo)),
      readPC_(Bind<decltype(readPC_)>(kReadPC)),
      writePC_(Bind<decltype(writePC_)>(kWritePC)),
      download_(Bind<decltype(download_)>(kDownload)) {}

#define ORDWIN_CALL(fn, ...) ((fn) ? (fn)(__VA_ARGS__) : kNotImplemented)

int OrdwinBinding::ConnectUSB(const char* sn, int protocol, int option, int disableDialogs) {
    return ORDWIN_CALL(connectUSB_, sn, protocol, option, disableDialogs);
}
int OrdwinBinding::DisconnectUSB() {
    return disconnectUSB_ ? disconnectUSB_() : kNotImplemented;
}
int OrdwinBinding::USBDebugDevices(int* count) {
    return ORDWIN_CALL(usbDebugDevices_, count);
}
int OrdwinBinding::GetUSBDeviceSN(int index, const char** sn) {
    return ORDWIN_CALL(getUSBDeviceSN_, index, sn);
}
int OrdwinBinding::GetHardwareID(uint16_t* id) {
    return ::GetHardwareID(id);
}
int OrdwinBinding::GetDeviceName(const char** name) {
    return ORDWIN_CALL(getDeviceName_, name);
}
const char* OrdwinBinding::GetErrorMsg(int code) {
    const char* text = getErrorMsg_ ? getErrorMsg_(code) : nullptr;
    return text ? text : "";
}
int OrdwinBinding::GetRAMMemory(uint8_t* b, unsigned s, unsigned n) {
    return ORDWIN_CALL(getRAMMemory_, b, s, n);
}
int OrdwinBinding::SetRAMMemory(uint8_t* b, unsigned s, unsigned n) {
    return ORDWIN_CALL(setRAMMemory_, b, s, n);
}
int OrdwinBinding::Connect(int com, int disableDialogs, int protocol, int baudIndex) {
    return ::Connect(com, disableDialogs, protocol, baudIndex);
}
int OrdwinBinding::Disconnect(int com) {
    return ::Disconnect(com);
}
int OrdwinBinding::FLASHErase(int com, int disableDialogs, int protocol) {
    return ::FLASHErase(com, disableDialogs, protocol);
}
int OrdwinBinding::GetDerivativeID(uint8_t* id) {
    return ::GetDerivativeID(id);
}
int OrdwinBinding::FLASHEraseUSB(const char* sn, int disableDialogs, int protocol) {
    return ::FLASHEraseUSB(sn, disableDialogs, protocol);
}
int OrdwinBinding::GetXRAMMemory(uint8_t* b, unsigned s, unsigned n) {
    return ORDWIN_CALL(getXRAMMemory_, b, s, n);
}
int OrdwinBinding::GetSFRByte(unsigned a, uint8_t* v) {
    return ORDWIN_CALL(getSFRByte_, a, v);
}
int OrdwinBinding::IndGetSFRByte(unsigned a, uint8_t* v) {
    return ORDWIN_CALL(indGetSFRByte_, a, v);
}
int OrdwinBinding::IndSetSFRByte(unsigned a, uint8_t v) {
    return ORDWIN_CALL(indSetSFRByte_, a, v);
}
int OrdwinBinding::GetPageCRC(int page, uint8_t* crc) {
    return ORDWIN_CALL(getPageCRC_, page, crc);
}
int OrdwinBinding::GetTargetStatus(int* status) {
    return ORDWIN_CALL(getTargetStatus_, status);
}
int OrdwinBinding::SetClrBP(int set, unsigned address) {
    return ORDWIN_CALL(setClrBP_, set, address);
}
int OrdwinBinding::SetTargetHalt() {
    return setTargetHalt_ ? setTargetHalt_() : kNotImplemented;
}
int OrdwinBinding::SetTargetGo() {
    return setTargetGo_ ? setTargetGo_() : kNotImplemented;
}
int OrdwinBinding::ReadPC(uint32_t* pc) {
    return ORDWIN_CALL(readPC_, pc);
}
int OrdwinBinding::WritePC(unsigned address) {
    return ORDWIN_CALL(writePC_, address);
}
int OrdwinBinding::Download(char* fileName, int eraseAndReset, int disableDialogs,
                            int scratchTarget, int bank, int lock, int preserve) {
    return ORDWIN_CALL(download_, fileName, eraseAndReset, disableDialogs, scratchTarget, bank,
                       lock, preserve);
}

#undef ORDWIN_CALL

namespace {

OrdwinHostUiBridge* Self(void* user) {
    return static_cast<OrdwinHostUiBridge*>(user);
}

std::u16string Text(const char* s) {
    return s ? WidenText(s) : std::u16string();
}

int MessageBoxHook(void* user, const char* text, const char* caption, int style) {
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    switch (style) {
        case ORDWIN_MB_OK_ICON:
            icon = MsgIcon::Exclamation;
            break;
        case ORDWIN_MB_OKCANCEL_ICON:
            buttons = MsgButtons::OkCancel;
            icon = MsgIcon::Exclamation;
            break;
        case ORDWIN_MB_YESNO_ICON:
            buttons = MsgButtons::YesNo;
            icon = MsgIcon::Question;
            break;
        default:
            break;
    }
    switch (Self(user)->messages.ShowMessage(Text(text), Text(caption), buttons, icon)) {
        case MsgResult::Ok:
            return ORDWIN_ID_OK;
        case MsgResult::Yes:
            return ORDWIN_ID_YES;
        case MsgResult::No:
            return ORDWIN_ID_NO;
        case MsgResult::Cancel:
            break;
    }
    return ORDWIN_ID_CANCEL;
}

void* ProgressCreate(void* user, const char* caption, const char* status, int lower, int upper) {
    return Self(user)->progress.Create(Text(caption), Text(status), lower, upper);
}

void ProgressSetPosition(void* user, void* dialog, int position, const char* percentText) {
    if (percentText == nullptr) {
        Self(user)->progress.SetPosition(dialog, position, nullptr);
    } else {
        std::u16string t = Text(percentText);
        Self(user)->progress.SetPosition(dialog, position, &t);
    }
}

void ProgressSetStatus(void* user, void* dialog, const char* status) {
    Self(user)->progress.SetStatus(dialog, Text(status));
}

int ProgressCancelled(void* user, void* dialog) {
    return Self(user)->progress.Cancelled(dialog) ? 1 : 0;
}

void ProgressDestroy(void* user, void* dialog) {
    Self(user)->progress.Destroy(dialog);
}

void Pump(void* user) {
    if (Self(user)->pump) Self(user)->pump->PumpMessages();
}

}  // namespace

OrdwinHostUiBridge::OrdwinHostUiBridge(IMessagePort& m, IProgressPort& p, IMessagePump* pu)
    : messages(m), progress(p), pump(pu) {
    OrdwinHostUi ui{};
    ui.user = this;
    ui.messageBox = MessageBoxHook;
    ui.progressCreate = ProgressCreate;
    ui.progressSetPosition = ProgressSetPosition;
    ui.progressSetStatus = ProgressSetStatus;
    ui.progressCancelled = ProgressCancelled;
    ui.progressDestroy = ProgressDestroy;
    ui.pumpEvents = Pump;
    OrdwinSetHostUi(&ui);
}

OrdwinHostUiBridge::~OrdwinHostUiBridge() {
    OrdwinSetHostUi(nullptr);
}

}  // namespace cindral
