#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "burn.h"
#include "compose.h"
#include "core/text.h"

namespace cindral::cli {

int RunDirectBurn(const Globals& g, DirectArgs a) {
    std::u16string input, text, nbf = FromUtf8(Absolute(a.out));
    if (!a.textGiven) {
        input = FromUtf8(Absolute(a.file));
        std::string why;
        if (!ReadInput(Absolute(a.file), why)) return Fail(g, "direct-burn", kExitInput, why);
    }
    // The composer gets the text as one line, as the Direct Burn page sends it.
    for (char c : a.text)
        text +=
            (c == '\r' || c == '\n') ? u' ' : static_cast<char16_t>(static_cast<unsigned char>(c));
    if (HasSpace(a.out) || (!a.textGiven && HasSpace(a.file)))
        return Fail(g, "direct-burn", kExitUsage,
                    "Spaces are not allowed in the file name or file path.");
    if (a.textGiven && text.empty())
        return Fail(g, "direct-burn", kExitUsage, "Text is required for Composing.");
    {
        Session s(g, "");
        NvmEngine engine(s.ordwin, s.ports(), s.host, ProgramDirectory());
        NvmOptions& o = engine.Options();
        o.directFromFile = a.textGiven ? 0 : 1;
        o.directStrict = a.logicOr ? 0 : 1;
        o.directBurnFile = input;
        o.directText = text;
        o.directNvmBurnFile = nbf;
        o.directOverwrite = a.overwrite ? 1 : 0;
        const int rc = ReportCompose(g, s, engine, true, ToUtf8(nbf));
        if (rc != kExitOk) return rc;
    }
    if (InterruptRequested()) return 128 + InterruptSignal();
    a.burn.file = ToUtf8(nbf);
    return BurnFileOn(g, a.burn, true);
}

}  // namespace cindral::cli
