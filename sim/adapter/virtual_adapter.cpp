#include "virtual_adapter.h"

#include <cstring>

namespace zsim {
namespace {

// Placeholder until the packet protocol and the chip plug in: it has an
// identity, control values and feature reports, and answers no command.
class BasicAdapter final : public VirtualAdapter {
public:
    BasicAdapter(std::string serial, uint16_t pid) : serial_(std::move(serial)), pid_(pid) {}
    const std::string& Serial() const override { return serial_; }
    uint16_t ProductId() const override { return pid_; }
    bool Present() const override { return true; }
    void Open() override {}
    void Close() override {}
    bool Write(const uint8_t*, int) override { return true; }
    ReadResult Read(uint8_t report[64], int* length) override {
        std::memset(report, 0, 64);
        *length = 0;
        return ReadResult::kNoReply;
    }
    bool Reset(bool) override { return true; }
    bool SetControl(int id, int value) override {
        if (id < 0x40 || id > 0x44) return false;
        control_[id - 0x40] = uint8_t(value);
        return true;
    }
    bool GetControl(int id, uint8_t* value) override {
        if (id < 0x40 || id > 0x44) return false;
        *value = control_[id - 0x40];
        return true;
    }
    bool SetFeature(const uint8_t* report, int length) override {
        if (length < 1 || report[0] < 0x49 || report[0] > 0x4B) return false;
        auto& f = feature_[report[0] - 0x49];
        std::memset(f, 0, sizeof f);
        std::memcpy(f, report, std::min<size_t>(length, sizeof f));
        return true;
    }
    bool GetFeature(uint8_t* report, int length) override {
        if (length < 1 || report[0] < 0x49 || report[0] > 0x4B) return false;
        uint8_t id = report[0];
        std::memcpy(report, feature_[id - 0x49], std::min<size_t>(length, 8));
        report[0] = id;
        return true;
    }

private:
    std::string serial_;
    uint16_t pid_;
    uint8_t control_[5] = {};
    uint8_t feature_[3][8] = {};
};

}  // namespace

std::unique_ptr<VirtualAdapter> VirtualAdapter::Create(const std::string& serial,
                                                       const AdapterOptions& options,
                                                       std::string* error) {
    uint16_t pid = 0x8A51;
    for (const auto& [key, value] : options) {
        if (key == "pid") {
            try {
                pid = uint16_t(std::stoul(value, nullptr, 0));
            } catch (...) {
                if (error) *error = "bad pid: " + value;
                return nullptr;
            }
        }
    }
    return std::make_unique<BasicAdapter>(serial, pid);
}

}  // namespace zsim
