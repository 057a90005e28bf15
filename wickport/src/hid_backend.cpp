// Real adapters through hidapi (hidraw), for the USB ids in WICKPORT_USB_IDS
// and the id files.
//
// Every transfer is framed by the adapter's report descriptor (report_layout.h).
// Control values travel as two-byte feature reports [id, value] whose report
// id is the control id. An adapter reset closes the device and opens it again
// by serial number.
#include <dlfcn.h>
#include <hidapi.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "adapter_list.h"
#include "backend.h"
#include "report_layout.h"
#include "wickport.h"

namespace wickport {
namespace {

// Printable ASCII of a wide text; spaces only where they may stay.
std::string Narrow(const wchar_t* text, bool spaces = false) {
    std::string out;
    if (!text) return out;
    for (; *text && out.size() < kMaxSerialLength; ++text) {
        wchar_t c = *text;
        out += ((c > 0x20 || (spaces && c == 0x20)) && c < 0x7F) ? static_cast<char>(c) : '?';
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
            f.info.vendor_id = d->vendor_id;
            f.info.node = d->path;
            f.info.product = Narrow(d->product_string, true);
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
           SystemIdFile() +
           " (read by the udev rule the package installs), or install the rule that "
           "'ordwin-smoke udev-rule' prints into /etc/udev/rules.d/; then unplug and replug "
           "the adapter.";
}

// hidapi's own words for a failure, narrowed.
std::string HidError(hid_device* handle) {
    const wchar_t* text = hid_error(handle);
    std::string out;
    if (!text) return out;
    for (; *text && out.size() < 200; ++text) {
        const wchar_t c = *text;
        out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    return out;
}

std::string Printf(const char* format, int a, int b = 0, int c = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// hid_get_report_descriptor arrived in hidapi 0.14; older ones lack it.
using GetDescriptorFn = int (*)(hid_device*, unsigned char*, size_t);

std::vector<uint8_t> SysfsDescriptor(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string node = slash == std::string::npos ? path : path.substr(slash + 1);
    if (node.rfind("hidraw", 0) != 0) return {};
    std::FILE* f =
        std::fopen(("/sys/class/hidraw/" + node + "/device/report_descriptor").c_str(), "rbe");
    if (!f) return {};
    std::vector<uint8_t> data(HID_API_MAX_REPORT_DESCRIPTOR_SIZE);
    data.resize(std::fread(data.data(), 1, data.size(), f));
    std::fclose(f);
    return data;
}

// The descriptor through hidapi where it can give it, else from sysfs; the
// second result says where it came from (or why there is none).
std::pair<std::vector<uint8_t>, std::string> ReadDescriptor(hid_device* handle,
                                                            const std::string& path) {
    static const auto get = reinterpret_cast<GetDescriptorFn>(
        reinterpret_cast<uintptr_t>(dlsym(RTLD_DEFAULT, "hid_get_report_descriptor")));
    if (get) {
        std::vector<uint8_t> data(HID_API_MAX_REPORT_DESCRIPTOR_SIZE);
        const int n = get(handle, data.data(), data.size());
        if (n > 0) {
            data.resize(static_cast<size_t>(n));
            return {data, "hidapi"};
        }
    }
    std::vector<uint8_t> data = SysfsDescriptor(path);
    if (!data.empty()) return {data, "sysfs"};
    return {{}, get ? "hidapi gave none" : "hidapi has no descriptor call and sysfs has none"};
}

// A late reply is looked for this long, once, before the command after a
// time-out goes out.
constexpr int kLateGraceMs = 50;
// Bounds the drain of a device that keeps sending.
constexpr int kMaxDrained = 256;

class HidDevice final : public Device {
  public:
    HidDevice(hid_device* handle, std::vector<UsbId> ids, std::string serial, std::string path)
        : handle_(handle),
          ids_(std::move(ids)),
          serial_(std::move(serial)),
          path_(std::move(path)) {
        LearnLayout();
    }
    ~HidDevice() override {
        if (handle_) hid_close(handle_);
    }

    int Close() override {
        if (!handle_) return WP_E_INVALID_HANDLE;
        hid_close(handle_);
        handle_ = nullptr;
        return WP_OK;
    }

    std::string Layout() const override { return DescribeLayout(layout_) + " [" + source_ + "]"; }

    int Write(const uint8_t* data, int length) override {
        if (!handle_) return WP_E_INVALID_HANDLE;
        // The id (0 when unnumbered), then the packet padded to the report's size.
        std::vector<uint8_t> report(1 + static_cast<size_t>(layout_.output_size), 0);
        report[0] = layout_.numbered ? layout_.output_id : 0;
        std::memcpy(report.data() + 1, data, static_cast<size_t>(length));
        const int n = hid_write(handle_, report.data(), report.size());
        if (n < 0) return Failed(WP_E_WRITE, "write failed: " + HidError(handle_));
        // A report sent only in part is a failed write, not a sent packet.
        if (n != static_cast<int>(report.size()))
            return Failed(WP_E_WRITE,
                          Printf("write sent %d of %d bytes", n, static_cast<int>(report.size())));
        return WP_OK;
    }

    int Read(uint8_t report[64], int* received, int timeout_ms) override {
        *received = 0;
        if (!handle_) return WP_E_INVALID_HANDLE;
        const int id_bytes = layout_.numbered ? 1 : 0;
        const int frame = id_bytes + layout_.input_size;
        // One byte more than the frame, so an over-long report shows.
        std::vector<uint8_t> buffer(static_cast<size_t>(frame) + 1, 0);
        const int n = hid_read_timeout(handle_, buffer.data(), buffer.size(), timeout_ms);
        if (n < 0) return Failed(WP_E_READ, "read failed: " + HidError(handle_));
        if (n == 0) {
            late_possible_ = true;
            return WP_E_READ_TIMEOUT;
        }
        if (layout_.numbered && buffer[0] != layout_.input_id)
            return Failed(WP_E_READ, Printf("input report 0x%02x arrived, 0x%02x expected",
                                            buffer[0], layout_.input_id));
        if (n != frame)
            return Failed(WP_E_READ, Printf("input report of %d bytes, %d expected", n, frame));
        std::memcpy(report, buffer.data() + id_bytes, WP_REPORT_SIZE);
        *received = WP_REPORT_SIZE;
        return WP_OK;
    }

    int Drain(int* drained) override {
        *drained = 0;
        if (!handle_) return WP_E_INVALID_HANDLE;
        int wait = late_possible_ ? kLateGraceMs : 0;
        late_possible_ = false;
        std::vector<uint8_t> buffer(static_cast<size_t>(layout_.input_size) + 2, 0);
        while (*drained < kMaxDrained) {
            const int n = hid_read_timeout(handle_, buffer.data(), buffer.size(), wait);
            if (n < 0) return Failed(WP_E_READ, "read failed: " + HidError(handle_));
            if (n == 0) break;
            wait = 0;
            ++*drained;
        }
        return WP_OK;
    }

    int Reset(bool /*boot_mode*/) override {
        if (!handle_) return WP_E_INVALID_HANDLE;
        hid_close(handle_);
        handle_ = nullptr;
        for (const Found& f : Scan(ids_)) {
            if (!SameSerial(f.info.serial, serial_)) continue;
            handle_ = hid_open_path(f.info.locator.c_str());
            path_ = f.info.locator;
            break;
        }
        if (!handle_)
            return Failed(WP_E_RESET_RESPONSE, "the adapter did not come back after its reset");
        LearnLayout();
        return WP_OK;
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
        std::vector<uint8_t> frame;
        if (int rc = FeatureFrame(report, length, &frame, WP_E_WRITE)) return rc;
        const int n = hid_send_feature_report(handle_, frame.data(), frame.size());
        if (n < 0)
            return Failed(WP_E_WRITE, Printf("feature report 0x%02x not sent: ", report[0]) +
                                          HidError(handle_));
        if (n != static_cast<int>(frame.size()))
            return Failed(WP_E_WRITE, Printf("feature report 0x%02x: %d of %d bytes sent",
                                             report[0], n, static_cast<int>(frame.size())));
        return WP_OK;
    }

    int GetFeature(uint8_t* report, int length) override {
        if (!handle_) return WP_E_INVALID_HANDLE;
        std::vector<uint8_t> frame;
        if (int rc = FeatureFrame(report, length, &frame, WP_E_READ)) return rc;
        const uint8_t id = report[0];
        const int n = hid_get_feature_report(handle_, frame.data(), frame.size());
        if (n < 0)
            return Failed(WP_E_READ,
                          Printf("feature report 0x%02x not read: ", id) + HidError(handle_));
        if (n != static_cast<int>(frame.size()))
            return Failed(WP_E_READ, Printf("feature report 0x%02x of %d bytes, %d expected", id, n,
                                            static_cast<int>(frame.size())));
        std::string why;
        if (!UnframeFeatureReport(layout_, id, frame, report, length, &why))
            return Failed(WP_E_READ, why);
        return WP_OK;
    }

  private:
    int Failed(int code, std::string why) {
        error_ = std::move(why);
        return code;
    }

    void LearnLayout() {
        auto [bytes, source] = ReadDescriptor(handle_, path_);
        std::string why;
        std::optional<ReportLayout> parsed =
            bytes.empty() ? std::nullopt : ParseReportDescriptor(bytes.data(), bytes.size(), &why);
        if (parsed) {
            layout_ = *parsed;
            source_ = "descriptor from " + source;
        } else {
            layout_ = AssumedLayout();
            source_ = bytes.empty() ? source : "descriptor refused: " + why;
        }
    }

    int FeatureFrame(const uint8_t* report, int length, std::vector<uint8_t>* frame, int code) {
        std::string why;
        return FrameFeatureReport(layout_, report, length, frame, &why) ? 0 : Failed(code, why);
    }

    hid_device* handle_;
    std::vector<UsbId> ids_;
    std::string serial_;
    std::string path_;
    ReportLayout layout_ = AssumedLayout();
    std::string source_;
    bool late_possible_ = false;
};

class HidBackend final : public Backend {
  public:
    ~HidBackend() override {
        if (initialized_) hid_exit();
    }

    std::vector<AdapterInfo> Enumerate() override {
        ids_ = id_source_.Load();
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
            if (why) {
                *why = DescribeOpenFailure(info.locator);
                // Otherwise hidapi's own words, when it has any.
                const std::string said = HidError(nullptr);
                if (why->empty() && !said.empty() && said != "Success")
                    *why = info.serial + ": " + said;
            }
            return WP_E_INVALID_HANDLE;
        }
        *device = std::make_unique<HidDevice>(handle, ids_, info.serial, info.locator);
        return WP_OK;
    }

  private:
    bool Init() {
        if (!initialized_) initialized_ = hid_init() == 0;
        return initialized_;
    }

    bool initialized_ = false;
    std::vector<UsbId> ids_;
    UsbIdSource id_source_;
};

}  // namespace

std::unique_ptr<Backend> MakeHidBackend() {
    return std::make_unique<HidBackend>();
}

}  // namespace wickport
