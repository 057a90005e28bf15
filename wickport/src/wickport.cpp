// The C API: adapter list, selection and the one open adapter, over whichever
// backend the environment asks for.
#include "wickport.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_set>

#include "adapter_list.h"
#include "backend.h"
#include "trace.h"
#include "wickport_test.h"
#include "zt/platform/system.h"

namespace wickport {
namespace {

constexpr int kDefaultTimeoutMs = 5000;

struct Selection {
    Backend* backend = nullptr;
    AdapterInfo info;
    const char* serial = nullptr;  // interned
};

class Library {
  public:
    std::mutex mu;
    Trace trace;
    int timeout_ms = kDefaultTimeoutMs;
    uint64_t waited_us = 0;  // reads waiting for replies that never came, all adapters

    // Re-reads the adapters. With exactly one listed and none selected, that one
    // is selected, so a caller that passes no serial still reaches it.
    void Enumerate() {
        enumerated_ = true;
        Backend* backend = CurrentBackend();
        list_ = backend->Enumerate();
        serials_.clear();
        for (const auto& a : list_) serials_.push_back(Intern(a.serial));
        if (selected_) {
            bool kept = false;
            if (selected_->backend == backend) {
                for (size_t i = 0; i < list_.size() && !kept; ++i) {
                    if (list_[i].locator == selected_->info.locator) {
                        Select(i);
                        kept = true;
                    }
                }
            }
            if (!kept) selected_.reset();
        }
        if (!selected_ && list_.size() == 1) Select(0);
    }

    void EnsureEnumerated() {
        if (!enumerated_) Enumerate();
    }

    int Count() const { return static_cast<int>(list_.size()); }

    const char* SerialAt(size_t i) const { return serials_[i]; }
    const AdapterInfo& At(size_t i) const { return list_[i]; }

    bool SelectSerial(const std::string& serial) {
        for (size_t i = 0; i < list_.size(); ++i) {
            if (SameSerial(list_[i].serial, serial)) {
                Select(i);
                return true;
            }
        }
        selected_.reset();
        return false;
    }

    const Selection* Selected() const { return selected_ ? &*selected_ : nullptr; }

    int OpenSelected() {
        open_error_.clear();
        if (!selected_) return WP_E_NO_DEVICE_SELECTED;
        CloseOpen();
        Backend* backend = selected_->backend;
        if (!backend->Present(selected_->info)) return WP_E_INVALID_HANDLE;
        std::unique_ptr<Device> device;
        // Callers tell "none selected" from "cannot be opened" and nothing
        // else, so every backend failure is the latter.
        if (backend->Open(selected_->info, &device, &open_error_) != WP_OK || !device)
            return WP_E_INVALID_HANDLE;
        open_error_.clear();
        last_error_.clear();
        open_ = std::move(device);
        const std::string layout = open_->Layout();
        if (!layout.empty()) trace.Note("report layout: " + layout);
        return WP_OK;
    }

    const std::string& OpenError() const { return open_error_; }

    // Keeps the device's reason for a failed call, and shows it in the trace.
    int Outcome(int rc) {
        if (rc >= 0 || !open_) return rc;
        // A time-out is its own reason; the device's text may be an older one.
        last_error_ = rc == WP_E_READ_TIMEOUT ? std::string() : open_->Error();
        if (!last_error_.empty()) trace.Note("failed: " + last_error_);
        return rc;
    }
    const std::string& LastError() const { return last_error_; }
    std::string Layout() const { return open_ ? open_->Layout() : std::string(); }

    int CloseOpen() {
        if (!open_) return WP_E_INVALID_HANDLE;
        int rc = open_->Close();
        open_.reset();
        return rc;
    }

    Device* Open() const { return open_.get(); }

    // The configured real-adapter ids, read afresh at index 0.
    const std::vector<UsbId>& UsbIds(int index) {
        if (index == 0)
            usb_ids_ = ConfiguredUsbIds(std::getenv("WICKPORT_USB_IDS"), UsbIdFiles(), nullptr);
        return usb_ids_;
    }

  private:
    Backend* CurrentBackend() {
        // WICKPORT_VIRTUAL, even empty, replaces the real adapters.
        if (zt::platform::GetEnvironment("WICKPORT_VIRTUAL")) {
            if (!virtual_) virtual_ = MakeVirtualBackend();
            return virtual_.get();
        }
        if (!hid_) hid_ = MakeHidBackend();
        return hid_.get();
    }

