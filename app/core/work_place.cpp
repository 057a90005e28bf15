#include "work_place.h"

#include <filesystem>
#include <iterator>
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

bool IsSystemDirectory(const std::u16string& directory) {
    const std::filesystem::path given = ToPath(directory);
    if (!given.is_absolute()) return false;
    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::weakly_canonical(given, ec);
    if (ec) return false;
    const auto top = std::next(dir.begin());
    if (top == dir.end()) return false;
    const std::string first = top->string();
    return first == "usr" || first == "bin" || first == "sbin" || first.rfind("lib", 0) == 0 ||
           first == "opt" || first == "snap";
}

WorkPlace ChooseWorkPlace(const std::u16string& programDirectory) {
    WorkPlace place{programDirectory, false, false};
    const bool system = IsSystemDirectory(programDirectory);
    if (!system && WritableDirectory(ToPath(programDirectory))) return place;
    const std::filesystem::path base = CacheBase();
    if (base.empty()) return place;
    const std::filesystem::path dir = base / "cindral";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!WritableDirectory(dir)) return place;
    std::u16string text = FromPath(dir);
    const char16_t separator = static_cast<char16_t>(zt::platform::kPathSeparator);
    if (text.empty() || text.back() != separator) text += separator;
    return {text, true, !system};
}

std::u16string WorkPlaceNotice(const std::u16string& programDirectory, const WorkPlace& place) {
    return u"Program directory " + programDirectory + u" is not writable: marlspin.log and the " +
           u"temporary burner files are in " + place.directory + u"\n";
}

}  // namespace cindral
