// Wickport's WICKPORT_VIRTUAL and WICKPORT_USB_IDS parsers, and the virtual
// adapters built from what they accept.
#include <cstdint>
#include <string>
#include <string_view>

#include "adapter_list.h"
#include "fuzz_check.h"
#include "virtual_adapter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> problems;
    for (wickport::VirtualDescription& d : wickport::ParseVirtualList(text, &problems)) {
        FUZZ_CHECK(!d.serial.empty() && d.serial.size() <= wickport::kMaxSerialLength);
        // A state directory would make the fuzzer write to the disk.
        std::erase_if(d.options, [](const auto& kv) { return kv.first == "state"; });
        std::string error;
        try {
            auto adapter = zsim::VirtualAdapter::Create(d.serial, d.options, &error);
            FUZZ_CHECK(adapter != nullptr || !error.empty());
        } catch (const std::exception&) {
            // Wickport's backend reports a throwing description as refused.
        }
    }
    wickport::ParseUsbIds(text, &problems);
    return 0;
}
