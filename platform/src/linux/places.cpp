#include "zt/platform/places.h"

#include <unistd.h>

#include <cstdlib>

namespace zt::platform {
namespace {

// A base from the environment counts only when absolute, as the XDG base
// directory rules ask; else the fallback under $HOME.
std::string XdgBase(const char* variable, const char* underHome) {
    const char* value = std::getenv(variable);
    if (value && value[0] == '/') return value;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/" + underHome;
    return {};
}

}  // namespace

std::string UserRuntimeDirectory(std::string_view name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0')
        return std::string(runtime) + "/" + std::string(name);
    return "/tmp/" + std::string(name) + "-" + std::to_string(static_cast<unsigned>(::getuid()));
}

std::string CacheHome() {
    return XdgBase("XDG_CACHE_HOME", ".cache");
}

std::string ConfigHome() {
    return XdgBase("XDG_CONFIG_HOME", ".config");
}

std::string StateHome() {
    return XdgBase("XDG_STATE_HOME", ".local/state");
}

std::string SystemConfigHome() {
    return "/etc";
}

std::string DataHome() {
    return XdgBase("XDG_DATA_HOME", ".local/share");
}

}  // namespace zt::platform
