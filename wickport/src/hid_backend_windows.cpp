// Real adapters through Windows' HID class driver (SetupAPI and hid.dll), for
// the USB ids in WICKPORT_USB_IDS and the id files.
//
// Reports are framed by the sizes and report ids the driver's capabilities
// give; reads and writes are overlapped so that each has a time-out. Control
// values travel as two-byte feature reports [id, value]. An adapter reset
// closes the device and opens it again by serial number.
#include <windows.h>
// clang-format off
#include <setupapi.h>
// mingw's HID headers declare C functions without saying so.
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}
// clang-format on

#include <algorithm>
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

std::string Narrow(const wchar_t* text, bool spaces = false) {
    std::string out;
    for (; text && *text && out.size() < kMaxSerialLength; ++text) {
        const wchar_t c = *text;
        out += ((c > 0x20 || (spaces && c == 0x20)) && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    return out;
}

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

std::string SystemText(DWORD code) {
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   text, sizeof text, nullptr);
    std::string out = text;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out.empty() ? "error " + std::to_string(code) : out;
}

std::string Printf(const char* format, int a, int b = 0, int c = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

HANDLE OpenPath(const std::string& path, bool transfers) {
    // Without access rights the device still answers its attributes and strings.
    return CreateFileW(Wide(path).c_str(), transfers ? GENERIC_READ | GENERIC_WRITE : 0,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       transfers ? FILE_FLAG_OVERLAPPED : 0, nullptr);
}

struct Found {
    AdapterInfo info;
};

// The attached adapters of the listed ids, one entry per serial number, in
// the order of the ids and then of their paths.
std::vector<Found> Scan(const std::vector<UsbId>& ids) {
    GUID hid{};
    HidD_GetHidGuid(&hid);
    HDEVINFO set =
        SetupDiGetClassDevsW(&hid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    std::vector<Found> present;
    if (set == INVALID_HANDLE_VALUE) return present;
    SP_DEVICE_INTERFACE_DATA iface{};
    iface.cbSize = sizeof iface;
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &hid, i, &iface); ++i) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &iface, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) continue;
        std::vector<uint8_t> buffer(size);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!SetupDiGetDeviceInterfaceDetailW(set, &iface, detail, size, nullptr, nullptr))
            continue;
        std::string path;
        for (const wchar_t* p = detail->DevicePath; *p; ++p) path += static_cast<char>(*p);
        HANDLE h = OpenPath(path, false);
        if (h == INVALID_HANDLE_VALUE) continue;
        HIDD_ATTRIBUTES attributes{};
        attributes.Size = sizeof attributes;
        if (HidD_GetAttributes(h, &attributes)) {
            Found f;
            f.info.vendor_id = attributes.VendorID;
            f.info.product_id = attributes.ProductID;
            f.info.locator = path;
            f.info.node = path;
            wchar_t text[128] = {};
            if (HidD_GetSerialNumberString(h, text, sizeof text)) f.info.serial = Narrow(text);
            std::memset(text, 0, sizeof text);
            if (HidD_GetProductString(h, text, sizeof text)) f.info.product = Narrow(text, true);
            if (f.info.serial.empty()) f.info.serial = path.substr(0, kMaxSerialLength);
            present.push_back(std::move(f));
        }
        CloseHandle(h);
    }
    SetupDiDestroyDeviceInfoList(set);
    std::vector<Found> all;
    for (const UsbId& id : ids) {
        std::vector<Found> group;
        for (const Found& f : present)
            if (f.info.vendor_id == id.vendor && f.info.product_id == id.product)
                group.push_back(f);
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

// The framing from the driver's capabilities: report sizes (which count the
// id byte) and the ids the reports carry.
ReportLayout LayoutFromCaps(HANDLE h, std::string* source) {
    PHIDP_PREPARSED_DATA data = nullptr;
    if (!HidD_GetPreparsedData(h, &data)) {
        *source = "the driver gave no capabilities";
        return AssumedLayout();
    }
    HIDP_CAPS caps{};
    ReportLayout layout = AssumedLayout();
    if (HidP_GetCaps(data, &caps) == HIDP_STATUS_SUCCESS) {
        layout.assumed = false;
        layout.output_size = std::max(0, caps.OutputReportByteLength - 1);
        layout.input_size = std::max(0, caps.InputReportByteLength - 1);
        auto ids = [&](HIDP_REPORT_TYPE type, USHORT values, USHORT buttons) {
            std::set<uint8_t> found;
            std::vector<HIDP_VALUE_CAPS> v(values);
            if (values && HidP_GetValueCaps(type, v.data(), &values, data) == HIDP_STATUS_SUCCESS)
                for (USHORT i = 0; i < values; ++i) found.insert(v[i].ReportID);
            std::vector<HIDP_BUTTON_CAPS> b(buttons);
            if (buttons &&
                HidP_GetButtonCaps(type, b.data(), &buttons, data) == HIDP_STATUS_SUCCESS)
                for (USHORT i = 0; i < buttons; ++i) found.insert(b[i].ReportID);
            return found;
        };
        const auto in = ids(HidP_Input, caps.NumberInputValueCaps, caps.NumberInputButtonCaps);
        const auto out = ids(HidP_Output, caps.NumberOutputValueCaps, caps.NumberOutputButtonCaps);
        const auto feature =
            ids(HidP_Feature, caps.NumberFeatureValueCaps, caps.NumberFeatureButtonCaps);
        layout.numbered = (!in.empty() && *in.rbegin() != 0) ||
                          (!out.empty() && *out.rbegin() != 0) ||
                          (!feature.empty() && *feature.rbegin() != 0);
        layout.input_id = in.empty() ? 0 : *in.begin();
        layout.output_id = out.empty() ? 0 : *out.begin();
        // The driver tells one feature length, that of the longest report.
        for (uint8_t id : feature)
            layout.features[id] = std::max(0, caps.FeatureReportByteLength - 1);
        *source = "capabilities from the HID driver";
    } else {
        *source = "the driver's capabilities were refused";
    }
    HidD_FreePreparsedData(data);
    return layout;
}

constexpr int kLateGraceMs = 50;
constexpr int kMaxDrained = 256;

class WinHidDevice final : public Device {
  public:
    WinHidDevice(HANDLE handle, std::vector<UsbId> ids, std::string serial)
        : handle_(handle), ids_(std::move(ids)), serial_(std::move(serial)) {
        event_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        layout_ = LayoutFromCaps(handle_, &source_);
    }
    ~WinHidDevice() override {
        Release();
        if (event_) CloseHandle(event_);
    }
    int Close() override {
        if (handle_ == INVALID_HANDLE_VALUE) return WP_E_INVALID_HANDLE;
        Release();
        return WP_OK;
    }
    std::string Layout() const override { return DescribeLayout(layout_) + " [" + source_ + "]"; }

    int Write(const uint8_t* data, int length) override {
        if (handle_ == INVALID_HANDLE_VALUE) return WP_E_INVALID_HANDLE;
        std::vector<uint8_t> report(1 + static_cast<size_t>(layout_.output_size), 0);
        report[0] = layout_.numbered ? layout_.output_id : 0;
        std::memcpy(report.data() + 1, data,
                    std::min(static_cast<size_t>(length), report.size() - 1));
        DWORD moved = 0;
        const int rc =
            Transfer(false, report.data(), static_cast<DWORD>(report.size()), 1000, &moved);
        if (rc == WP_E_READ_TIMEOUT) return Failed(WP_E_WRITE, "write timed out");
        if (rc != WP_OK) return Failed(WP_E_WRITE, "write failed: " + SystemText(last_));
        if (moved != report.size())
            return Failed(WP_E_WRITE, Printf("write sent %d of %d bytes", static_cast<int>(moved),
                                             static_cast<int>(report.size())));
        return WP_OK;
    }

    int Read(uint8_t report[64], int* received, int timeout_ms) override {
        *received = 0;
        if (handle_ == INVALID_HANDLE_VALUE) return WP_E_INVALID_HANDLE;
        // Windows always hands the id byte first, 0 when unnumbered.
        const int frame = 1 + layout_.input_size;
        std::vector<uint8_t> buffer(static_cast<size_t>(frame), 0);
        DWORD moved = 0;
        const int rc =
            Transfer(true, buffer.data(), static_cast<DWORD>(buffer.size()), timeout_ms, &moved);
        if (rc == WP_E_READ_TIMEOUT) {
            late_possible_ = true;
            return WP_E_READ_TIMEOUT;
        }
        if (rc != WP_OK) return Failed(WP_E_READ, "read failed: " + SystemText(last_));
        if (layout_.numbered && buffer[0] != layout_.input_id)
            return Failed(WP_E_READ, Printf("input report 0x%02x arrived, 0x%02x expected",
                                            buffer[0], layout_.input_id));
        if (static_cast<int>(moved) != frame || layout_.input_size < WP_REPORT_SIZE)
            return Failed(WP_E_READ, Printf("input report of %d bytes, %d expected",
                                            static_cast<int>(moved), 1 + WP_REPORT_SIZE));
        std::memcpy(report, buffer.data() + 1, WP_REPORT_SIZE);
        *received = WP_REPORT_SIZE;
        return WP_OK;
    }

    int Drain(int* drained) override {
        *drained = 0;
        if (handle_ == INVALID_HANDLE_VALUE) return WP_E_INVALID_HANDLE;
        int wait = late_possible_ ? kLateGraceMs : 0;
        late_possible_ = false;
        std::vector<uint8_t> buffer(1 + static_cast<size_t>(layout_.input_size), 0);
        while (*drained < kMaxDrained) {
            DWORD moved = 0;
            const int rc =
                Transfer(true, buffer.data(), static_cast<DWORD>(buffer.size()), wait, &moved);
            if (rc == WP_E_READ_TIMEOUT) break;
            if (rc != WP_OK) return Failed(WP_E_READ, "read failed: " + SystemText(last_));
            wait = 0;
            ++*drained;
        }
        return WP_OK;
    }

    int Reset(bool) override {
        if (handle_ == INVALID_HANDLE_VALUE) return WP_E_INVALID_HANDLE;
        Release();
        for (const Found& f : Scan(ids_)) {
            if (!SameSerial(f.info.serial, serial_)) continue;
            handle_ = OpenPath(f.info.locator, true);
            break;
        }
        if (handle_ == INVALID_HANDLE_VALUE)
            return Failed(WP_E_RESET_RESPONSE, "the adapter did not come back after its reset");
        layout_ = LayoutFromCaps(handle_, &source_);
        return WP_OK;
    }

    int SetControl(int id, uint8_t value) override {
        uint8_t report[2] = {static_cast<uint8_t>(id), value};
        return SetFeature(report, 2);
    }
    int GetControl(int id, uint8_t* value) override {
        uint8_t report[2] = {static_cast<uint8_t>(id), 0};
        const int rc = GetFeature(report, 2);
        if (rc == WP_OK) *value = report[1];
        return rc;
    }

    int SetFeature(const uint8_t* report, int length) override {
        if (handle_ == INVALID_HANDLE_VALUE) return WP_E_INVALID_HANDLE;
        std::vector<uint8_t> frame;
        if (int rc = FeatureFrame(report, length, &frame, WP_E_WRITE)) return rc;
        if (!HidD_SetFeature(handle_, frame.data(), static_cast<ULONG>(frame.size())))
            return Failed(WP_E_WRITE, Printf("feature report 0x%02x not sent: ", report[0]) +
                                          SystemText(GetLastError()));
        return WP_OK;
    }

    int GetFeature(uint8_t* report, int length) override {
        if (handle_ == INVALID_HANDLE_VALUE) return WP_E_INVALID_HANDLE;
        std::vector<uint8_t> frame;
        if (int rc = FeatureFrame(report, length, &frame, WP_E_READ)) return rc;
        const uint8_t id = report[0];
        if (!HidD_GetFeature(handle_, frame.data(), static_cast<ULONG>(frame.size())))
            return Failed(WP_E_READ, Printf("feature report 0x%02x not read: ", id) +
                                         SystemText(GetLastError()));
        std::string why;
        if (!UnframeFeatureReport(layout_, id, frame, report, length, &why))
            return Failed(WP_E_READ, why);
        return WP_OK;
    }

  private:
    void Release() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

    int Failed(int code, std::string why) {
        error_ = std::move(why);
        return code;
    }

    // One overlapped read or write, cancelled when timeout_ms passes.
    int Transfer(bool read, uint8_t* data, DWORD size, int timeout_ms, DWORD* moved) {
        OVERLAPPED o{};
        o.hEvent = event_;
        ResetEvent(event_);
        const BOOL done = read ? ReadFile(handle_, data, size, moved, &o)
                               : WriteFile(handle_, data, size, moved, &o);
        if (done) return WP_OK;
        if (GetLastError() != ERROR_IO_PENDING) {
            last_ = GetLastError();
            return WP_E_IO;
        }
        const DWORD r = WaitForSingleObject(event_, static_cast<DWORD>(std::max(0, timeout_ms)));
        if (r != WAIT_OBJECT_0) {
            CancelIo(handle_);
            GetOverlappedResult(handle_, &o, moved, TRUE);
            return WP_E_READ_TIMEOUT;
        }
        if (!GetOverlappedResult(handle_, &o, moved, FALSE)) {
            last_ = GetLastError();
            return WP_E_IO;
        }
        return WP_OK;
    }

    int FeatureFrame(const uint8_t* report, int length, std::vector<uint8_t>* frame, int code) {
        std::string why;
        return FrameFeatureReport(layout_, report, length, frame, &why) ? 0 : Failed(code, why);
    }

    HANDLE handle_;
    HANDLE event_ = nullptr;
    std::vector<UsbId> ids_;
    std::string serial_;
    ReportLayout layout_ = AssumedLayout();
    std::string source_;
    DWORD last_ = 0;
    bool late_possible_ = false;
};

class WinHidBackend final : public Backend {
  public:
    std::vector<AdapterInfo> Enumerate() override {
        ids_ = id_source_.Load();
        std::vector<AdapterInfo> list;
        if (ids_.empty()) return list;
        for (auto& f : Scan(ids_)) list.push_back(std::move(f.info));
        return list;
    }

    bool Present(const AdapterInfo&) override { return true; }

    int Open(const AdapterInfo& info, std::unique_ptr<Device>* device, std::string* why) override {
        HANDLE handle = OpenPath(info.locator, true);
        if (handle == INVALID_HANDLE_VALUE) {
            if (why) *why = info.serial + ": " + SystemText(GetLastError());
            return WP_E_INVALID_HANDLE;
        }
        *device = std::make_unique<WinHidDevice>(handle, ids_, info.serial);
        return WP_OK;
    }

  private:
    std::vector<UsbId> ids_;
    UsbIdSource id_source_;
};

}  // namespace

std::unique_ptr<Backend> MakeHidBackend() {
    return std::make_unique<WinHidBackend>();
}

}  // namespace wickport
