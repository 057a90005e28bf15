// The MTP page's hex-file reader: the file read whole, then its records laid
// over the current content. A file that loads gives 32 upper-case digits, the
// same bytes whatever the content was before, and its saved form loads back to
// the same content.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "core/mtp_content.h"
#include "core/mtp_engine.h"
#include "core/text.h"
#include "fuzz_check.h"

namespace {

using namespace cindral;

class QuietMessages : public IMessagePort {
  public:
    MsgResult ShowMessage(const std::u16string&, const std::u16string&, MsgButtons,
                          MsgIcon) override {
        return MsgResult::Ok;
    }
};

std::string g_path;

bool UpperHex(const std::u16string& digits) {
    if (digits.size() != std::size_t(mtp::kDigits)) return false;
    for (char16_t c : digits)
        if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'))) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_mtp_hex_XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) std::abort();
    close(fd);
    g_path = pattern;
    std::atexit([] { std::remove(g_path.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(g_path, std::ios::binary | std::ios::trunc);
        out << input;
        if (!out.flush()) std::abort();
    }
    QuietMessages messages;
    const std::optional<std::string> text = ReadMtpHexFile(WidenText(g_path), messages);
    FUZZ_CHECK(text && *text == input);

    const std::u16string a = mtp::ContentDigits(mtp::kInitialContent);
    const std::u16string b(mtp::kDigits, u'F');
    const std::optional<std::u16string> fromA = mtp::LoadDigitsFromHex(*text, a);
    const std::optional<std::u16string> fromB = mtp::LoadDigitsFromHex(*text, b);
    // Whether a file is accepted depends on the file alone.
    FUZZ_CHECK(fromA.has_value() == fromB.has_value());
    // Content that is not 32 digits takes no file.
    FUZZ_CHECK(!mtp::LoadDigitsFromHex(*text, u"0102").has_value());
    if (!fromA) return 0;
    // An empty file sets nothing, so it is refused rather than written.
    FUZZ_CHECK(!text->empty());
    FUZZ_CHECK(UpperHex(*fromA) && UpperHex(*fromB));
    // A byte the file sets has the file's value; any other keeps the content's.
    for (std::size_t i = 0; i < std::size_t(mtp::kDigits); i += 2) {
        const bool same = fromA->compare(i, 2, *fromB, i, 2) == 0;
        const bool kept = fromA->compare(i, 2, a, i, 2) == 0 && fromB->compare(i, 2, b, i, 2) == 0;
        FUZZ_CHECK(same || kept);
    }
    FUZZ_CHECK(mtp::LoadDigitsFromHex(*text, *fromA) == fromA);
    FUZZ_CHECK(!mtp::LayoutDigits(*fromA).empty());

    // Saved and opened again: the same content, over any other.
    std::string saved = mtp::kInitialSaveTemplate;
    FUZZ_CHECK(mtp::PatchSaveTemplate(saved, *fromA) == mtp::PatchError::kNone);
    FUZZ_CHECK(mtp::LoadDigitsFromHex(saved, b) == fromA);
    return 0;
}
