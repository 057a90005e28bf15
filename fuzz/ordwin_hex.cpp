// Ordwin's download reader for Intel-HEX. The first byte picks the bank and
// whether the family is a banked one; the rest is the file.
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "ordwin.h"
#include "target/hex_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int bank = int(data[0] % 5) - 1;  // -1 (unbanked) .. 3
    const uint16_t family = (data[0] & 0x80) ? 7 : 36;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    // The reader hands out 32-bit addresses; the download checks them against the device.
    static std::vector<uint8_t> code(0x20000, 0xFF);
    size_t stored = 0;
    ordwin::HexReadCallbacks callbacks;
    callbacks.store = [&](uint32_t address, uint8_t value) -> int32_t {
        if (address >= code.size()) return ORDWIN_E_READ_FAILED - 1;
        code[address] = value;
        ++stored;
        return 0;
    };
    callbacks.cancelled = [&](int advance) {
        FUZZ_CHECK(advance >= 12);
        return (data[0] & 0x40) != 0 && stored > 64;
    };
    const ordwin::HexReadOutcome outcome = ordwin::ReadIntelHex(text, bank, family, callbacks);
    // Every data byte takes two characters of the file.
    FUZZ_CHECK(stored * 2 <= text.size());
    FUZZ_CHECK(outcome.code <= 0);
    return 0;
}
