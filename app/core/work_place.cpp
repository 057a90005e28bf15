#include "work_place.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "text.h"

namespace cindral {
namespace {

bool WritableDirectory(const std::filesystem::path& dir) {
    std::error_code ec;
    return std::filesystem::is_directory(dir, ec) && ::access(dir.c_str(), W_OK | X_OK) == 0;
}

std::filesystem::path CacheBase() {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::filesystem::path(home) / ".cache";
    return {};
}

}  // namespace

WorkPlace ChooseWorkPlace(const std::u16string& programDirectory) {
    WorkPlace place{programDirectory, false};
    if (WritableDirectory(ToPath(programDirectory))) return place;
    const std::filesystem::path base = CacheBase();
    if (base.empty()) return place;
    const std::filesystem::path dir = base / "cindral";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!WritableDirectory(dir)) return place;
    std::u16string text = FromPath(dir);
    if (text.empty() || text.back() != u'/') text += u'/';
    return {text, true};
}

std::u16string WorkPlaceNotice(const std::u16string& programDirectory, const WorkPlace& place) {
    return u"Program directory " + programDirectory + u" is not writable: marlspin.log and the " +
           u"temporary burner files are in " + place.directory + u"\n";
}

}  // namespace cindral