    void Select(size_t i) {
        Selection s;
        s.backend = CurrentBackend();
        s.info = list_[i];
        s.serial = serials_[i];
        selected_ = std::move(s);
    }

    // Serial texts handed out stay valid for the library's life, even after
    // the list they came from was re-read.
    const char* Intern(const std::string& s) { return interned_.insert(s).first->c_str(); }

    std::unique_ptr<Backend> virtual_;
    std::unique_ptr<Backend> hid_;
    std::unordered_set<std::string> interned_;
    bool enumerated_ = false;
    std::vector<AdapterInfo> list_;
    std::vector<const char*> serials_;
    std::optional<Selection> selected_;
    std::unique_ptr<Device> open_;
    std::string open_error_;
    std::string last_error_;
    std::vector<UsbId> usb_ids_;
};

// Never destroyed: callers' own static destructors may still close the
// adapter while the process exits.
Library& Lib() {
    static Library* lib = new Library;
    return *lib;
}

bool ValidByte(int v) {
    return v >= 0 && v <= 0xFF;
}

}  // namespace
}  // namespace wickport

using wickport::Lib;

extern "C" {

int WpGetDeviceCount(int* count) {
    if (!count) return WP_E_IO;
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    lib.Enumerate();
    *count = lib.Count();
    return WP_OK;
}

int WpSelectDevice(const char* serialNumber) {
    if (!serialNumber) return WP_E_DEVICE_NOT_FOUND;
    // Copied first: the caller may pass a text this library handed out.
    std::string serial(serialNumber, strnlen(serialNumber, wickport::kMaxSerialLength + 1));
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    lib.EnsureEnumerated();
    return lib.SelectSerial(serial) ? WP_OK : WP_E_DEVICE_NOT_FOUND;
}

int WpSetTimeout(int milliseconds) {
    if (milliseconds < 0) return WP_E_IO;
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    lib.timeout_ms = milliseconds;
    return WP_OK;
}

int WpGetSelectedSerial(const char** serialNumber) {
    if (!serialNumber) return WP_E_SN_ACCESS;
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    lib.EnsureEnumerated();
    const auto* s = lib.Selected();
    if (!s) return WP_E_NO_DEVICE_SELECTED;
    *serialNumber = s->serial;
    return WP_OK;
}

int WpGetSerialByIndex(int index, const char** serialNumber) {
    if (!serialNumber) return WP_E_SN_ACCESS;
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    lib.EnsureEnumerated();
    if (index < 0 || index >= lib.Count()) return WP_E_DEVICE_NOT_FOUND;
    *serialNumber = lib.SerialAt(static_cast<size_t>(index));
    return WP_OK;
}

int WpGetProductId(int* productId) {
    if (!productId) return WP_E_IO;
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    lib.EnsureEnumerated();
    const auto* s = lib.Selected();
    if (!s) return WP_E_NO_DEVICE_SELECTED;
    if (!s->backend->Present(s->info)) return WP_E_DEVICE_NOT_FOUND;
    *productId = s->info.product_id;
    return WP_OK;
}

int WpGetBackend(int* backend) {
    if (!backend) return WP_E_IO;
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    lib.EnsureEnumerated();
    const auto* s = lib.Selected();
    if (!s) return WP_E_NO_DEVICE_SELECTED;
    *backend = s->info.is_virtual ? WP_BACKEND_VIRTUAL : WP_BACKEND_HID;
    return WP_OK;
}

int WpGetOpenError(const char** text) {
    if (!text) return WP_E_IO;
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    *text = lib.OpenError().c_str();
    return WP_OK;
}

int WpGetLastError(const char** text) {
    if (!text) return WP_E_IO;
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    *text = lib.LastError().c_str();
    return WP_OK;
}

int WpGetReportLayout(const char** text) {
    if (!text) return WP_E_IO;
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    if (!lib.Open()) return WP_E_INVALID_HANDLE;
    static std::string layout;
    layout = lib.Layout();
    *text = layout.c_str();
    return WP_OK;
}

int WpGetDeviceInfo(int index, WpDeviceInfo* info) {
    if (!info) return WP_E_IO;
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    lib.EnsureEnumerated();
    if (index < 0 || index >= lib.Count()) return WP_E_DEVICE_NOT_FOUND;
    const auto& a = lib.At(static_cast<size_t>(index));
    info->vendorId = a.vendor_id;
    info->productId = a.product_id;
    info->serialNumber = lib.SerialAt(static_cast<size_t>(index));
    info->product = a.product.c_str();
    info->node = a.node.c_str();
    info->backend = a.is_virtual ? WP_BACKEND_VIRTUAL : WP_BACKEND_HID;
    return WP_OK;
}

int WpGetWaitedMs(uint64_t* milliseconds) {
    if (!milliseconds) return WP_E_IO;
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    *milliseconds = lib.waited_us / 1000;
    return WP_OK;
}

int WpPause(int milliseconds) {
    if (milliseconds < 0) return WP_E_IO;
    {
        auto& lib = Lib();
        std::lock_guard lock(lib.mu);
        if (auto* device = lib.Open()) {
            const uint64_t waited = device->WaitedUs();
            if (device->Pause(milliseconds)) {
                lib.waited_us += device->WaitedUs() - waited;
                return WP_OK;
            }
        }
    }
    // Nobody else waits on the lock while a real adapter's pause sleeps.
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return WP_OK;
}

int WpGetProductIdByIndex(int index, int* productId) {
    if (!productId) return WP_E_IO;
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    lib.EnsureEnumerated();
    if (index < 0 || index >= lib.Count()) return WP_E_DEVICE_NOT_FOUND;
    *productId = lib.At(static_cast<size_t>(index)).product_id;
    return WP_OK;
}

int WpOpen(void) {
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    lib.EnsureEnumerated();
    return lib.OpenSelected();
}

int WpClose(void) {
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    return lib.CloseOpen();
}

int WpWrite(const uint8_t* packet, int length) {
    if (!packet || length < 1 || length > WP_REPORT_SIZE) return WP_E_WRITE;
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    auto* device = lib.Open();
    if (!device) return WP_E_INVALID_HANDLE;
    // A reply that came after its read gave up must not answer this command.
    int drained = 0;
    const uint64_t waited = device->WaitedUs();
    int rc = device->Drain(&drained);
    lib.waited_us += device->WaitedUs() - waited;
    if (drained > 0)
        lib.trace.Note("drained " + std::to_string(drained) + " stale input report" +
                       (drained == 1 ? "" : "s"));
    if (rc < 0) return lib.Outcome(rc);
    lib.trace.Bytes("> ", packet, length);
    return lib.Outcome(device->Write(packet, length));
}

int WpRead(uint8_t* buffer, int length, int* received) {
    if (received) *received = 0;
    if (!buffer || !received || length < 1 || length > WP_REPORT_SIZE) return WP_E_READ;
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    auto* device = lib.Open();
    if (!device) return WP_E_INVALID_HANDLE;
    uint8_t report[WP_REPORT_SIZE] = {};
    int got = 0;
    const uint64_t waited = device->WaitedUs();
    int rc = device->Read(report, &got, lib.timeout_ms);
    lib.waited_us += device->WaitedUs() - waited;
    if (rc != WP_OK) return lib.Outcome(rc);
    // Only what arrived reaches the caller: past the end of a short report the
    // buffer is zero, whatever the backend left there.
    if (got < 0) got = 0;
    if (got > WP_REPORT_SIZE) got = WP_REPORT_SIZE;
    std::memset(report + got, 0, static_cast<size_t>(WP_REPORT_SIZE - got));
    std::memcpy(buffer, report, static_cast<size_t>(length));
    *received = got;
    // A short report shows as fewer bytes in the trace.
    lib.trace.Bytes("< ", report, got < length ? got : length);
    return WP_OK;
}

int WpResetBootMode(void) {
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    auto* device = lib.Open();
    return device ? lib.Outcome(device->Reset(true)) : WP_E_INVALID_HANDLE;
}

int WpResetAdapter(void) {
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    auto* device = lib.Open();
    return device ? lib.Outcome(device->Reset(false)) : WP_E_INVALID_HANDLE;
}

int WpGetVersion(const char** version) {
    if (!version) return WP_E_IO;
    *version = WICKPORT_VERSION;
    return WP_OK;
}

int WpSetControlValue(int id, int value) {
    if (!wickport::ValidByte(id) || !wickport::ValidByte(value)) return WP_E_WRITE;
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    auto* device = lib.Open();
    if (!device) return WP_E_INVALID_HANDLE;
    const uint8_t bytes[2] = {static_cast<uint8_t>(id), static_cast<uint8_t>(value)};
    lib.trace.Bytes("C> ", bytes, 2);
    return lib.Outcome(device->SetControl(id, static_cast<uint8_t>(value)));
}

int WpGetControlValue(int id, uint8_t* value) {
    if (!value || !wickport::ValidByte(id)) return WP_E_READ;
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    auto* device = lib.Open();
    if (!device) return WP_E_INVALID_HANDLE;
    uint8_t v = 0;
    int rc = device->GetControl(id, &v);
    if (rc != WP_OK) return lib.Outcome(rc);
    *value = v;
    const uint8_t bytes[2] = {static_cast<uint8_t>(id), v};
    lib.trace.Bytes("C< ", bytes, 2);
    return WP_OK;
}

int WpSetFeatureReport(uint8_t* report, int length) {
    if (!report || length < 1 || length > WP_REPORT_SIZE) return WP_E_WRITE;
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    auto* device = lib.Open();
    if (!device) return WP_E_INVALID_HANDLE;
    lib.trace.Bytes("F> ", report, length);
    return lib.Outcome(device->SetFeature(report, length));
}

int WpGetFeatureReport(uint8_t* report, int length) {
    if (!report || length < 1 || length > WP_REPORT_SIZE) return WP_E_READ;
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    auto* device = lib.Open();
    if (!device) return WP_E_INVALID_HANDLE;
    // Work on a copy so a failed fetch leaves the caller's buffer as it was.
    uint8_t copy[WP_REPORT_SIZE] = {};
    std::memcpy(copy, report, static_cast<size_t>(length));
    int rc = device->GetFeature(copy, length);
    if (rc != WP_OK) return lib.Outcome(rc);
    std::memcpy(report, copy, static_cast<size_t>(length));
    lib.trace.Bytes("F< ", report, length);
    return WP_OK;
}

int WpGetUsbId(int index, int* vendorId, int* productId) {
    if (!vendorId || !productId) return WP_E_IO;
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    const auto& ids = lib.UsbIds(index);
    if (index < 0 || static_cast<size_t>(index) >= ids.size()) return WP_E_DEVICE_NOT_FOUND;
    *vendorId = ids[static_cast<size_t>(index)].vendor;
    *productId = ids[static_cast<size_t>(index)].product;
    return WP_OK;
}

void WpSetTraceCallback(WpTraceCallback callback, void* user) {
    auto& lib = Lib();
    std::lock_guard lock(lib.mu);
    lib.trace.SetCallback(callback, user);
}

void* WickportByOrdinal(int ordinal) {
    switch (ordinal) {
        case 1:
            return reinterpret_cast<void*>(&WpGetDeviceCount);
        case 2:
            return reinterpret_cast<void*>(&WpResetBootMode);
        case 3:
            return reinterpret_cast<void*>(&WpSelectDevice);
        case 4:
            return reinterpret_cast<void*>(&WpSetTimeout);
        case 5:
            return reinterpret_cast<void*>(&WpGetSelectedSerial);
        case 6:
            return reinterpret_cast<void*>(&WpGetSerialByIndex);
        case 7:
            return reinterpret_cast<void*>(&WpOpen);
        case 8:
            return reinterpret_cast<void*>(&WpClose);
        case 9:
            return reinterpret_cast<void*>(&WpRead);
        case 10:
            return reinterpret_cast<void*>(&WpWrite);
        case 12:
            return reinterpret_cast<void*>(&WpResetAdapter);
        case 13:
            return reinterpret_cast<void*>(&WpGetVersion);
        case 15:
            return reinterpret_cast<void*>(&WpSetControlValue);
        case 16:
            return reinterpret_cast<void*>(&WpGetControlValue);
        case 17:
            return reinterpret_cast<void*>(&WpGetProductId);
        case 18:
            return reinterpret_cast<void*>(&WpGetProductIdByIndex);
        case 20:
            return reinterpret_cast<void*>(&WpSetFeatureReport);
        case 21:
            return reinterpret_cast<void*>(&WpGetFeatureReport);
        default:
            return nullptr;
    }
}

}  // extern "C"
