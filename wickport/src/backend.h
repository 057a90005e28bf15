// The seam between the C API and the two ways of reaching an adapter.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace wickport {

struct AdapterInfo {
    std::string serial;
    uint16_t product_id = 0;
    // Backend-private locator (hidraw path, or the virtual adapter's key).
    std::string locator;
    // What WpGetBackend reports: real unless the backend knows better.
    bool is_virtual = false;
    // For the bring-up probe: USB vendor id, product string, device node.
    uint16_t vendor_id = 0;
    std::string product;
    std::string node;
};

// One opened adapter. Every call returns a Wickport result code.
class Device {
  public:
    virtual ~Device() = default;
    virtual int Close() = 0;
    // data holds 1..64 bytes.
    virtual int Write(const uint8_t* data, int length) = 0;
    // Fills report with what arrived and sets *received to its size; the
    // caller ignores the bytes past it.
    virtual int Read(uint8_t report[64], int* received, int timeout_ms) = 0;
    virtual int Reset(bool boot_mode) = 0;
    virtual int SetControl(int id, uint8_t value) = 0;
    virtual int GetControl(int id, uint8_t* value) = 0;
    virtual int SetFeature(const uint8_t* report, int length) = 0;
    virtual int GetFeature(uint8_t* report, int length) = 0;
    // Discards input reports already waiting (late replies to earlier
    // commands) before a command is sent; *drained counts them.
    virtual int Drain(int* drained) {
        *drained = 0;
        return 0;
    }
    // How the adapter's reports are framed, one line; empty when the backend
    // frames nothing itself.
    virtual std::string Layout() const { return {}; }
    // Why the last failed call failed, as the HID layer told it; empty when
    // it said nothing.
    const std::string& Error() const { return error_; }
    // Time reads spent waiting for replies that never came, and pauses
    // (virtual adapters).
    virtual uint64_t WaitedUs() const { return 0; }
    // True when the adapter itself let the time pass; false leaves the caller
    // to sleep, as it must for a real adapter.
    virtual bool Pause(int /*milliseconds*/) { return false; }

  protected:
    std::string error_;
};

class Backend {
  public:
    virtual ~Backend() = default;
    // Re-reads the attached adapters, in a stable order.
    virtual std::vector<AdapterInfo> Enumerate() = 0;
    // False once a listed adapter has vanished (checked before it is used).
    virtual bool Present(const AdapterInfo& info) = 0;
    // On failure *why may tell the user the reason.
    virtual int Open(const AdapterInfo& info, std::unique_ptr<Device>* device,
                     std::string* why) = 0;
};

// The virtual adapters come from kVirtualLibrary, beside Wickport itself, so
// programs that only reach real adapters carry no simulator. Without it they
// are simply absent (after one line on stderr).
std::unique_ptr<Backend> MakeVirtualBackend();
std::unique_ptr<Backend> MakeHidBackend();

// The module's stem: "libwickport-virtual.so" on Linux, "wickport-virtual.dll" on Windows.
inline constexpr const char* kVirtualLibrary = "wickport-virtual";
// The library's one export: a new backend, or null when it was built for
// another kBackendInterface.
inline constexpr const char* kVirtualFactory = "WickportVirtualBackend";
using VirtualFactory = Backend* (*)(int backend_interface);
// Changes whenever Backend, Device or AdapterInfo change shape, so that a
// stale library is refused instead of called.
inline constexpr int kBackendInterface = 3;

}  // namespace wickport
