// Virtual adapters listed by WICKPORT_VIRTUAL, each a zsim::VirtualAdapter:
// the whole of libwickport-virtual.so, which Wickport loads when asked for them.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <type_traits>

#include "adapter_list.h"
#include "backend.h"
#include "virtual_adapter.h"
#include "wickport.h"
#include "zt/platform/system.h"

static_assert(std::is_same_v<wickport::VirtualOptions, zsim::AdapterOptions>);

namespace wickport {
namespace {

using AdapterPtr = std::shared_ptr<zsim::VirtualAdapter>;

class VirtualDevice final : public Device {
  public:
    // The adapter is open already.
    explicit VirtualDevice(AdapterPtr adapter) : adapter_(std::move(adapter)) {}
    ~VirtualDevice() override {
        if (adapter_) adapter_->Close();
    }

    // Releasing the handle succeeds even when the adapter has gone, as with a
    // real one: the caller's link is closed either way.
    int Close() override {
        if (!adapter_) return WP_E_INVALID_HANDLE;
        adapter_->Close();
        adapter_.reset();
        return WP_OK;
    }

    int Write(const uint8_t* data, int length) override {
        if (int rc = Check()) return rc;
        return Outcome(adapter_->Write(data, length), WP_E_WRITE);
    }

    int Read(uint8_t report[64], int* received, int timeout_ms) override {
        // The virtual adapter answers at once or never; never costs the time-out.
        *received = 0;
        if (int rc = Check()) return rc;
        int length = 0;
        switch (adapter_->Read(report, &length)) {
            case zsim::VirtualAdapter::ReadResult::kReport:
                *received = length;
                return WP_OK;
            case zsim::VirtualAdapter::ReadResult::kNoReply:
                adapter_->PassTime(timeout_ms);
                return WP_E_READ_TIMEOUT;
            case zsim::VirtualAdapter::ReadResult::kGone:
                break;
        }
        return WP_E_IO;
    }

    int Drain(int* drained) override {
        *drained = 0;
        if (int rc = Check()) return rc;
        *drained = adapter_->Drain();
        return WP_OK;
    }

    uint64_t WaitedUs() const override { return adapter_ ? adapter_->WaitedUs() : 0; }

    // The adapter's own clock takes the pause (or it really waits, per its speed).
    bool Pause(int milliseconds) override {
        if (!adapter_) return false;
        adapter_->PassTime(milliseconds);
        return true;
    }

    int Reset(bool boot_mode) override {
        if (int rc = Check()) return rc;
        return Outcome(adapter_->Reset(boot_mode), WP_E_RESET_RESPONSE);
    }

    int SetControl(int id, uint8_t value) override {
        if (int rc = Check()) return rc;
        return Outcome(adapter_->SetControl(id, value), WP_E_WRITE);
    }

    int GetControl(int id, uint8_t* value) override {
        if (int rc = Check()) return rc;
        return Outcome(adapter_->GetControl(id, value), WP_E_READ);
    }

    int SetFeature(const uint8_t* report, int length) override {
        if (int rc = Check()) return rc;
        return Outcome(adapter_->SetFeature(report, length), WP_E_WRITE);
    }

    int GetFeature(uint8_t* report, int length) override {
        if (int rc = Check()) return rc;
        return Outcome(adapter_->GetFeature(report, length), WP_E_READ);
    }

  private:
    // A refused call fails with its own code while the adapter is there, and
    // as an I/O failure once it has gone.
    int Outcome(bool ok, int refused) const {
        if (ok) return WP_OK;
        return adapter_->Present() ? refused : WP_E_IO;
    }

    int Check() const {
        if (!adapter_) return WP_E_INVALID_HANDLE;
        return adapter_->Present() ? WP_OK : WP_E_IO;
    }

    AdapterPtr adapter_;
};

// The key of one description: the same text keeps the same adapter (and so the
// same chip) across enumerations.
std::string KeyOf(const VirtualDescription& d) {
    std::string key = d.serial;
    for (const auto& [k, v] : d.options) key += "\x1f" + k + "=" + v;
    return key;
}

class VirtualBackend final : public Backend {
  public:
    std::vector<AdapterInfo> Enumerate() override {
        const std::string text =
            zt::platform::GetEnvironment("WICKPORT_VIRTUAL").value_or(std::string());
        if (!parsed_ || text != text_) Rebuild(text);
        std::vector<AdapterInfo> list;
        for (const auto& key : order_) {
            const AdapterPtr& adapter = adapters_.at(key);
            if (!adapter->Present()) continue;
            AdapterInfo info;
            info.serial = adapter->Serial();
            info.product_id = adapter->ProductId();
            info.locator = key;
            info.is_virtual = !adapter->PosesAsReal();
            info.product = "virtual debug adapter";
            list.push_back(std::move(info));
        }
        return list;
    }

    bool Present(const AdapterInfo& info) override {
        auto it = adapters_.find(info.locator);
        return it != adapters_.end() && it->second->Present();
    }

    int Open(const AdapterInfo& info, std::unique_ptr<Device>* device, std::string* why) override {
        auto it = adapters_.find(info.locator);
        if (it == adapters_.end() || !it->second->Present()) return WP_E_INVALID_HANDLE;
        std::string error;
        if (!it->second->Open(&error)) {
            *why = info.serial + ": " + error;
            std::fprintf(stderr, "wickport: %s\n", why->c_str());
            return WP_E_INVALID_HANDLE;
        }
        *device = std::make_unique<VirtualDevice>(it->second);
        return WP_OK;
    }

  private:
    void Rebuild(const std::string& text) {
        parsed_ = true;
        text_ = text;
        std::vector<std::string> problems;
        std::vector<VirtualDescription> list = ParseVirtualList(text, &problems);
        std::map<std::string, AdapterPtr> kept;
        order_.clear();
        for (const auto& d : list) {
            std::string key = KeyOf(d);
            auto it = adapters_.find(key);
            if (it != adapters_.end()) {
                kept.emplace(key, it->second);
                order_.push_back(key);
                continue;
            }
            std::string error;
            std::unique_ptr<zsim::VirtualAdapter> adapter;
            try {
                adapter = zsim::VirtualAdapter::Create(d.serial, d.options, &error);
            } catch (const std::exception& e) {
                error = e.what();
            }
            if (!adapter) {
                problems.push_back("skipping \"" + d.serial +
                                   "\": " + (error.empty() ? std::string("refused") : error));
                continue;
            }
            kept.emplace(key, AdapterPtr(std::move(adapter)));
            order_.push_back(key);
        }
        // Adapters no longer listed go; an open one lives on in its Device.
        adapters_ = std::move(kept);
        for (const auto& p : problems)
            std::fprintf(stderr, "wickport: WICKPORT_VIRTUAL: %s\n", p.c_str());
    }

    bool parsed_ = false;
    std::string text_;
    std::vector<std::string> order_;
    std::map<std::string, AdapterPtr> adapters_;
};

}  // namespace
}  // namespace wickport

extern "C" WICKPORT_API wickport::Backend* WickportVirtualBackend(int interface) {
    if (interface != wickport::kBackendInterface) return nullptr;
    return new wickport::VirtualBackend;
}
