// The composer's compose and direct-burn steps on fuzzed input files, and the
// burn file they write read back the way Cindral and Ordwin read it: every
// composed image must come back whole and download cleanly into code RAM.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "burn_file.h"
#include "compose.h"
#include "core/burn_file.h"
#include "core/compose_map.h"
#include "core/text.h"
#include "failure.h"
#include "fuzz_check.h"
#include "ordwin.h"
#include "target/hex_reader.h"

namespace {

const std::string& WorkDir() {
    static const std::string dir = [] {
        char name[] = "/tmp/zt-fuzz-compose-XXXXXX";
        const char* made = mkdtemp(name);
        FUZZ_CHECK(made != nullptr);
        return std::string(made) + "/";
    }();
    return dir;
}

// Parts separated by NUL bytes: address, content, address, content, ...
std::vector<std::string> Parts(const uint8_t* data, size_t size) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && parts.size() < 8)
            parts.emplace_back();
        else
            parts.back().push_back(char(data[i]));
    }
    return parts;
}

void CheckReadBack(const marlspin::Composition& c) {
    const std::string text = marlspin::FormatBurnFile(c);
    const auto sections = cindral::ParseBurnFile(text);
    FUZZ_CHECK(sections.size() == 1);
    const cindral::BurnSection& burn = sections.front();
    FUZZ_CHECK(burn.countGiven && burn.count == (long long)c.images.size());
    FUZZ_CHECK(burn.Complete());
    FUZZ_CHECK(cindral::ParseComposeMap(cindral::WidenText(text)).size() == c.rows.size());
    for (const cindral::BurnImage& image : burn.images) {
        ordwin::HexReadCallbacks callbacks;
        callbacks.store = [](uint32_t address, uint8_t) -> int32_t {
            return address < 0x8000 ? 0 : ORDWIN_E_READ_FAILED - 1;
        };
        FUZZ_CHECK(ordwin::ReadIntelHex(image.records, -1, 36, callbacks).code == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t mode = data[0];
    std::vector<std::string> parts = Parts(data + 1, size - 1);
    std::ostringstream info, warn;
    try {
        if (mode & 1) {
            marlspin::DirectRequest request;
            request.strict = (mode & 2) != 0;
            if (mode & 4) {
                request.file = WorkDir() + "direct.txt";
                std::ofstream(*request.file, std::ios::binary | std::ios::trunc) << parts[0];
            } else {
                request.text = parts[0];
            }
            CheckReadBack(marlspin::ComposeDirect(request, info));
            return 0;
        }
        marlspin::ComposeRequest request;
        request.strict = (mode & 2) != 0;
        request.state = (mode & 4) ? marlspin::kStateRun : 0;
        request.flags = uint8_t(mode & 0xF0);
        for (size_t i = 0; i + 1 < parts.size(); i += 2) {
            const size_t n = i / 2;
            using Kind = marlspin::InputFile::Kind;
            const bool hex = (mode >> (4 + n)) & 1;
            const bool boot = n == 0 || ((mode >> (6 + n % 2)) & 1);
            marlspin::InputFile f{boot ? (hex ? Kind::kBootHex : Kind::kBootMem)
                                       : (hex ? Kind::kAppHex : Kind::kAppMem),
                                  WorkDir() + "in" + std::to_string(n), parts[i]};
            std::ofstream(f.path, std::ios::binary | std::ios::trunc) << parts[i + 1];
            (boot ? request.boot : request.app).push_back(std::move(f));
        }
        CheckReadBack(marlspin::Compose(request, info, warn));
    } catch (const marlspin::Failure& f) {
        FUZZ_CHECK(f.code() > 0 && f.code() <= marlspin::kExitUnhandled);
    }
    return 0;
}
