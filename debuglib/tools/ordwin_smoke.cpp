// Smoke check of the library: lists the USB adapters and connects to the
// first one, or with --com N connects to the serial adapter on COM N. Exit 0
// when every step worked. With no adapter source configured it runs on one
// virtual adapter, so a fresh checkout has something to talk to. `udev-rule`
// prints the udev rule that lets the logged-in user open the configured
// adapters; `probe` brings up real adapters without writing anything.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "adapter_list.h"
#include "ordwin.h"
#include "wickport.h"
#include "zt/adapter_protocol.h"
#include "zt/platform/places.h"
#include "zt/platform/system.h"

namespace {

int NoIdsConfigured() {
    const char separator[] = {zt::platform::kPathSeparator, '\0'};
    const std::string file =
        zt::platform::SystemConfigHome() + separator + "wickport" + separator + "usb-ids";
    std::fprintf(stderr,
                 "ordwin-smoke: no adapter ids configured; list them (VID:PID) in "
                 "%s or WICKPORT_USB_IDS\n",
                 file.c_str());
    return 1;
}

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
    return count == 0 ? NoIdsConfigured() : 0;
}

// One firmware question [op, 0, 0] answered by one byte; the only packets the
// probe sends, and none of them changes the adapter or the target.
bool AskFirmware(uint8_t op, uint8_t* answer, std::string* why) {
    const uint8_t packet[3] = {op, 0, 0};
    int rc = WpWrite(packet, sizeof packet);
    if (rc == WP_OK) {
        // The version is looked up before it is answered.
        if (op == zt::adapter::kFirmwareVersion) WpPause(100);
        uint8_t reply[1] = {};
        int received = 0;
        rc = WpRead(reply, 1, &received);
        if (rc == WP_OK && received == WP_REPORT_SIZE) {
            *answer = reply[0];
            return true;
        }
        if (rc == WP_OK) rc = WP_E_READ;
    }
    const char* text = nullptr;
    *why = rc == WP_E_READ_TIMEOUT ? "no reply" : "failed";
    if (WpGetLastError(&text) == WP_OK && text != nullptr && *text != '\0')
        *why += std::string(": ") + text;
    return false;
}

// What one adapter tells about itself; true when it could be opened and
// answered every question.
bool ProbeAdapter(int index) {
    WpDeviceInfo info{};
    if (WpGetDeviceInfo(index, &info) != WP_OK) return false;
    const std::string serial = info.serialNumber != nullptr ? info.serialNumber : "";
    std::printf("Adapter %d: %s\n", index, serial.c_str());
    std::printf("  USB ids:      %04x:%04x\n", info.vendorId, info.productId);
    std::printf("  product:      %s\n", *info.product ? info.product : "(none given)");
    std::printf("  device node:  %s\n", *info.node ? info.node : "(none)");
    if (WpSelectDevice(serial.c_str()) != WP_OK || WpOpen() != WP_OK) {
        const char* why = nullptr;
        WpGetOpenError(&why);
        std::printf("  access:       may not be opened%s%s\n", why && *why ? "\n    " : "",
                    why && *why ? why : "");
        return false;
    }
    std::printf("  access:       may be opened\n");
    const char* layout = nullptr;
    if (WpGetReportLayout(&layout) == WP_OK && layout != nullptr && *layout != '\0')
        std::printf("  reports:      %s\n", layout);
    WpSetTimeout(2000);
    bool ok = true;
    std::string why;
    if (zt::adapter::IsSmallAdapter(static_cast<uint16_t>(info.productId))) {
        // A small adapter answers through control values; only reads go out.
        uint8_t mode = 0, version = 0;
        ok = WpGetControlValue(zt::adapter::kControlMode, &mode) == WP_OK &&
             WpGetControlValue(zt::adapter::kControlVersion, &version) == WP_OK;
        if (ok) {
            std::printf("  mode:         %u\n  firmware:     version %u (last reported)\n", mode,
                        version);
        } else {
            std::printf("  firmware:     control values not readable\n");
        }
    } else {
        uint8_t mode = 0, version = 0;
        if (AskFirmware(zt::adapter::kFirmwareMode, &mode, &why)) {
            std::printf("  mode:         %u\n", mode);
        } else {
            std::printf("  mode:         %s\n", why.c_str());
            ok = false;
        }
        if (AskFirmware(zt::adapter::kFirmwareVersion, &version, &why)) {
            std::printf("  firmware:     version %u\n", version);
        } else {
            std::printf("  firmware:     %s\n", why.c_str());
            ok = false;
        }
    }
    WpClose();
    return ok;
}

