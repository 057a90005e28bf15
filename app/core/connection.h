// Listing adapters and connecting to the Zeltra behind one, with the messages the
// operator sees. The window keeps the state; this holds the calls and their rules.
#pragma once

#include <string>
#include <vector>

#include "ordwin_api.h"
#include "ports.h"

namespace cindral {

// Longest serial number handed to the library, terminator excluded.
constexpr std::size_t kSerialBufferSize = 128;

class AdapterConnection {
  public:
    AdapterConnection(IOrdwin& ordwin, IMessagePort& messages)
        : ordwin_(ordwin), messages_(messages) {}

    // Serial numbers of the attached adapters in enumeration order; failures are silent.
    std::vector<std::string> ListAdapters();

    // Connects over C2 and accepts only a Zeltra. Any other outcome leaves the
    // library disconnected. True when connected.
    bool Connect(const std::string& serialNumber);

    // True when the library let go of the adapter.
    bool Disconnect();

  private:
    IOrdwin& ordwin_;
    IMessagePort& messages_;
};

}  // namespace cindral
