#include "link/serial_port.h"

#include <fcntl.h>
#include <libserialport.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "zt/serial_line.h"
#include "zt/serial_protocol.h"

namespace ordwin {
namespace {

std::vector<std::string> AnnouncedVirtualPorts() {
    std::vector<std::string> ports;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(zt::serial::VirtualPortDirectory(), error)) {
        ports.push_back(entry.path().string());
    }
    return ports;
}

}  // namespace

std::string ComPortPath(int number) {
    if (number < 1) return {};
    const std::string variable = "ORDWIN_COM" + std::to_string(number);
    if (const char* path = std::getenv(variable.c_str()); path != nullptr && *path != '\0') {
        return path;
    }
    // A running virtual adapter comes first: starting one is a deliberate choice,
    // and machines often list built-in ports nobody has wired to an adapter.
    std::vector<std::string> ports = AnnouncedVirtualPorts();
    std::sort(ports.begin(), ports.end());
    std::vector<std::string> real;
    sp_port** list = nullptr;
    if (sp_list_ports(&list) == SP_OK) {
        for (int i = 0; list[i] != nullptr; ++i) real.emplace_back(sp_get_port_name(list[i]));
        sp_free_port_list(list);
    }
    std::sort(real.begin(), real.end());
    ports.insert(ports.end(), real.begin(), real.end());
    if (static_cast<size_t>(number) > ports.size()) return {};
    return ports[static_cast<size_t>(number) - 1];
}

SerialPort::OpenError SerialPort::Open(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENXIO || errno == ENODEV) return OpenError::kNotFound;
        if (errno == EACCES || errno == EBUSY || errno == EPERM) return OpenError::kInUse;
        return OpenError::kOther;
    }
    // Exclusive use: a second opener gets EBUSY, as with a port already in use.
    if (!isatty(fd) || ioctl(fd, TIOCEXCL) != 0) {
        ::close(fd);
        return OpenError::kOther;
    }
    fd_ = fd;
    auto saved = std::make_shared<struct termios>();
    haveSaved_ = tcgetattr(fd_, saved.get()) == 0;
    savedBaud_ = haveSaved_ ? zt::serial::BaudOf(cfgetospeed(saved.get())) : 0;
    system_ = std::move(saved);
    return OpenError::kNone;
}

void SerialPort::Close() {
    if (fd_ < 0) return;
    ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
    haveSaved_ = false;
}

bool SerialPort::Apply(int baud, bool lineControl) {
    if (fd_ < 0) return false;
    struct termios t {};
    if (tcgetattr(fd_, &t) != 0) return false;
    cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CSIZE | CRTSCTS);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    if (lineControl) t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // Reads never block in the kernel; the link polls the queue itself.
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    const speed_t speed = zt::serial::SpeedFor(baud);
    if (speed == B0 || cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0) return false;
    return tcsetattr(fd_, TCSANOW, &t) == 0;
}

bool SerialPort::RestoreSaved() {
    if (fd_ < 0 || !haveSaved_) return false;
    return tcsetattr(fd_, TCSANOW, static_cast<const struct termios*>(system_.get())) == 0;
}

int SerialPort::InputWaiting() const {
    if (fd_ < 0) return -1;
    int count = 0;
    if (ioctl(fd_, FIONREAD, &count) != 0) return -1;
    return count;
}

bool SerialPort::WaitBriefly(int milliseconds) const {
    if (fd_ < 0) return false;
    // Wakes as soon as bytes arrive; a hang-up or an error ends the wait.
    struct pollfd p {
        fd_, POLLIN, 0
    };
    if (poll(&p, 1, milliseconds) < 0) return errno == EINTR;
    return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0;
}

bool SerialPort::PurgeInput() {
    return fd_ >= 0 && tcflush(fd_, TCIFLUSH) == 0;
}

bool SerialPort::PurgeBoth() {
    return fd_ >= 0 && tcflush(fd_, TCIOFLUSH) == 0;
}

int SerialPort::Write(const uint8_t* data, int length, int timeoutMs) {
    if (fd_ < 0) return -1;
    int done = 0;
    int waited = 0;
    while (done < length) {
        const ssize_t n = ::write(fd_, data + done, static_cast<size_t>(length - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return -1;
        if (waited >= timeoutMs) break;
        struct pollfd p {
            fd_, POLLOUT, 0
        };
        if (poll(&p, 1, 10) < 0 && errno != EINTR) return -1;
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) return -1;
        waited += 10;
    }
    return done;
}

int SerialPort::ReadByte(uint8_t* value, int timeoutMs) {
    if (fd_ < 0) return -1;
    struct pollfd p {
        fd_, POLLIN, 0
    };
    const int ready = poll(&p, 1, timeoutMs);
    if (ready < 0) return errno == EINTR ? 0 : -1;
    if (ready == 0) return 0;
    const ssize_t n = ::read(fd_, value, 1);
    if (n == 1) return 1;
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
    return -1;  // end of file or an error: the port is gone
}

bool SerialPort::SetDtr(bool on) {
    if (fd_ < 0) return false;
    int bits = TIOCM_DTR;
    return ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

bool SerialPort::IsAnnouncedVirtual() const {
    struct stat own {};
    if (fd_ < 0 || fstat(fd_, &own) != 0 || !S_ISCHR(own.st_mode)) return false;
    for (const std::string& path : AnnouncedVirtualPorts()) {
        struct stat announced {};
        if (stat(path.c_str(), &announced) == 0 && S_ISCHR(announced.st_mode) &&
            announced.st_rdev == own.st_rdev) {
            // Only a pseudo-terminal can be a virtual adapter; a real one never is.
            return major(own.st_rdev) >= 136 && major(own.st_rdev) <= 143;
        }
    }
    return false;
}

}  // namespace ordwin
