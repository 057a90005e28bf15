// Smoke check of the library: lists the USB adapters and connects to the
// first one. Exit 0 when every step worked. With no adapter source
// configured it runs on one virtual adapter, so a fresh checkout has
// something to talk to.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ordwin.h"

namespace {

bool Check(const char* what, int result) {
    if (result >= 0) return true;
    std::printf("%s failed: %s (0x%08x)\n", what, GetErrorMsg(result),
                static_cast<unsigned>(result));
    return false;
}

}  // namespace

int main() {
    if (std::getenv("WICKPORT_VIRTUAL") == nullptr && std::getenv("WICKPORT_USB_IDS") == nullptr) {
        setenv("WICKPORT_VIRTUAL", "VZ0001", 0);
        std::printf("No adapter source configured: using the virtual adapter VZ0001.\n");
    }
    std::printf("Ordwin %s\n", GetDLLVersion());

    int count = 0;
    if (!Check("USBDebugDevices", USBDebugDevices(&count))) return 1;
    std::printf("USB debug adapters: %d\n", count);
    std::vector<std::string> serials;
    for (int i = 0; i < count; ++i) {
        const char* serial = nullptr;
        if (!Check("GetUSBDeviceSN", GetUSBDeviceSN(i, &serial))) return 1;
        serials.emplace_back(serial != nullptr ? serial : "");
        std::printf("  %d: %s\n", i, serials.back().c_str());
    }
    if (serials.empty()) {
        std::printf("No adapter to connect to.\n");
        return 0;
    }

    if (!Check("ConnectUSB", ConnectUSB(serials.front().c_str(), 1, 1, 1))) return 1;
    uint16_t hardwareId = 0;
    uint8_t derivativeId = 0;
    const char* name = nullptr;
    bool ok = Check("GetHardwareID", GetHardwareID(&hardwareId)) &&
              Check("GetDerivativeID", GetDerivativeID(&derivativeId)) &&
              Check("GetDeviceName", GetDeviceName(&name));
    if (ok) {
        std::printf("Connected to %s: hardware id %u, derivative id 0x%02X, %s\n",
                    serials.front().c_str(), hardwareId, derivativeId, name);
    }
    ok = Check("DisconnectUSB", DisconnectUSB()) && ok;
    return ok ? 0 : 1;
}
