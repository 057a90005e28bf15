#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "zt/zeltra_map.h"

namespace marlspin {

inline constexpr uint32_t kNvmSize = zt::zeltra::kNvmSize;
inline constexpr std::size_t kMaxInputSize = 16u << 20;

// The bytes one input gives, at absolute NVM addresses. Bytes beyond the NVM
// only widen the extent and are not stored, so a hostile address costs no memory.
class PlacedBytes {
  public:
    PlacedBytes() : value_(kNvmSize, 0), set_(kNvmSize, 0) {}

    void Put(uint64_t address, uint8_t value) {
        if (count_ == 0 || address < first_) first_ = address;
        if (count_ == 0 || address > last_) last_ = address;
        ++count_;
        if (address < kNvmSize) {
            value_[address] = value;
            set_[address] = 1;
        }
    }

    bool empty() const { return count_ == 0; }
    uint64_t first() const { return first_; }
    uint64_t last() const { return last_; }
    bool IsSet(uint32_t address) const { return address < kNvmSize && set_[address] != 0; }
    uint8_t At(uint32_t address) const { return address < kNvmSize ? value_[address] : 0; }
    // True when every byte given lies in begin..end (inclusive).
    bool Within(uint64_t begin, uint64_t end) const {
        return empty() || (first_ >= begin && last_ <= end);
    }

  private:
    std::vector<uint8_t> value_;
    std::vector<uint8_t> set_;
    uint64_t first_ = 0;
    uint64_t last_ = 0;
    std::size_t count_ = 0;
};

// A malformed input; `line` is 1-based, 0 when the fault is not tied to a line.
class InputError : public std::runtime_error {
  public:
    InputError(std::size_t line, const std::string& message)
        : std::runtime_error(message), line_(line) {}
    std::size_t line() const { return line_; }

  private:
    std::size_t line_;
};

// Intel-HEX text (record types 00..05); each data byte lands at base + its record address.
void ReadIntelHex(std::string_view text, uint64_t base, PlacedBytes& out);

// Memory text: white-space separated tokens, "@HEX" moves to base + HEX, every
// other token is one byte of 1 or 2 hex digits, "//" comments to the line end.
// A byte at or beyond `limit` is an error.
void ReadMemText(std::string_view text, uint64_t base, PlacedBytes& out,
                 uint64_t limit = std::numeric_limits<uint64_t>::max());

// An address text: "0x" hex or plain decimal, at most 0xFFFFFFFF.
std::optional<uint32_t> ParseAddress(std::string_view text);

// The whole content of a regular file of at most kMaxInputSize bytes.
std::string ReadInputFile(const std::string& path);

// The last component of a path ('/' or '\\' separated).
std::string BaseName(const std::string& path);

// Text cut short and with unprintable characters escaped, for messages.
std::string Printable(std::string_view text, std::size_t max = 24);

}  // namespace marlspin
