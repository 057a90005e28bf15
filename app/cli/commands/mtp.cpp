#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "core/mtp_content.h"
#include "core/mtp_engine.h"
#include "core/text.h"
#include "support.h"

namespace cindral::cli {

int RunMtp(const Globals& g, const MtpArgs& a) {
    const char* command = a.write ? "mtp write" : "mtp read";
    const auto start = std::chrono::steady_clock::now();
    std::string hexText, why;
    std::optional<mtp::Bytes> given;
    if (a.write && !a.hex.empty()) {
        std::optional<std::string> text = ReadInput(Absolute(a.hex), why);
        if (!text) return Fail(g, command, kExitInput, why);
        hexText = *text;
    } else if (a.write) {
        given = mtp::ParseDigits(mtp::ContentDigits(WidenText(a.bytes)));
        if (!given || mtp::ContentDigits(WidenText(a.bytes)).size() != mtp::kDigits)
            return Fail(g, command, kExitUsage,
                        "BYTES must be 16 bytes as hex, e.g. \"00 11 22 .. FF\"");
    }
    if (a.write && !OpenAuditLog(g, why)) return Fail(g, command, kExitInput, why);
    if (!a.adapter.empty()) FocusVirtualAdapters({a.adapter});
    Session s(g, "");
    std::optional<std::string> serial = PickAdapter(s, a.adapter, why);
    if (!serial) return Fail(g, command, kExitAdapter, why);
    if (!ConnectTo(s, *serial, -1))
        return Fail(g, command, kExitAdapter, "cannot connect to " + *serial + ": " + s.LastText());
    MtpEngine engine(s.ordwin, s.messages, s.sleep);
    Json rec{{"command", command},
             {"time", UtcTimestamp()},
             {"host", HostName()},
             {"adapter", *serial},
             {"chip", ChipIdentity(s.ordwin)}};
    int exit = kExitOk;
    std::optional<mtp::Bytes> before = engine.Read();
    if (before) rec["before"] = Tidy(mtp::FormatContent(*before));
    if (!a.write) {
        DisconnectFrom(s, -1);
        if (!before) return Fail(g, command, kExitChip, "reading the MTP failed");
        const std::u16string layout = mtp::FormatContent(*before);
        if (!a.save.empty()) {
            std::string file(mtp::kInitialSaveTemplate);
            mtp::PatchSaveTemplate(file, mtp::ContentDigits(layout));
            std::ofstream out(Utf8Path(Absolute(a.save)), std::ios::binary | std::ios::trunc);
            out << file;
            if (!out.flush()) return Fail(g, command, kExitInput, "cannot write " + a.save);
            rec["saved"] = Absolute(a.save);
        }
        rec["content"] = Tidy(layout);
        rec["ok"] = true;
        rec["exit"] = kExitOk;
        Emit(g, rec);
        Print(g, Tidy(layout) + "\n");
        return kExitOk;
    }
    if (!given) {
        // As the page does: the chip's content overlaid with the file's records.
        const std::u16string current =
            mtp::ContentDigits(before ? mtp::FormatContent(*before) : mtp::BlankContent());
        std::optional<std::u16string> digits = mtp::LoadDigitsFromHex(hexText, current);
        if (digits) given = mtp::ParseDigits(*digits);
        if (!given) {
            s.messages.Ok(u"Incompatible file format.\n");
            DisconnectFrom(s, -1);
            return Fail(g, command, kExitInput, "Incompatible file format.");
        }
    }
    rec["content"] = Tidy(mtp::FormatContent(*given));
    MtpEngine::Outcome outcome;
    {
        PrivateDirectory workDir;
        outcome = engine.WriteBytes(*given);
    }
    std::optional<mtp::Bytes> after = engine.Read();
    DisconnectFrom(s, -1);
    if (after) rec["after"] = Tidy(mtp::FormatContent(*after));
    rec["code"] = Hex2(outcome.code);
    rec["message"] = Tidy(outcome.message);
    if (InterruptRequested()) {
        exit = 128 + InterruptSignal();
        rec["result"] = "interrupted, state unknown";
    } else if (outcome.status == MtpEngine::Status::kTimedOut) {
        exit = kExitTimedOut;
        rec["result"] = "timed out";
    } else if (outcome.status == MtpEngine::Status::kFinished && outcome.code == 5) {
        rec["result"] = "ok";
    } else {
        exit = kExitChip;
        rec["result"] = "failed";
    }
    Conclude(g, rec, exit, start);
    Emit(g, rec);
    Print(g, *serial + ": " + rec.value("result", "") + " - " + rec.value("message", "") + "\n");
    return exit;
}

}  // namespace cindral::cli
