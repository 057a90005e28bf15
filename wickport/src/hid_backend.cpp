// Real adapters through hidapi (hidraw), for the USB ids in WICKPORT_USB_IDS
// and the id files.
//
// Control values travel as two-byte feature reports [id, value] whose report
// id is the control id. An adapter reset closes the device and opens it again
// by serial number.
#include <hidapi.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "adapter_list.h"
#include "backend.h"
#include "wickport.h"

namespace wickport {
namespace {

std::string Narrow(const wchar_t* text) {
    std::string out;
    if (!text) return out;
    for (; *text && out.size() < kMaxSerialLength; ++text) {
        wchar_t c = *text;
        out += (c > 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    return out;
}

struct Found {
    AdapterInfo info;
    uint16_t vendor = 0;
};

// The attached adapters of the listed ids, one entry per serial number, in
// the order of the ids and then of their paths.
std::vector<Found> Scan(const std::vector<UsbId>& ids) {
    std::vector<Found> all;
    for (const UsbId& id : ids) {
        std::vector<Found> group;
        hid_device_info* head = hid_enumerate(id.vendor, id.product);
        for (hid_device_info* d = head; d; d = d->next) {
            if (!d->path) continue;
            Found f;
            f.vendor = d->vendor_id;
            f.info.product_id = d->product_id;
            f.info.locator = d->path;
            f.info.serial = Narrow(d->serial_number);
            // Without a serial the device is still reachable by its path.
            if (f.info.serial.empty()) f.info.serial = f.info.locator.substr(0, kMaxSerialLength);
            group.push_back(std::move(f));
        }
        hid_free_enumeration(head);
        std::sort(group.begin(), group.end(),
                  [](const Found& a, const Found& b) { return a.info.locator < b.info.locator; });
        for (auto& f : group) {
            bool seen = false;
            for (const auto& e : all) seen = seen || SameSerial(e.info.serial, f.info.serial);
            if (!seen) all.push_back(std::move(f));
        }
    }
    return all;
}

// Why a listed adapter did not open, when the answer helps the user: most
// often the hidraw node belongs to root until a udev rule hands it over.
std::string DescribeOpenFailure(const std::string& path) {
    if (::access(path.c_str(), R_OK | W_OK) == 0 || errno != EACCES) return {};
    return "Permission denied on " + path +
           ": this user may not open the adapter. To fix it, add the adapter's VID:PID to " +
           kSystemIdFile +
           " (read by the udev rule the package installs), or install the rule that "
           "'ordwin-smoke udev-rule' prints into /etc/udev/rules.d/; then unplug and replug "
           "the adapter.";
}

class HidDevice final : public Device {
  public:
    HidDevice(hid_device* handle, std::vector<UsbId> ids, std::string serial)
        : handle_(handle), ids_(std::move(ids)), serial_(std::move(serial)) {}
    ~HidDevice() override {
        if (handle_) hid_close(handle_);
    }

    int Close() override {
        if (!handle_) return WP_E_INVALID_HANDLE;
        hid_close(handle_);
        handle_ = nullptr;
        return WP_OK;
    }

    int Write(const uint8_t* data, int length) override {
        if (!handle_) return WP_E_INVALID_HANDLE;
        // Report id 0 first, then the full 64-byte report.
        uint8_t report[WP_REPORT_SIZE + 1] = {};
        std::memcpy(report + 1, data, static_cast<size_t>(length));
        // A report sent only in part is a failed write, not a sent packet.
        int n = hid_write(handle_, report, sizeof report);
        return n == static_cast<int>(sizeof report) ? WP_OK : WP_E_WRITE;
    }

    int Read(uint8_t report[64], int* received, int timeout_ms) override {
        *received = 0;
        if (!handle_) return WP_E_INVALID_HANDLE;
        int n = hid_read_timeout(handle_, report, WP_REPORT_SIZE, timeout_ms);
        if (n < 0) return WP_E_READ;
        if (n == 0) return WP_E_READ_TIMEOUT;
        *received = n;
        return WP_OK;
    }

    int Reset(bool /*boot_mode*/) override {
        if (!handle_) return WP_E_INVALID_HANDLE;
        hid_close(handle_);
        handle_ = nullptr;
        for (const Found& f : Scan(ids_)) {
            if (!SameSerial(f.info.serial, serial_)) continue;
            handle_ = hid_open_path(f.info.locator.c_str());
            break;
        }
        return handle_ ? WP_OK : WP_E_RESET_RESPONSE;
    }

    int SetControl(int id, uint8_t value) override {
        uint8_t report[2] = {static_cast<uint8_t>(id), value};
        return SetFeature(report, 2);
    }

    int GetControl(int id, uint8_t* value) override {
        uint8_t report[2] = {static_cast<uint8_t>(id), 0};
        int rc = GetFeature(report, 2);
        if (rc == WP_OK) *value = report[1];
        return rc;
    }

    int SetFeature(const uint8_t* report, int length) override {
        if (!handle_) return WP_E_INVALID_HANDLE;
        int n = hid_send_feature_report(handle_, report, static_cast<size_t>(length));
        return n < 0 ? WP_E_WRITE : WP_OK;
    }

    int GetFeature(uint8_t* report, int length) override {
        if (!handle_) return WP_E_INVALID_HANDLE;
        int n = hid_get_feature_report(handle_, report, static_cast<size_t>(length));
        return n < 0 ? WP_E_READ : WP_OK;
    }

  private:
    hid_device* handle_;
    std::vector<UsbId> ids_;
    std::string serial_;
};

class HidBackend final : public Backend {
  public:
    ~HidBackend() override {
        if (initialized_) hid_exit();
    }

    std::vector<AdapterInfo> Enumerate() override {
        std::vector<std::string> problems;
        ids_ = ConfiguredUsbIds(std::getenv("WICKPORT_USB_IDS"), UsbIdFiles(), &problems);
        // Each problem is told once, not at every enumeration.
        for (const auto& p : problems) {
            if (told_.insert(p).second) std::fprintf(stderr, "wickport: %s\n", p.c_str());
        }
        std::vector<AdapterInfo> list;
        // No ids, no USB access at all.
        if (ids_.empty() || !Init()) return list;
        for (auto& f : Scan(ids_)) list.push_back(std::move(f.info));
        return list;
    }

    bool Present(const AdapterInfo&) override { return true; }

    int Open(const AdapterInfo& info, std::unique_ptr<Device>* device, std::string* why) override {
        if (!Init()) return WP_E_NOT_INITIALIZED;
        hid_device* handle = hid_open_path(info.locator.c_str());
        if (!handle) {
            if (why) *why = DescribeOpenFailure(info.locator);
            return WP_E_INVALID_HANDLE;
        }
        *device = std::make_unique<HidDevice>(handle, ids_, info.serial);
        return WP_OK;
    }

  private:
    bool Init() {
        if (!initialized_) initialized_ = hid_init() == 0;
        return initialized_;
    }

    bool initialized_ = false;
    std::vector<UsbId> ids_;
    std::set<std::string> told_;
};

}  // namespace

std::unique_ptr<Backend> MakeHidBackend() {
    return std::make_unique<HidBackend>();
}

}  // namespace wickport
