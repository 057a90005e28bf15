// udev's check for the packaged rule: exit 0 when VID:PID is listed in the
// system's id file, so editing that one file is all it takes to hand an
// adapter's hidraw node to the logged-in user.
#include <cstdio>
#include <string>

#include "adapter_list.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: wickport-usb-id VID PID\n");
        return 2;
    }
    std::vector<std::string> problems;
    std::vector<wickport::UsbId> asked =
        wickport::ParseUsbIds(std::string(argv[1]) + ":" + argv[2], &problems);
    if (asked.size() != 1) return 2;
    for (const wickport::UsbId& id :
         wickport::ConfiguredUsbIds(nullptr, {wickport::SystemIdFile()}, nullptr)) {
        if (id.vendor == asked[0].vendor && id.product == asked[0].product) return 0;
    }
    return 1;
}
