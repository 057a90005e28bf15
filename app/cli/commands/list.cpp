#include <wickport.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/text.h"
#include "support.h"

namespace cindral::cli {

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
    if (list.empty()) Print(g, "no adapter attached\n");
    return kExitOk;
}

}  // namespace cindral::cli
