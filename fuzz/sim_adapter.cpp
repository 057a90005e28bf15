// The virtual adapter's command parser: a run of reports (a length byte, then
// that many report bytes) against an adapter chosen by the first byte, each
// followed by a read; some length bytes stand for the other calls.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "virtual_adapter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const char* kPids[] = {"0x8A51", "0x8045", "0x8253", "0x8A52"};
    static const char* kTargets[] = {"zeltra", "pristine", "none", "10/01"};
    // Real speed: a run lasts only as long as the wall time between reports.
    zsim::AdapterOptions options = {{"pid", kPids[data[0] & 3]},
                                    {"target", kTargets[(data[0] >> 2) & 3]},
                                    {"speed", "real"}};
    if (data[0] & 0x10) options.push_back({"fw", "30"});
    if (data[0] & 0x20) options.push_back({"vpp", "0"});
    std::string error;
    auto adapter = zsim::VirtualAdapter::Create("VZF001", options, &error);
    FUZZ_CHECK(adapter != nullptr);
    adapter->Open();
    size_t pos = 1;
    while (pos < size) {
        const uint8_t op = data[pos++];
        const int length = op & 0x7F;
        if (op & 0x80) {
            uint8_t report[64] = {};
            const int n = int(std::min<size_t>(size - pos, 64));
            std::copy(data + pos, data + pos + n, report);
            switch (length & 7) {
                case 0:
                    adapter->Reset((length & 8) != 0);
                    break;
                case 1:
                    adapter->SetControl(report[0], report[1]);
                    break;
                case 2: {
                    uint8_t value = 0;
                    adapter->GetControl(report[0], &value);
                    break;
                }
                case 3:
                    adapter->SetFeature(report, std::max(1, length >> 3));
                    break;
                case 4:
                    adapter->GetFeature(report, std::max(1, length >> 3));
                    break;
                default:
                    adapter->Close();
                    adapter->Open();
                    break;
            }
            pos += std::min<size_t>(size - pos, 2);
            continue;
        }
        const size_t n = std::min<size_t>(size - pos, length);
        adapter->Write(data + pos, int(n));
        pos += n;
        uint8_t reply[64];
        int got = 0;
        if (adapter->Read(reply, &got) == zsim::VirtualAdapter::ReadResult::kReport)
            FUZZ_CHECK(got > 0 && got <= 64);
    }
    return 0;
}
