#include "settings_archive.h"

#include <filesystem>
#include <fstream>

#include "text.h"
#include "zt/platform/files.h"

namespace cindral {

namespace {
constexpr uint8_t kStringMarker = 0xFF;
constexpr uint16_t kUnicodeTag = 0xFFFE;
}  // namespace

void SettingsWriter::Put(uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void SettingsWriter::WriteInt(int32_t value) {
    Put(static_cast<uint32_t>(value), 4);
}

void SettingsWriter::WriteString(const std::u16string& text) {
    Put(kStringMarker, 1);
    Put(kUnicodeTag, 2);
    const std::size_t n = text.size();
    if (n < 0xFF) {
        Put(static_cast<uint32_t>(n), 1);
    } else if (n < 0xFFFE) {
        Put(0xFF, 1);
        Put(static_cast<uint32_t>(n), 2);
    } else {
        Put(0xFF, 1);
        Put(0xFFFF, 2);
        Put(static_cast<uint32_t>(n), 4);
    }
    for (char16_t c : text) Put(c, 2);
}

bool SettingsWriter::SaveTo(const std::u16string& path, std::string* why) const {
    std::string scratch;
    if (why == nullptr) why = &scratch;
    std::filesystem::path target = ToPath(path);
    // A settings file reached through a symbolic link is saved where the link
    // points; replacing the link would leave a plain file in its place.
    std::error_code linkError;
    if (std::filesystem::is_symlink(target, linkError)) {
        const auto resolved = std::filesystem::canonical(target, linkError);
        if (!linkError) target = resolved;
    }
    // Written beside the old file and put in its place: a failed save leaves it whole.
    std::error_code statusError;
    const auto old = std::filesystem::status(target, statusError);
    const unsigned mode =
        std::filesystem::exists(old) ? static_cast<unsigned>(old.permissions()) & 07777u : 0644u;
    const std::u8string name = target.u8string();
    zt::platform::ReplaceFailure failure;
    if (zt::platform::ReplaceFileContents(
            std::string(name.begin(), name.end()),
            std::string_view(reinterpret_cast<const char*>(bytes_.data()), bytes_.size()), mode,
            &failure, zt::platform::TempName::kTmpSuffix))
        return true;
    *why = failure.reason;
    return false;
}

std::optional<SettingsReader> SettingsReader::Open(const std::u16string& path) {
    std::ifstream in(ToPath(path), std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<uint8_t> bytes;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + in.gcount());
        if (bytes.size() > kMaxFileSize) return std::nullopt;
    }
    return SettingsReader(std::move(bytes));
}

bool SettingsReader::Get(uint32_t& value, int size) {
    if (failed_ || bytes_.size() - pos_ < static_cast<std::size_t>(size)) {
        failed_ = true;
        return false;
    }
    value = 0;
    for (int i = 0; i < size; ++i) value |= static_cast<uint32_t>(bytes_[pos_++]) << (8 * i);
    return true;
}

bool SettingsReader::ReadInt(int32_t& value) {
    uint32_t v = 0;
    if (!Get(v, 4)) return false;
    value = static_cast<int32_t>(v);
    return true;
}

bool SettingsReader::ReadString(std::u16string& text) {
    uint32_t marker = 0, tag = 0, length = 0;
    if (!Get(marker, 1) || !Get(tag, 2)) return false;
    if (marker != kStringMarker || tag != kUnicodeTag) {
        failed_ = true;
        return false;
    }
    if (!Get(length, 1)) return false;
    if (length == 0xFF) {
        if (!Get(length, 2)) return false;
        if (length == 0xFFFF && !Get(length, 4)) return false;
    }
    // The length comes from the file: it must fit in what is left of it.
    if ((bytes_.size() - pos_) / 2 < length) {
        failed_ = true;
        return false;
    }
    std::u16string out;
    out.reserve(length);
    for (uint32_t i = 0; i < length; ++i) {
        uint32_t unit = 0;
        Get(unit, 2);
        out.push_back(static_cast<char16_t>(unit));
    }
    text = std::move(out);
    return true;
}

}  // namespace cindral
