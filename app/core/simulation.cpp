#include "simulation.h"

#include <filesystem>

#include "text.h"
#include "zt/platform/places.h"
#include "zt/platform/system.h"

namespace cindral {

namespace {

std::string Utf8(const std::filesystem::path& p) {
    return ToUtf8(FromPath(p));
}

}  // namespace

std::string SimulatedAdapters(const std::string& dir) {
    std::error_code ec;
    std::filesystem::path base = std::filesystem::absolute(Utf8Path(dir), ec);
    if (ec) base = Utf8Path(dir);
    return "VZ0001:state=" + Utf8(base / "VZ0001") + ";VZ0002:state=" + Utf8(base / "VZ0002");
}

std::optional<std::string> EnableSimulation() {
    if (zt::platform::GetEnvironment("WICKPORT_VIRTUAL")) return std::nullopt;
    const std::string data = zt::platform::DataHome();
    if (data.empty()) return std::nullopt;
    const std::filesystem::path dir = Utf8Path(data) / "cindral" / "virtual";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    zt::platform::SetEnvironment("WICKPORT_VIRTUAL", SimulatedAdapters(Utf8(dir)).c_str());
    return Utf8(dir);
}

}  // namespace cindral
