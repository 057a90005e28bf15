#include "zt/platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace zt::platform {
namespace {

std::string DirectoryOf(const std::string& path) {
    const std::size_t cut = path.find_last_of('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

}  // namespace

bool ReplaceFileContents(const std::string& path, std::string_view content,
                         std::optional<unsigned> mode, ReplaceFailure* failure, TempName naming) {
    const std::string dir = DirectoryOf(path);
    const std::size_t cut = path.find_last_of('/');
    const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    std::string tmp =
        naming == TempName::kHidden ? dir + "/." + name + ".XXXXXX" : path + ".tmp.XXXXXX";
    std::vector<char> buf(tmp.begin(), tmp.end());
    buf.push_back('\0');
    const int fd = ::mkostemp(buf.data(), O_CLOEXEC);
    if (fd < 0) {
        *failure = {ReplaceFailure::Step::kCreate, std::strerror(errno), tmp};
        return false;
    }
    tmp.assign(buf.data());
    auto fail = [&](ReplaceFailure::Step step, int code, bool open) {
        if (open) ::close(fd);
        ::unlink(tmp.c_str());
        *failure = {step, std::strerror(code), tmp};
        return false;
    };
    unsigned permissions = 0;
    if (mode) {
        permissions = *mode;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        permissions = 0666 & ~mask;
    }
    if (::fchmod(fd, permissions) != 0) return fail(ReplaceFailure::Step::kMode, errno, true);
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(ReplaceFailure::Step::kWrite, n < 0 ? errno : EIO, true);
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) return fail(ReplaceFailure::Step::kFlush, errno, true);
    if (::close(fd) != 0) return fail(ReplaceFailure::Step::kFlush, errno, false);
    if (::rename(tmp.c_str(), path.c_str()) != 0)
        return fail(ReplaceFailure::Step::kReplace, errno, false);
    // The rename itself reaches the disk with the directory.
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

bool ReadRegularFile(const std::string& path, std::size_t max_size, std::string* data,
                     ReadFailure* failure) {
    using Kind = ReadFailure::Kind;
    // Non-blocking, so that a FIFO in the file's place cannot stall the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int e = errno;
        *failure = {e == ENOENT || e == ENOTDIR ? Kind::kMissing : Kind::kOpen, std::strerror(e)};
        return false;
    }
    auto fail = [&](Kind kind, std::string reason) {
        ::close(fd);
        *failure = {kind, std::move(reason)};
        return false;
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return fail(Kind::kNotRegular, {});
    if (static_cast<unsigned long long>(st.st_size) > max_size) return fail(Kind::kTooLarge, {});
    data->clear();
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(Kind::kRead, std::strerror(errno));
        if (n == 0) break;
        data->append(buf, static_cast<std::size_t>(n));
        // A file that grows while it is read is held to the same limit.
        if (data->size() > max_size) return fail(Kind::kTooLarge, {});
    }
    ::close(fd);
    return true;
}

std::string TempDirectory() {
    const char* env = std::getenv("TMPDIR");
    std::string dir = env && *env ? env : "/tmp";
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

std::string MakeTempDirectory(std::string_view prefix, std::string* error) {
    std::string pattern = TempDirectory() + "/" + std::string(prefix) + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        if (error) *error = std::strerror(errno);
        return {};
    }
    return pattern;
}

bool IsWritableDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(path.c_str(), W_OK | X_OK) == 0;
}

}  // namespace zt::platform
