// Smoke check of the library: lists the USB adapters and connects to the
// first one, or with --com N connects to the serial adapter on COM N. Exit 0
// when every step worked. With no adapter source configured it runs on one
// virtual adapter, so a fresh checkout has something to talk to. `udev-rule`
// prints the udev rule that lets the logged-in user open the configured adapters.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ordwin.h"
#include "wickport.h"

namespace {

constexpr const char* kUsage =
    "usage: ordwin-smoke [udev-rule | --com N]\n"
    "  (no command)  list the USB debug adapters, connect to the first and print its identity;\n"
    "                with neither WICKPORT_VIRTUAL nor WICKPORT_USB_IDS set, on the virtual\n"
    "                adapter VZ0001\n"
    "  udev-rule     print a udev rule giving the logged-in user the hidraw nodes of the\n"
    "                adapters configured in WICKPORT_USB_IDS, ~/.config/wickport/usb-ids and\n"
    "                /etc/wickport/usb-ids (one VID:PID a line, # comments); install it with\n"
    "                ordwin-smoke udev-rule | sudo tee /etc/udev/rules.d/70-wickport-local.rules\n"
    "  --com N       connect to the serial adapter on COM port N and print its identity\n";

int PrintUdevRule() {
    std::printf(
        "# USB debug adapters for the Zeltra toolchain: the logged-in user may open them.\n");
    int vendor = 0, product = 0, count = 0;
    for (int i = 0; WpGetUsbId(i, &vendor, &product) == WP_OK; ++i, ++count) {
        std::printf(
            "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"%04x\", ATTRS{idProduct}==\"%04x\", "
            "TAG+=\"uaccess\"\n",
            vendor, product);
    }
    if (count == 0) {
        std::fprintf(stderr,
                     "ordwin-smoke: no adapter ids configured; list them (VID:PID) in "
                     "/etc/wickport/usb-ids or WICKPORT_USB_IDS\n");
        return 1;
    }
    return 0;
}

bool Check(const char* what, int result) {
    if (result >= 0) return true;
    std::printf("%s failed: %s (0x%08x)\n", what, GetErrorMsg(result),
                static_cast<unsigned>(result));
    return false;
}

bool PrintIdentity(const char* adapter) {
    uint16_t hardwareId = 0;
    uint8_t derivativeId = 0;
    const char* name = nullptr;
    const bool ok = Check("GetHardwareID", GetHardwareID(&hardwareId)) &&
                    Check("GetDerivativeID", GetDerivativeID(&derivativeId)) &&
                    Check("GetDeviceName", GetDeviceName(&name));
    if (ok) {
        std::printf("Connected to %s: hardware id %u, derivative id 0x%02X, %s\n", adapter,
                    hardwareId, derivativeId, name);
    }
    return ok;
}

int ConnectSerial(const char* text) {
    char* end = nullptr;
    const long port = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || port < 1 || port > 512) {
        std::printf("--com takes a COM port number 1..512, not \"%s\".\n", text);
        return 2;
    }
    std::printf("Ordwin %s\n", GetDLLVersion());
    if (!Check("Connect", Connect(static_cast<int>(port), 1, 1, 0))) return 1;
    const std::string adapter = "COM" + std::to_string(port);
    bool ok = PrintIdentity(adapter.c_str());
    ok = Check("Disconnect", Disconnect(static_cast<int>(port))) && ok;
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--com") == 0) return ConnectSerial(argv[2]);
    if (argc == 2 && std::strcmp(argv[1], "udev-rule") == 0) return PrintUdevRule();
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc > 1) {
        std::fprintf(stderr, "ordwin-smoke: unknown command '%s'\n%s", argv[1], kUsage);
        return 2;
    }
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

    if (!Check("ConnectUSB", ConnectUSB(serials.front().c_str(), 1, 1, 1))) {
        const char* problem = nullptr;
        if (WpGetOpenError(&problem) == WP_OK && problem != nullptr && *problem != '\0')
            std::printf("%s\n", problem);
        return 1;
    }
    bool ok = PrintIdentity(serials.front().c_str());
    ok = Check("DisconnectUSB", DisconnectUSB()) && ok;
    return ok ? 0 : 1;
}
