#include "file_helpers.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "text.h"

namespace cindral {

namespace fs = std::filesystem;

bool FileExists(const std::u16string& path) {
    std::error_code ec;
    if (fs::is_directory(ToPath(path), ec)) return false;
    std::ifstream in(ToPath(path), std::ios::binary);
    return in.is_open();
}

bool FileHasData(const std::u16string& path) {
    if (!FileExists(path)) return false;
    std::error_code ec;
    auto size = fs::file_size(ToPath(path), ec);
    return !ec && size != 0;
}

void RemoveFile(const std::u16string& path, IMessagePort& messages) {
    if (!FileExists(path)) return;
    std::error_code ec;
    fs::remove(ToPath(path), ec);
    if (!ec) return;
    const std::u16string lead = u"Error has occured removing old file: ";
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted) {
        messages.Ok(lead + u"\n" + path + u"\n" + u"Access is denied");
    } else {
        messages.Ok(lead + u"\n" + path);
    }
}

TemporaryFile::~TemporaryFile() {
    // Only a file of ours: a directory of that name is the operator's.
    std::error_code ec;
    if (fs::is_regular_file(fs::path(path_), ec)) fs::remove(fs::path(path_), ec);
}

std::u16string GetWorkingDirectory() {
    std::error_code ec;
    std::u16string dir = FromPath(fs::current_path(ec));
    if (ec) return {};
    if (dir.size() >= kMaxPath) dir.resize(kMaxPath - 1);
    const char16_t sep = static_cast<char16_t>(fs::path::preferred_separator);
    if (dir.size() < kMaxPath - 1 && (dir.empty() || dir.back() != sep)) dir.push_back(sep);
    return dir;
}

bool SetWorkingDirectory(const std::u16string& path) {
    std::error_code ec;
    fs::current_path(ToPath(path), ec);
    return !ec;
}

}  // namespace cindral

namespace cindral {

const char16_t* const kBurnFileFilter = u"NVM Burn File (*.nbf)|*.nbf|All Files (*.*)|*.*||";

bool RefuseSpaces(const std::u16string& path, IMessagePort& messages) {
    if (path.find(u' ') == std::u16string::npos) return false;
    messages.ShowMessage(u"Spaces are not allowed in the file name or file path.", u"Error!",
                         MsgButtons::Ok, MsgIcon::None);
    return true;
}

std::optional<std::u16string> ChooseNewBurnFile(IFileDialogPort& files, IMessagePort& messages) {
    FileDialogRequest request;
    request.filter = kBurnFileFilter;
    request.defaultExtension = u"nbf";
    request.proposedName = u"NVM_Burn";
    request.confirmOverwrite = true;
    request.confirmCreate = true;
    std::optional<std::u16string> chosen = files.SaveFile(request);
    if (!chosen || RefuseSpaces(*chosen, messages)) return std::nullopt;
    std::ofstream created(ToPath(*chosen), std::ios::binary | std::ios::trunc);
    if (!created.is_open()) return std::nullopt;
    return chosen;
}

std::optional<std::u16string> ChooseExistingFile(IFileDialogPort& files, IMessagePort& messages,
                                                 const char16_t* filter,
                                                 const char16_t* defaultExtension) {
    FileDialogRequest request;
    request.filter = filter;
    request.defaultExtension = defaultExtension;
    request.mustExist = true;
    std::optional<std::u16string> chosen = files.OpenFile(request);
    if (!chosen || RefuseSpaces(*chosen, messages)) return std::nullopt;
    return chosen;
}

}  // namespace cindral
