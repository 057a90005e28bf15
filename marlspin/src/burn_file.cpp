#include "burn_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "burner.h"
#include "failure.h"

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
    const std::size_t cut = path.find_last_of('/');
    const std::string dir = cut == std::string::npos ? "." : (cut == 0 ? "/" : path.substr(0, cut));
    const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    if (name.empty() || name == "." || name == "..")
        throw Failure(kExitBurnFile, "NVM burn file '" + path + "' names no file");

    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw Failure(kExitOutputDir, "output directory '" + dir + "' does not exist");
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw Failure(kExitBurnFile, "NVM burn file '" + path + "' is a directory");

    std::string tmp = dir + "/." + name + ".XXXXXX";
    std::vector<char> buf(tmp.begin(), tmp.end());
    buf.push_back('\0');
    int fd = ::mkstemp(buf.data());
    if (fd < 0)
        throw Failure(kExitOutputDir, Format("cannot create a file in output directory '%s': %s",
                                             dir.c_str(), std::strerror(errno)));
    tmp.assign(buf.data());
    auto fail = [&](const char* what) {
        const int e = errno;
        ::close(fd);
        ::unlink(tmp.c_str());
        throw Failure(kExitBurnFile,
                      Format("%s NVM burn file '%s': %s", what, path.c_str(), std::strerror(e)));
    };
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, 0666 & ~mask) != 0) fail("cannot set the mode of");
    std::size_t done = 0;
    while (done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail("cannot write");
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) fail("cannot write");
    if (::close(fd) != 0) {
        const int e = errno;
        ::unlink(tmp.c_str());
        throw Failure(kExitBurnFile, Format("cannot write NVM burn file '%s': %s", path.c_str(),
                                            std::strerror(e)));
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const int e = errno;
        ::unlink(tmp.c_str());
        throw Failure(kExitBurnFile, Format("cannot replace NVM burn file '%s': %s", path.c_str(),
                                            std::strerror(e)));
    }
}

}  // namespace marlspin
