#include <wickport.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/text.h"
#include "support.h"
#include "zt/platform/process.h"
#include "zt/platform/system.h"

namespace cindral::cli {

namespace {

// Said when no adapter is listed: a new user's first question is why.
std::string FirstContactHint() {
    int vid = 0, pid = 0;
    std::string hint;
    if (WpGetUsbId(0, &vid, &pid) < 0) {
        hint =
            "No real-adapter USB ids are configured: put the adapter's VID:PID (as lsusb shows "
            "it) in /etc/wickport/usb-ids (the machine; its udev rule then grants access), "
            "~/.config/wickport/usb-ids (you) or WICKPORT_USB_IDS.";
    } else {
        hint =
            "Is the adapter plugged in, and may you open its /dev/hidraw node? "
            "'ordwin-smoke udev-rule' prints a rule that grants access.";
    }
    std::error_code ec;
    if (std::filesystem::is_regular_file(
            ToPath(ProgramDirectory() + u"ordwin-smoke" + U16(zt::platform::ExecutableSuffix())),
            ec))
        hint += "\n'ordwin-smoke probe' lists the USB HID devices that could be adapters.";
    hint +=
        "\nWithout hardware: cindral-cli --simulate list (two virtual adapters; an installed "
        "cindral-cli has them with the zeltra-sim package).";
    return hint;
}

}  // namespace

int RunList(const Globals& g) {
    Session s(g, "");
    // The library enumerates; the product ids come from the same Wickport list.
    const std::vector<std::string> list = s.connection.ListAdapters();
    int count = 0;
    WpGetDeviceCount(&count);
    for (const std::string& sn : list) {
        // Each adapter says which backend it comes from; the environment does not.
        bool isVirtual = false;
        std::string pidText = "?";
        for (int i = 0; i < count; ++i) {
            WpDeviceInfo info{};
            if (WpGetDeviceInfo(i, &info) >= 0 && info.serialNumber != nullptr &&
                sn == info.serialNumber) {
                isVirtual = info.backend == WP_BACKEND_VIRTUAL;
                pidText = Format("0x%04X", static_cast<unsigned>(info.productId) & 0xFFFF);
                break;
            }
        }
        Json item{{"command", "list"}, {"serial", sn}, {"virtual", isVirtual}};
        if (pidText != "?") item["product_id"] = pidText;
        Emit(g, item);
        Print(g, sn + "  " + pidText + "  " + (isVirtual ? "virtual" : "real") + "\n");
    }
    if (list.empty()) {
        Print(g, "no adapter attached\n");
        // With virtual adapters asked for, real ones were not looked for.
        if (!zt::platform::GetEnvironment("WICKPORT_VIRTUAL")) s.style.Line(FirstContactHint());
    }
    return kExitOk;
}

}  // namespace cindral::cli
