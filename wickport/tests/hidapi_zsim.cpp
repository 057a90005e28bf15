// libhidapi-zsim.so: the hidapi calls Wickport makes, answered by virtual
// adapters, so that the real-adapter path runs without hardware. Preloaded
// (LD_PRELOAD) in front of the real hidapi; never installed.
//
// ZSIM_HID lists the adapters in WICKPORT_VIRTUAL's syntax, plus
//   reports=numbered|unnumbered  the report descriptor it gives (unnumbered);
//   reports=none                 no descriptor: unnumbered data reports and
//                                numbered feature reports, the framing a
//                                host assumes without one
//   vid=N                        USB vendor id (0x1209); pid= is the adapter's
// Unnumbered: 64-byte input and output reports, no feature reports.
// Numbered: output 0x01 and input 0x02 of 64 bytes, features 0x40..0x44
// (1 byte), 0x49 (4), 0x4A (1), 0x4B (2).
// Every transfer is checked against that descriptor as a device would: a
// misframed one fails, with the reason in hid_error().
#include <hidapi.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "adapter_list.h"
#include "number_text.h"
#include "virtual_adapter.h"

#define ZSIM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int kReport = 64;
constexpr uint8_t kOutputId = 0x01, kInputId = 0x02;

struct Adapter {
    std::string serial;
    uint16_t vid = 0x1209;
    bool numbered = false;       // data reports
    bool no_descriptor = false;  // reports=none
    std::string path;
    std::shared_ptr<zsim::VirtualAdapter> adapter;
};

// Feature report sizes of the numbered descriptor (data bytes).
int FeatureSize(uint8_t id) {
    if (id >= 0x40 && id <= 0x44) return 1;
    if (id == 0x49) return 4;
    if (id == 0x4A) return 1;
    if (id == 0x4B) return 2;
    return -1;
}

std::vector<uint8_t> Descriptor(bool numbered) {
    std::vector<uint8_t> d = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
    auto main = [&](uint8_t tag, int count) {
        d.insert(d.end(), {0x75, 0x08, 0x95, uint8_t(count), 0x09, 0x01, tag, 0x02});
    };
    if (!numbered) {
        main(0x81, kReport);
        main(0x91, kReport);
    } else {
        d.insert(d.end(), {0x85, kOutputId});
        main(0x91, kReport);
        d.insert(d.end(), {0x85, kInputId});
        main(0x81, kReport);
        for (int id = 0x40; id <= 0x4B; ++id) {
            if (FeatureSize(uint8_t(id)) < 0) continue;
            d.insert(d.end(), {0x85, uint8_t(id)});
            main(0xB1, FeatureSize(uint8_t(id)));
        }
    }
    d.push_back(0xC0);
    return d;
}

class Registry {
  public:
    std::mutex mu;
    std::wstring global_error;

    // Re-reads ZSIM_HID; an unchanged description keeps its adapter (and chip).
    void Refresh() {
        const char* env = std::getenv("ZSIM_HID");
        const std::string text = env ? env : "";
        if (parsed_ && text == text_) return;
        parsed_ = true;
        text_ = text;
        std::map<std::string, std::shared_ptr<Adapter>> kept;
        order_.clear();
        for (const auto& d : wickport::ParseVirtualList(text, nullptr)) {
            std::string key = d.serial;
            for (const auto& [k, v] : d.options) key += "\x1f" + k + "=" + v;
            auto it = all_.find(key);
            if (it != all_.end()) {
                kept[key] = it->second;
                order_.push_back(it->second);
                continue;
            }
            auto a = std::make_shared<Adapter>();
            a->serial = d.serial;
            a->path = "zsim:" + d.serial;
            zsim::AdapterOptions options;
            bool ok = true;
            for (const auto& [k, v] : d.options) {
                uint64_t n = 0;
                if (k == "reports") {
                    ok = ok && (v == "numbered" || v == "unnumbered" || v == "none");
                    a->numbered = v == "numbered";
                    a->no_descriptor = v == "none";
                } else if (k == "vid") {
                    ok = ok && zsim::ParseNumberText(v, 0xFFFF, &n);
                    a->vid = uint16_t(n);
                } else {
                    options.emplace_back(k, v);
                }
            }
            std::string error;
            if (ok) a->adapter = zsim::VirtualAdapter::Create(d.serial, options, &error);
            if (!a->adapter) {
                std::fprintf(stderr, "hidapi-zsim: skipping %s: %s\n", d.serial.c_str(),
                             ok ? error.c_str() : "bad reports= or vid=");
                continue;
            }
            kept[key] = a;
            order_.push_back(a);
        }
        all_ = std::move(kept);
    }

