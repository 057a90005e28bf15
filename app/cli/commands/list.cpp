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
    const bool virtualList = std::getenv("WICKPORT_VIRTUAL") != nullptr;
    int count = 0;
    WpGetDeviceCount(&count);
    for (const std::string& sn : list) {
        Json item{{"command", "list"}, {"serial", sn}, {"virtual", virtualList}};
        std::string pidText = "?";
        for (int i = 0; i < count; ++i) {
            const char* other = nullptr;
            int pid = 0;
            if (WpGetSerialByIndex(i, &other) >= 0 && other != nullptr && sn == other &&
                WpGetProductIdByIndex(i, &pid) >= 0) {
                pidText = Format("0x%04X", static_cast<unsigned>(pid) & 0xFFFF);
                item["product_id"] = pidText;
                break;
            }
        }
        Emit(g, item);
        Print(g, sn + "  " + pidText + "  " + (virtualList ? "virtual" : "real") + "\n");
    }
    if (list.empty()) Print(g, "no adapter attached\n");
    return kExitOk;
}

}  // namespace cindral::cli
