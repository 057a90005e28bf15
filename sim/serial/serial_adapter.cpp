#include "serial_adapter.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "zt/adapter_protocol.h"
#include "zt/serial_line.h"
#include "zt/serial_protocol.h"

namespace zsim {

size_t SerialFrameLength(const uint8_t* c, size_t available) {
    if (available == 0) return 1;
    const uint8_t op = c[0];
    auto counted = [&](size_t header, size_t count_at) {
        return available > count_at ? header + c[count_at] : header + 1;
    };
    namespace wire = zt::adapter;
    if (op <= wire::kFirmwareLastOp) return 3;  // [op, p1, p2]
    switch (op) {
        case wire::kTargetReset:
        case wire::kHardwareId:
        case wire::kDerivativeId:
        case wire::kRun:
        case wire::kHalt:
        case wire::kStep:
        case wire::kRunStatus:
        case wire::kDeviceErase:
            return 1;
        case wire::kPageErase:
        case wire::kPageCrc:
        case wire::kPageCrc32:
            return 2;
        case wire::kDirectRead:
        case wire::kRamRead:
        case wire::kWindowRead:
        case wire::kC2RegisterRead:
            return 3;
        case wire::kDirectWrite:
        case wire::kRamWrite:
        case wire::kC2RegisterWrite:
            return counted(3, 2);
        case wire::kXdataRegisterRead:
        case wire::kCodeRead:
        case wire::kXdataRead:
            return 4;
        case wire::kXdataRegisterWrite:
        case wire::kCodeWrite:
        case wire::kCodeWriteWithStatus:
        case wire::kXdataWrite:
            return counted(4, 3);
        case wire::kClockStrobe:
        case wire::kProgrammingVoltage:
        case wire::kConnectOption:
            return counted(2, 1);
        default:
            return 0;
    }
}

std::unique_ptr<SerialAdapterServer> SerialAdapterServer::Create(const std::string& link,
                                                                 const std::string& serial,
                                                                 const AdapterOptions& options,
                                                                 std::string* error) {
    std::unique_ptr<SerialAdapterServer> server(new SerialAdapterServer());
    server->adapter_ =
        VirtualAdapter::Create(serial, options, error, VirtualAdapter::Kind::kSerial);
    if (!server->adapter_) return nullptr;
    auto fail = [&](const std::string& what) {
        *error = what + ": " + std::strerror(errno);
        return nullptr;
    };
    server->master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (server->master_ < 0 || grantpt(server->master_) != 0 || unlockpt(server->master_) != 0) {
        return fail("cannot open a pseudo-terminal");
    }
    const char* name = ptsname(server->master_);
    server->slave_ = name != nullptr ? open(name, O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
    std::string slave_path = name != nullptr ? name : "";
#ifdef TIOCGPTPEER
    if (server->slave_ < 0) {
        // A slave not visible in this mount namespace is still reachable through our own fd.
        server->slave_ = ioctl(server->master_, TIOCGPTPEER, O_RDWR | O_NOCTTY | O_CLOEXEC);
        slave_path = "/proc/" + std::to_string(getpid()) + "/fd/" + std::to_string(server->slave_);
    }
#endif
    if (server->slave_ < 0) return fail("cannot open the pseudo-terminal's slave");
    // Raw from the start, so nothing the host sends is echoed before it sets the line up.
    struct termios t {};
    tcgetattr(server->slave_, &t);
    cfmakeraw(&t);
    tcsetattr(server->slave_, TCSANOW, &t);
    fcntl(server->master_, F_SETFL, fcntl(server->master_, F_GETFL) | O_NONBLOCK);

    std::error_code ec;
    std::filesystem::remove(link, ec);
    if (symlink(slave_path.c_str(), link.c_str()) != 0) return fail("cannot create " + link);
    server->link_ = link;
    const std::string directory = zt::serial::VirtualPortDirectory();
    mkdir(directory.c_str(), 0700);
    server->announcement_ = directory + "/" + std::filesystem::path(link).filename().string();
    std::filesystem::remove(server->announcement_, ec);
    if (symlink(slave_path.c_str(), server->announcement_.c_str()) != 0) {
        server->announcement_.clear();
        return fail("cannot announce the port in " + directory);
    }
    server->adapter_->Open();
    return server;
}

SerialAdapterServer::~SerialAdapterServer() {
    if (!announcement_.empty()) unlink(announcement_.c_str());
    if (!link_.empty()) unlink(link_.c_str());
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
}

bool SerialAdapterServer::SetLineBaud(int baud) {
    struct termios t {};
    const speed_t speed = zt::serial::SpeedFor(baud);
    if (speed == B0 || tcgetattr(slave_, &t) != 0) return false;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    return tcsetattr(slave_, TCSANOW, &t) == 0;
}

std::chrono::nanoseconds SerialAdapterServer::ByteTime() const {
    if (!adapter_->RealSpeed()) return std::chrono::nanoseconds(0);
    struct termios t {};
    if (tcgetattr(slave_, &t) != 0) return std::chrono::nanoseconds(0);
    const int baud = zt::serial::BaudOf(cfgetospeed(&t));
    // Start bit, 8 data bits, stop bit.
    return baud > 0 ? std::chrono::nanoseconds(10'000'000'000LL / baud)
                    : std::chrono::nanoseconds(0);
}

void SerialAdapterServer::Answer(const uint8_t* bytes, size_t length) {
    // At speed=real the reply is there once the line has carried all of it.
    const std::chrono::nanoseconds byte_time = ByteTime();
    if (byte_time.count() > 0) {
        line_out_ = std::max(line_out_, std::chrono::steady_clock::now()) +
                    byte_time * static_cast<int64_t>(length);
        std::this_thread::sleep_until(line_out_);
    }
    // Counted before sending, so a host that has read the bytes sees them counted.
    to_host_ += length;
    size_t done = 0;
    while (done < length) {
        const ssize_t n = write(master_, bytes + done, length - done);
        if (n > 0) {
            done += size_t(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return;
        } else {
            struct pollfd p {
                master_, POLLOUT, 0
            };
            poll(&p, 1, 10);
        }
    }
}

bool SerialAdapterServer::Process() {
    for (;;) {
        if (input_.empty()) return true;
        const auto* c = reinterpret_cast<const uint8_t*>(input_.data());
        size_t need = 0;
        const int raw = adapter_->RawBytesPending();
        if (raw > 0) {
            need = size_t(std::min(raw, 64));
        } else if (c[0] == zt::serial::kHandshakeRequest) {
            input_.erase(0, 1);
            adapter_->Reset(false);
            adapter_->Open();
            struct termios t {};
            if (tcgetattr(slave_, &t) == 0) handshake_baud_ = zt::serial::BaudOf(cfgetospeed(&t));
            const uint8_t reply = zt::serial::kHandshakeReply;
            Answer(&reply, 1);
            continue;
        } else {
            need = SerialFrameLength(c, input_.size());
            if (need == 0) need = input_.size();
        }
        need = std::min<size_t>(need, 64);
        if (need > input_.size()) return true;  // the rest is still on its way
        adapter_->Write(c, int(need));
        input_.erase(0, need);
        VirtualAdapter::StreamReply reply;
        const VirtualAdapter::ReadResult got = adapter_->TakeReply(&reply);
        if (got == VirtualAdapter::ReadResult::kGone) return false;
        if (got != VirtualAdapter::ReadResult::kReport) continue;
        std::vector<uint8_t>& out = reply.bytes;
        // On the serial line, short and extra hit target data replies only:
        // the trailing byte goes missing, or two more bytes follow it.
        if (reply.target_data && !reply.shortened) out.push_back(zt::serial::kTrailingByte);
        if (reply.target_data && reply.extra) out.insert(out.end(), {0x0D, 0x00});
        Answer(out.data(), out.size());
    }
}

void SerialAdapterServer::Serve(const std::atomic<bool>& stop) {
    uint8_t buffer[4096];
    auto last_input = std::chrono::steady_clock::now();
    while (!stop) {
        struct pollfd p {
            master_, POLLIN, 0
        };
        if (poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN)) {
            // A page or packet the host gave up on is dropped, so its next
            // handshake is not taken for page bytes.
            if (!input_.empty() || adapter_->RawBytesPending() > 0) {
                if (std::chrono::steady_clock::now() - last_input > std::chrono::seconds(1)) {
                    input_.clear();
                    adapter_->Reset(false);
                }
            }
            continue;
        }
        last_input = std::chrono::steady_clock::now();
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0) continue;
        // At speed=real the bytes are there only once the line has carried them.
        const std::chrono::nanoseconds byte_time = ByteTime();
        if (byte_time.count() > 0) {
            line_in_ = std::max(line_in_, std::chrono::steady_clock::now()) + byte_time * n;
            std::this_thread::sleep_until(line_in_);
        }
        from_host_ += uint64_t(n);
        input_.append(reinterpret_cast<const char*>(buffer), size_t(n));
        if (!Process()) break;
    }
    if (!stop) {
        // Unplugged: the line goes away under the host.
        close(slave_);
        close(master_);
        slave_ = master_ = -1;
    }
}

}  // namespace zsim
