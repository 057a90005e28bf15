#include "connection.h"

#include <cstring>

#include "text.h"

namespace cindral {

namespace {
constexpr int32_t kLinkOpenFailed = static_cast<int32_t>(0x81030003);
}  // namespace

namespace {
constexpr int kProtocolC2 = 1;

std::string CopyOrdwinString(const char* s, std::size_t limit) {
    if (s == nullptr) return {};
    return std::string(s, strnlen(s, limit));
}
}  // namespace

std::vector<std::string> AdapterConnection::ListAdapters() {
    std::vector<std::string> serials;
    int count = 0;
    if (ordwin_.USBDebugDevices(&count) < 0) return serials;
    for (int i = 0; i < count && i < 256; ++i) {
        const char* sn = nullptr;
        if (ordwin_.GetUSBDeviceSN(i, &sn) < 0 || sn == nullptr) continue;
        serials.push_back(CopyOrdwinString(sn, kSerialBufferSize - 1));
    }
    return serials;
}

bool AdapterConnection::Connect(const std::string& serialNumber,
                                const std::function<bool()>& libraryTold) {
    int rc = ordwin_.ConnectUSB(serialNumber.c_str(), kProtocolC2, 0, 0);
    if (rc < 0) {
        if (libraryTold && libraryTold()) return false;
        std::string why = CopyOrdwinString(ordwin_.GetErrorMsg(rc), 4096);
        // The link's code speaks of a COM port; a USB adapter that will not
        // open is nearly always held by another program.
        if (rc == kLinkOpenFailed)
            why = Format("the USB adapter %s is in use by another program or cannot be opened.",
                         serialNumber.c_str());
        messages_.Ok(WidenText(Format("Connect Failure: %s", why.c_str())));
        return false;
    }
    uint16_t id = 0;
    if (ordwin_.GetHardwareID(&id) < 0) {
        // Without an id the target cannot be trusted; do not keep a connection the
        // window would not show.
        ordwin_.DisconnectUSB();
        return false;
    }
    if (id == kZeltraHardwareId) return true;
    const char* name = nullptr;
    if (ordwin_.GetDeviceName(&name) == 0) {
        std::string n = CopyOrdwinString(name, 4096);
        messages_.Ok(WidenText(Format("Connection failure:\nInvalid target: %s", n.c_str())),
                     MsgIcon::Exclamation);
    }
    ordwin_.DisconnectUSB();
    return false;
}

bool AdapterConnection::Disconnect(bool* alreadyLetGo) {
    const int rc = ordwin_.DisconnectUSB();
    if (alreadyLetGo) *alreadyLetGo = rc == kNotConnected;
    if (rc >= 0 || rc == kNotConnected) return true;
    messages_.Ok(u"Disconnect Failure\n");
    return false;
}

std::u16string AdapterLostText(LostDuring what) {
    const std::u16string again = u"\nPlug the adapter in again and connect.";
    switch (what) {
        case LostDuring::kBurn:
            return u"The adapter was lost. The burn did not complete; the chip's NVM state is "
                   u"unknown." +
                   again;
        case LostDuring::kMtpWrite:
            return u"The adapter was lost. The MTP write did not complete; the chip's MTP "
                   u"state is unknown." +
                   again;
        case LostDuring::kNothing:
            break;
    }
    return u"The adapter was lost." + again;
}

bool AdapterLossFilter::CheckLost() {
    if (lost_ || !watching_ || present_()) return lost_;
    lost_ = true;
    if (onLost_) onLost_();
    return true;
}

void AdapterLossFilter::Notify(const std::u16string& text, MsgIcon icon) {
    if (CheckLost()) return;
    ++passed_;
    inner_.Notify(text, icon);
}

MsgResult AdapterLossFilter::ShowMessage(const std::u16string& text, const std::u16string& caption,
                                         MsgButtons buttons, MsgIcon icon) {
    if (!CheckLost()) {
        ++passed_;
        return inner_.ShowMessage(text, caption, buttons, icon);
    }
    switch (buttons) {
        case MsgButtons::Ok:
            return MsgResult::Ok;
        case MsgButtons::OkCancel:
            return MsgResult::Cancel;
        case MsgButtons::YesNo:
        case MsgButtons::YesNoCancel:
        case MsgButtons::YesNoDefaultNo:
            break;
    }
    return MsgResult::No;
}

}  // namespace cindral
