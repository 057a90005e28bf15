#include "connection.h"

#include <cstring>

#include "text.h"

namespace cindral {

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

bool AdapterConnection::Connect(const std::string& serialNumber) {
    int rc = ordwin_.ConnectUSB(serialNumber.c_str(), kProtocolC2, 0, 0);
    if (rc < 0) {
        std::string why = CopyOrdwinString(ordwin_.GetErrorMsg(rc), 4096);
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

bool AdapterConnection::Disconnect() {
    if (ordwin_.DisconnectUSB() < 0) {
        messages_.Ok(u"Disconnect Failure\n");
        return false;
    }
    return true;
}

}  // namespace cindral
