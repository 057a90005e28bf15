#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/text.h"
#include "support.h"

namespace cindral::cli {

int RunErase(const Globals& g, const std::string& adapter, int com) {
    if (!adapter.empty()) FocusVirtualAdapters({adapter});
    const auto start = std::chrono::steady_clock::now();
    Session s(g, "");
    std::string why;
    std::optional<std::string> serial = com >= 0 ? ComName(com) : PickAdapter(s, adapter, why);
    if (!serial) return Fail(g, "erase", kExitAdapter, why);
    if (!OpenAuditLog(g, why)) return Fail(g, "erase", kExitInput, why);
    const int rc = com >= 0 ? s.ordwin.FLASHErase(com, 0, kProtocolC2)
                            : s.ordwin.FLASHEraseUSB(serial->c_str(), 0, kProtocolC2);
    // The library returns success when its question was answered No: then
    // nothing was erased.
    const bool declined = rc >= 0 && !s.messages.Declined().empty();
    const std::string text = rc < 0     ? s.ordwin.GetErrorMsg(rc)
                             : declined ? "Erase declined: the question was answered No; run "
                                          "with --yes to erase"
                                        : "Erase succeeded";
    int exit = rc < 0 ? kExitChip : declined ? kExitUsage : kExitOk;
    Json rec{{"command", "erase"},
             {"time", UtcTimestamp()},
             {"host", HostName()},
             {"adapter", *serial},
             {"code", Format("0x%08X", static_cast<unsigned>(rc))},
             {"message", text},
             {"result", rc < 0     ? "failed"
                        : declined ? "declined"
                                   : "ok"}};
    Conclude(g, rec, exit, start);
    Emit(g, rec);
    Print(g, *serial + ": " + text + "\n");
    return exit;
}

}  // namespace cindral::cli
