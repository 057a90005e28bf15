// The virtual serial adapter lives behind a pseudo-terminal, which Windows
// does not have: on Windows the Windows build of the library reaches a Linux
// zeltra-sim's pseudo-terminal through Wine's COM port mapping instead.
#include "serial_adapter.h"

namespace zsim {

std::unique_ptr<SerialAdapterServer> SerialAdapterServer::Create(const std::string&,
                                                                 const std::string&,
                                                                 const AdapterOptions&,
                                                                 std::string* error) {
    *error =
        "a virtual serial adapter needs a pseudo-terminal, which this system lacks; "
        "run zeltra-sim serial on Linux";
    return nullptr;
}

SerialAdapterServer::~SerialAdapterServer() = default;

bool SerialAdapterServer::SetLineBaud(int) {
    return false;
}

void SerialAdapterServer::Serve(const std::atomic<bool>&) {}

}  // namespace zsim
