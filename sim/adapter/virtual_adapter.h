// A virtual USB debug adapter with a virtual target behind it.
//
// Wickport's virtual backend owns one of these per listed adapter and hands
// it the caller's reports unchanged; everything the adapter and the chip
// answer is decided here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zsim {

using AdapterOptions = std::vector<std::pair<std::string, std::string>>;

class VirtualAdapter {
  public:
    // Builds the adapter of one description (serial plus key=value options).
    // Returns null and sets *error for an unknown key or a bad value.
    static std::unique_ptr<VirtualAdapter> Create(const std::string& serial,
                                                  const AdapterOptions& options,
                                                  std::string* error);
    virtual ~VirtualAdapter() = default;

    virtual const std::string& Serial() const = 0;
    virtual uint16_t ProductId() const = 0;
    // False once the adapter was unplugged by a fault: every call then fails.
    virtual bool Present() const = 0;

    virtual void Open() = 0;
    virtual void Close() = 0;

    // One output report from the host (length bytes, at most 64).
    virtual bool Write(const uint8_t* data, int length) = 0;

    enum class ReadResult { kReport, kNoReply, kGone };
    // The next input report: on kReport, report holds 64 bytes and *length
    // the size delivered (64 unless a fault shortens it).
    virtual ReadResult Read(uint8_t report[64], int* length) = 0;

    // Adapter reset: boot_mode true for the mode-1 reset, false otherwise.
    virtual bool Reset(bool boot_mode) = 0;

    // Small adapters' control values and the HID feature reports.
    virtual bool SetControl(int id, int value) = 0;
    virtual bool GetControl(int id, uint8_t* value) = 0;
    virtual bool SetFeature(const uint8_t* report, int length) = 0;
    virtual bool GetFeature(uint8_t* report, int length) = 0;
};

}  // namespace zsim
