// The byte stream of settings files: little-endian 32-bit integers and UTF-16
// strings with a length prefix, written and read field by field.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cindral {

class SettingsWriter {
  public:
    void WriteInt(int32_t value);
    void WriteString(const std::u16string& text);
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

    // Replaces the file as one step (a temporary file beside it, renamed over
    // it); false, with the system's reason, when it cannot be written. The old
    // file is then untouched.
    bool SaveTo(const std::u16string& path, std::string* why = nullptr) const;

  private:
    void Put(uint32_t value, int size);
    std::vector<uint8_t> bytes_;
};

// Reads what SettingsWriter wrote. Any read past the end or of a malformed
// string fails, and every later read fails too, so a short or foreign file
// leaves the fields not yet read untouched.
class SettingsReader {
  public:
    explicit SettingsReader(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    static std::optional<SettingsReader> Open(const std::u16string& path);

    bool ReadInt(int32_t& value);
    bool ReadString(std::u16string& text);
    bool Failed() const { return failed_; }
    bool AtEnd() const { return pos_ == bytes_.size(); }

    // Longest file accepted; settings files are a few kilobytes.
    static constexpr std::size_t kMaxFileSize = 16u << 20;

  private:
    bool Get(uint32_t& value, int size);
    std::vector<uint8_t> bytes_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

}  // namespace cindral