    const std::vector<std::shared_ptr<Adapter>>& List() const { return order_; }

  private:
    bool parsed_ = false;
    std::string text_;
    std::map<std::string, std::shared_ptr<Adapter>> all_;
    std::vector<std::shared_ptr<Adapter>> order_;
};

Registry& Reg() {
    static Registry* r = new Registry;
    return *r;
}

std::wstring Wide(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

wchar_t* WideDup(const std::string& s) {
    const std::wstring w = Wide(s);
    auto* out = static_cast<wchar_t*>(std::calloc(w.size() + 1, sizeof(wchar_t)));
    std::wmemcpy(out, w.c_str(), w.size());
    return out;
}

}  // namespace

struct hid_device_ {
    std::shared_ptr<Adapter> a;
    std::wstring error;
    bool nonblocking = false;

    int Fail(const std::string& why) {
        error = Wide(why);
        return -1;
    }
};

ZSIM_EXPORT int hid_init(void) {
    return 0;
}

ZSIM_EXPORT int hid_exit(void) {
    return 0;
}

ZSIM_EXPORT struct hid_device_info* hid_enumerate(unsigned short vendor_id,
                                                  unsigned short product_id) {
    auto& reg = Reg();
    std::lock_guard lock(reg.mu);
    reg.Refresh();
    hid_device_info* head = nullptr;
    hid_device_info** tail = &head;
    for (const auto& a : reg.List()) {
        if (!a->adapter->Present()) continue;
        if (vendor_id && vendor_id != a->vid) continue;
        if (product_id && product_id != a->adapter->ProductId()) continue;
        auto* info = static_cast<hid_device_info*>(std::calloc(1, sizeof(hid_device_info)));
        info->path = strdup(a->path.c_str());
        info->vendor_id = a->vid;
        info->product_id = a->adapter->ProductId();
        info->serial_number = WideDup(a->serial);
        info->manufacturer_string = WideDup("Zeltra toolchain");
        info->product_string = WideDup("Virtual debug adapter (hidapi stand-in)");
        info->usage_page = 0xFF00;
        info->usage = 1;
        *tail = info;
        tail = &info->next;
    }
    return head;
}

ZSIM_EXPORT void hid_free_enumeration(struct hid_device_info* devs) {
    while (devs) {
        hid_device_info* next = devs->next;
        std::free(devs->path);
        std::free(devs->serial_number);
        std::free(devs->manufacturer_string);
        std::free(devs->product_string);
        std::free(devs);
        devs = next;
    }
}

ZSIM_EXPORT hid_device* hid_open_path(const char* path) {
    auto& reg = Reg();
    std::lock_guard lock(reg.mu);
    reg.Refresh();
    for (const auto& a : reg.List()) {
        if (!path || a->path != path || !a->adapter->Present()) continue;
        std::string error;
        if (!a->adapter->Open(&error)) {
            reg.global_error = Wide(error);
            return nullptr;
        }
        auto* dev = new hid_device_;
        dev->a = a;
        return dev;
    }
    reg.global_error = L"no such device";
    return nullptr;
}

ZSIM_EXPORT hid_device* hid_open(unsigned short vendor_id, unsigned short product_id,
                                 const wchar_t* serial_number) {
    std::string path;
    hid_device_info* list = hid_enumerate(vendor_id, product_id);
    for (hid_device_info* d = list; d && path.empty(); d = d->next) {
        if (!serial_number || std::wcscmp(serial_number, d->serial_number) == 0) path = d->path;
    }
    hid_free_enumeration(list);
    return path.empty() ? nullptr : hid_open_path(path.c_str());
}

ZSIM_EXPORT void hid_close(hid_device* dev) {
    if (!dev) return;
    dev->a->adapter->Close();
    delete dev;
}

ZSIM_EXPORT int hid_write(hid_device* dev, const unsigned char* data, size_t length) {
    if (!dev || !data) return -1;
    const uint8_t id = dev->a->numbered ? kOutputId : 0;
    if (length != 1 + kReport) return dev->Fail("output report of the wrong length");
    if (data[0] != id) return dev->Fail("no output report with that id");
    if (!dev->a->adapter->Write(data + 1, kReport))
        return dev->Fail(dev->a->adapter->Present() ? "write refused" : "No such device");
    return int(length);
}

