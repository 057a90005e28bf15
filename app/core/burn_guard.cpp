#include "burn_guard.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "compose_map.h"
#include "text.h"

namespace cindral {

namespace fs = std::filesystem;

namespace {
// Burn files are small text files; anything larger is not read for its map.
constexpr std::uintmax_t kMaxMapFileSize = 64u << 20;
}  // namespace

bool ComposeFailureMark::Stale(const std::u16string& burnFile) const {
    if (!failed_) return false;
    std::error_code ec;
    const fs::file_time_type written = fs::last_write_time(ToPath(burnFile), ec);
    return ec || written <= failedAt_;
}

bool MapReportsTrouble(std::string_view burnFileBytes) {
    for (const ComposeMapRow& row : ParseComposeMap(WidenText(burnFileBytes)))
        if (row.conflict || row.error) return true;
    return false;
}

bool BurnFileMapReportsTrouble(const std::u16string& path) {
    std::error_code ec;
    const fs::path p = ToPath(path);
    if (!fs::is_regular_file(p, ec) || fs::file_size(p, ec) > kMaxMapFileSize || ec) return false;
    std::ifstream in(p, std::ios::binary);
    if (!in.is_open()) return false;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return MapReportsTrouble(bytes);
}

std::u16string AbsoluteBurnFilePath(const std::u16string& path) {
    if (path.empty()) return path;
    const fs::path p = ToPath(path);
    if (p.is_absolute()) return path;
    std::error_code ec;
    const fs::path absolute = fs::absolute(p, ec);
    if (ec) return path;
    return FromPath(absolute.lexically_normal());
}

bool ConfirmStaleBurn(IMessagePort& messages, const std::u16string& burnFile) {
    return messages.ShowMessage(
               u"The last compose failed. Burn the previous burn file " + burnFile + u" anyway?",
               u"", MsgButtons::YesNoDefaultNo, MsgIcon::Exclamation) == MsgResult::Yes;
}

bool ConfirmTroubledBurn(IMessagePort& messages) {
    return messages.ShowMessage(u"The burn file's map reports conflicts or errors. Burn it anyway?",
                                u"", MsgButtons::YesNoDefaultNo,
                                MsgIcon::Exclamation) == MsgResult::Yes;
}

}  // namespace cindral
