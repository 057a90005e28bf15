// The Intel-HEX reader of the download: records are read one after another
// from the text, every data byte is handed to the store callback.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace ordwin {

struct HexReadOutcome {
    // 0, the code of a failed store, ORDWIN_E_DOWNLOAD_CANCELLED or
    // ORDWIN_E_READ_FAILED.
    int32_t code = 0;
    // The load address at which reading stopped.
    uint32_t loadAddress = 0;
};

struct HexReadCallbacks {
    // Stores one byte; a negative result ends the reading with that code.
    std::function<int32_t(uint32_t address, uint8_t value)> store;
    // Called after each data record with the progress to add; true when the
    // user cancelled.
    std::function<bool(int advance)> cancelled;
};

// Adds the bank offset of a banked family to an address above 0x7FFF.
uint32_t MapBank(uint16_t family, int bank, uint32_t address);

// bank is -1 for unbanked loading.
HexReadOutcome ReadIntelHex(std::string_view text, int bank, uint16_t family,
                            const HexReadCallbacks& callbacks);

}  // namespace ordwin
