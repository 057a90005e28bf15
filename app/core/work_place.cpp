#include "work_place.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "text.h"
#include "zt/platform/files.h"
#include "zt/platform/places.h"

namespace cindral {
namespace {

bool WritableDirectory(const std::filesystem::path& dir) {
    return zt::platform::IsWritableDirectory(dir.string());
}

std::filesystem::path CacheBase() {
    return std::filesystem::path(zt::platform::CacheHome());
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
    const char16_t separator = static_cast<char16_t>(zt::platform::kPathSeparator);
    if (text.empty() || text.back() != separator) text += separator;
    return {text, true};
}

std::u16string WorkPlaceNotice(const std::u16string& programDirectory, const WorkPlace& place) {
    return u"Program directory " + programDirectory + u" is not writable: marlspin.log and the " +
           u"temporary burner files are in " + place.directory + u"\n";
}

}  // namespace cindral