// The configured real adapters (or the one named), opened one by one.
int Probe(const std::string& wanted) {
    // Real adapters only: a virtual list would hide them.
    if (zt::platform::GetEnvironment("WICKPORT_VIRTUAL")) {
        std::printf("WICKPORT_VIRTUAL is set; probing the real adapters only.\n");
        zt::platform::SetEnvironment("WICKPORT_VIRTUAL", nullptr);
    }
    int vendor = 0, product = 0;
    if (WpGetUsbId(0, &vendor, &product) != WP_OK) return NoIdsConfigured();
    std::printf("Configured USB ids:");
    for (int i = 0; WpGetUsbId(i, &vendor, &product) == WP_OK; ++i)
        std::printf(" %04x:%04x", vendor, product);
    std::printf("\n");
    int count = 0;
    if (WpGetDeviceCount(&count) != WP_OK || count == 0) {
        std::printf("No adapter with these ids is attached.\n");
        return 1;
    }
    bool ok = true, found = wanted.empty();
    for (int i = 0; i < count; ++i) {
        const char* serial = nullptr;
        if (!wanted.empty() && (WpGetSerialByIndex(i, &serial) != WP_OK || serial == nullptr ||
                                !wickport::SameSerial(serial, wanted)))
            continue;
        found = true;
        ok = ProbeAdapter(i) && ok;
    }
    if (!found) {
        std::printf("No attached adapter has the serial %s.\n", wanted.c_str());
        return 1;
    }
    return ok ? 0 : 1;
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

int ConnectSerial(int port) {
    std::printf("Ordwin %s\n", GetDLLVersion());
    if (!Check("Connect", Connect(static_cast<int>(port), 1, 1, 0))) return 1;
    const std::string adapter = "COM" + std::to_string(port);
    bool ok = PrintIdentity(adapter.c_str());
    ok = Check("Disconnect", Disconnect(static_cast<int>(port))) && ok;
    return ok ? 0 : 1;
}

int ConnectFirstUsb() {
    if (!zt::platform::GetEnvironment("WICKPORT_VIRTUAL") &&
        std::getenv("WICKPORT_USB_IDS") == nullptr) {
        zt::platform::SetEnvironment("WICKPORT_VIRTUAL", "VZ0001");
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

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Smoke check of the Ordwin library. Without a command: list the USB debug adapters,\n"
        "connect to the first and print its identity; with neither WICKPORT_VIRTUAL nor\n"
        "WICKPORT_USB_IDS set, on the virtual adapter VZ0001.",
        "ordwin-smoke"};
    app.set_version_flag("--version", std::string("ordwin-smoke ") + ZT_PROJECT_VERSION,
                         "print the version and exit");
    int comPort = 0;
    app.add_option("--com", comPort,
                   "connect to the serial adapter on COM port N and print its identity")
        ->check(CLI::Range(1, 512))
        ->option_text("N");
    app.require_subcommand(0, 1);
    CLI::App* udev = app.add_subcommand(
        "udev-rule",
        "print a udev rule giving the logged-in user the hidraw nodes of the adapters "
        "configured in WICKPORT_USB_IDS, ~/.config/wickport/usb-ids and /etc/wickport/usb-ids "
        "(one VID:PID a line, # comments); install it with\n  ordwin-smoke udev-rule | sudo tee "
        "/etc/udev/rules.d/70-wickport-local.rules");
    std::string probeSerial;
    CLI::App* probe = app.add_subcommand(
        "probe",
        "bring-up check of the configured real adapters (or the one with SERIAL): USB ids, "
        "product, device node, whether it may be opened (and the fix when not), how its reports "
        "are framed, its mode and firmware version. Asks read-only questions only: nothing is "
        "written to the adapter or the target.");
    probe->add_option("SERIAL", probeSerial, "probe only the adapter with this serial number");
    CLI11_PARSE(app, argc, argv);

    if (*udev) return PrintUdevRule();
    if (*probe) return Probe(probeSerial);
    if (comPort != 0) return ConnectSerial(comPort);
    return ConnectFirstUsb();
}
