#include "simulation.h"

#include <filesystem>

#include "zt/platform/places.h"
#include "zt/platform/system.h"

namespace cindral {

namespace {

std::string Utf8(const std::filesystem::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

std::filesystem::path FromUtf8(const std::string& s) {
    return std::filesystem::path(std::u8string(s.begin(), s.end()));
}

}  // namespace

std::string SimulatedAdapters(const std::string& dir) {
    std::error_code ec;
    std::filesystem::path base = std::filesystem::absolute(FromUtf8(dir), ec);
    if (ec) base = FromUtf8(dir);
    return "VZ0001:state=" + Utf8(base / "VZ0001") + ";VZ0002:state=" + Utf8(base / "VZ0002");
}

std::optional<std::string> EnableSimulation() {
    if (zt::platform::GetEnvironment("WICKPORT_VIRTUAL")) return std::nullopt;
    const std::string data = zt::platform::DataHome();
    if (data.empty()) return std::nullopt;
    const std::filesystem::path dir = FromUtf8(data) / "cindral" / "virtual";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    zt::platform::SetEnvironment("WICKPORT_VIRTUAL", SimulatedAdapters(Utf8(dir)).c_str());
    return Utf8(dir);
}

}  // namespace cindral
