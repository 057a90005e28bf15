#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/device_info.h"
#include "core/text.h"
#include "support.h"

namespace cindral::cli {

int RunInfo(const Globals& g, const std::string& adapter, int com) {
    if (!adapter.empty()) FocusVirtualAdapters({adapter});
    Session s(g, "");
    std::string why;
    std::optional<std::string> serial = com >= 0 ? ComName(com) : PickAdapter(s, adapter, why);
    if (!serial) return Fail(g, "info", kExitAdapter, why);
    if (!ConnectTo(s, *serial, com))
        return Fail(g, "info", kExitAdapter, "cannot connect to " + *serial + ": " + s.LastText());
    Json rec{{"command", "info"}, {"adapter", *serial}, {"chip", ChipIdentity(s.ordwin)}};
    const DeviceReading device = ReadDeviceInformation(s.ordwin);
    const CrcReading crc = ReadCrcs(s.ordwin);
    DisconnectFrom(s, com);

    Json values = Json::object();
    std::string text = "Adapter: " + *serial + "\n";
    text += "Device:  " + rec["chip"].value("name", "?") + " (hardware id " +
            rec["chip"].value("hardware_id", "?") + ", derivative " +
            rec["chip"].value("derivative_id", "?") + ")\n";
    for (int i = 0; i < kDeviceRowCount; ++i) {
        values[kDeviceRowNames[i]] = device.values[i];
        text += Format("%-20s %s\n", kDeviceRowNames[i], device.values[i].c_str());
    }
    rec["device"] = values;
    rec["crc"] = CrcJson(crc);
    rec["ok"] = true;
    rec["exit"] = kExitOk;
    Emit(g, rec);
    Print(g, text + "\n" + CrcText(crc));
    return kExitOk;
}

}  // namespace cindral::cli
