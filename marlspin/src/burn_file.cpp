#include "burn_file.h"

#include <filesystem>

#include "burner.h"
#include "failure.h"
#include "zt/platform/files.h"

namespace marlspin {
namespace {

unsigned long long ULL(uint64_t v) {
    return static_cast<unsigned long long>(v);
}

}  // namespace

std::string SafeName(const std::string& name) {
    std::string out;
    for (unsigned char c : name) out += (c <= 0x20 || c == 0x7F || c == ';') ? '_' : char(c);
    if (out.empty()) out = "_";
    if (out[0] == '[' || out[0] == ':') out[0] = '_';
    return out;
}

std::string FormatBurnFile(const Composition& c) {
    std::string out = "; NVM burn file written by Marlspin\r\n";
    out += c.strict ? "; compose mode strict\r\n" : "; compose mode logic OR\r\n";
    if (c.has_boot_record)
        out += Format("; user begin 0x%04X, boot image length 0x%04X, user region CRC32 0x%08X\r\n",
                      c.user_begin, c.boot_length, c.user_crc);
    out += "[Compose Map]\r\n";
    for (const MapRow& row : c.rows)
        out += Format("%s 0x%04llX 0x%04llX 0x%04llX %llu %s\r\n", SafeName(row.name).c_str(),
                      ULL(row.first), ULL(row.last), ULL(row.last - row.first + 1),
                      ULL(row.last - row.first + 1), row.status.c_str());
    out += ";\r\n[Burn]\r\n";
    out += Format("Count=%zu\r\n;\r\n", c.images.size());
    for (std::size_t i = 0; i < c.images.size(); ++i) {
        const BurnImage& image = c.images[i];
        std::string title = image.title;
        for (char& ch : title)
            if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) ch = '_';
        out += Format("Image %zu %s\r\n", i + 1, title.c_str());
        out += ToIntelHex(BuildBurner(image.segments, c.strict));
    }
    out += ";\r\n";
    return out;
}

void WriteFileAtomically(const std::string& path, const std::string& content) {
    if (path.empty()) throw Failure(kExitBurnFile, "no NVM burn file name given");
    // The system's own separators: '/' here, '\\' and '/' on Windows.
    const std::filesystem::path target(path);
    std::string dir = target.parent_path().string();
    if (dir.empty()) dir = ".";
    const std::string name = target.filename().string();
    if (name.empty() || name == "." || name == "..")
        throw Failure(kExitBurnFile, "NVM burn file '" + path + "' names no file");

    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec))
        throw Failure(kExitOutputDir, "output directory '" + dir + "' does not exist");
    if (std::filesystem::is_directory(target, ec))
        throw Failure(kExitBurnFile, "NVM burn file '" + path + "' is a directory");

    zt::platform::ReplaceFailure failure;
    if (zt::platform::ReplaceFileContents(path, content, std::nullopt, &failure)) return;
    using Step = zt::platform::ReplaceFailure::Step;
    switch (failure.step) {
        case Step::kCreate:
            throw Failure(kExitOutputDir,
                          Format("cannot create a file in output directory '%s': %s", dir.c_str(),
                                 failure.reason.c_str()));
        case Step::kMode:
            throw Failure(kExitBurnFile, Format("cannot set the mode of NVM burn file '%s': %s",
                                                path.c_str(), failure.reason.c_str()));
        case Step::kWrite:
        case Step::kFlush:
            throw Failure(kExitBurnFile, Format("cannot write NVM burn file '%s': %s", path.c_str(),
                                                failure.reason.c_str()));
        case Step::kReplace:
            break;
    }
    throw Failure(kExitBurnFile, Format("cannot replace NVM burn file '%s': %s", path.c_str(),
                                        failure.reason.c_str()));
}

}  // namespace marlspin