ZSIM_EXPORT int hid_read_timeout(hid_device* dev, unsigned char* data, size_t length,
                                 int milliseconds) {
    if (!dev || !data) return -1;
    uint8_t report[kReport];
    int got = 0;
    switch (dev->a->adapter->Read(report, &got)) {
        case zsim::VirtualAdapter::ReadResult::kGone:
            return dev->Fail("No such device");
        case zsim::VirtualAdapter::ReadResult::kNoReply:
            if (milliseconds > 0) dev->a->adapter->PassTime(milliseconds);
            return 0;
        case zsim::VirtualAdapter::ReadResult::kReport:
            break;
    }
    // As hidraw: the report id first when reports are numbered, cut to the buffer.
    size_t at = 0;
    if (dev->a->numbered && length > 0) data[at++] = kInputId;
    const size_t n = std::min(length - at, size_t(got));
    std::memcpy(data + at, report, n);
    return int(at + n);
}

ZSIM_EXPORT int hid_read(hid_device* dev, unsigned char* data, size_t length) {
    return hid_read_timeout(dev, data, length, dev && dev->nonblocking ? 0 : 1000);
}

ZSIM_EXPORT int hid_set_nonblocking(hid_device* dev, int nonblock) {
    if (!dev) return -1;
    dev->nonblocking = nonblock != 0;
    return 0;
}

ZSIM_EXPORT int hid_send_feature_report(hid_device* dev, const unsigned char* data, size_t length) {
    if (!dev || !data || length == 0) return -1;
    if (!dev->a->numbered && !dev->a->no_descriptor)
        return dev->Fail("the device has no feature reports");
    const int size = FeatureSize(data[0]);
    if (size < 0) return dev->Fail("no feature report with that id");
    if (length != size_t(1 + size)) return dev->Fail("feature report of the wrong length");
    zsim::VirtualAdapter& v = *dev->a->adapter;
    const bool control = data[0] < 0x49;
    if (!(control ? v.SetControl(data[0], data[1]) : v.SetFeature(data, int(length))))
        return dev->Fail(v.Present() ? "feature report refused" : "No such device");
    return int(length);
}

ZSIM_EXPORT int hid_get_feature_report(hid_device* dev, unsigned char* data, size_t length) {
    if (!dev || !data || length == 0) return -1;
    if (!dev->a->numbered && !dev->a->no_descriptor)
        return dev->Fail("the device has no feature reports");
    const int size = FeatureSize(data[0]);
    if (size < 0) return dev->Fail("no feature report with that id");
    if (length < size_t(1 + size)) return dev->Fail("buffer too small for the feature report");
    zsim::VirtualAdapter& v = *dev->a->adapter;
    uint8_t report[8] = {data[0]};
    bool ok = data[0] < 0x49 ? v.GetControl(data[0], &report[1]) : v.GetFeature(report, 1 + size);
    if (!ok) return dev->Fail(v.Present() ? "feature report refused" : "No such device");
    std::memcpy(data, report, size_t(1 + size));
    return 1 + size;
}

// hidapi 0.14's call; Wickport looks it up at run time.
ZSIM_EXPORT int hid_get_report_descriptor(hid_device* dev, unsigned char* buf, size_t buf_size) {
    if (!dev || !buf) return -1;
    if (dev->a->no_descriptor) return dev->Fail("no report descriptor");
    const std::vector<uint8_t> d = Descriptor(dev->a->numbered);
    if (buf_size < d.size()) return dev->Fail("buffer too small for the descriptor");
    std::memcpy(buf, d.data(), d.size());
    return int(d.size());
}

ZSIM_EXPORT const wchar_t* hid_error(hid_device* dev) {
    if (!dev) return Reg().global_error.c_str();
    return dev->error.empty() ? L"Success" : dev->error.c_str();
}

ZSIM_EXPORT int hid_get_serial_number_string(hid_device* dev, wchar_t* string, size_t maxlen) {
    if (!dev || !string || maxlen == 0) return -1;
    std::wcsncpy(string, Wide(dev->a->serial).c_str(), maxlen - 1);
    string[maxlen - 1] = 0;
    return 0;
}
