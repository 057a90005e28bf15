// Wickport's reader of an adapter's HID report descriptor (the adapter's own
// bytes, so untrusted): every layout it accepts can carry a packet.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "report_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string why;
    const auto layout = wickport::ParseReportDescriptor(data, size, &why);
    if (!layout) {
        FUZZ_CHECK(!why.empty());
        return 0;
    }
    FUZZ_CHECK(!layout->assumed);
    FUZZ_CHECK(layout->output_size >= 64 && layout->output_size <= 4096);
    FUZZ_CHECK(layout->input_size >= 64 && layout->input_size <= 4096);
    // Numbered interfaces have no report 0; unnumbered ones have nothing else.
    if (layout->numbered) {
        FUZZ_CHECK(layout->output_id != 0 && layout->input_id != 0);
    } else {
        FUZZ_CHECK(layout->output_id == 0 && layout->input_id == 0);
    }
    for (const auto& [id, bytes] : layout->features) {
        FUZZ_CHECK(layout->numbered ? id != 0 : id == 0);
        FUZZ_CHECK(bytes >= 0 && bytes <= 4096);
    }
    FUZZ_CHECK(!wickport::DescribeLayout(*layout).empty());
    return 0;
}
