// What a page checks before it hands a burn file to the burn engine: that the
// file is not a leftover of a compose that failed since, and that its own map
// reports no conflicts or errors. A wrong bit in a one-time chip is permanent,
// so both are questions the operator answers, No by default.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "ports.h"

namespace cindral {

// Remembers when a page's last compose failed, until a compose succeeds or the
// operator opens a burn file explicitly.
class ComposeFailureMark {
  public:
    using Clock = std::filesystem::file_time_type::clock;

    void ComposeFailed() { failedAt_ = Clock::now(), failed_ = true; }
    void Clear() { failed_ = false; }
    bool Failed() const { return failed_; }
    std::filesystem::file_time_type FailedAt() const { return failedAt_; }
    // The burn file was last written no later than the failed compose (or its
    // time cannot be read): it does not hold what the failed compose asked for.
    bool Stale(const std::u16string& burnFile) const;

  private:
    bool failed_ = false;
    std::filesystem::file_time_type failedAt_{};
};

// The burn file's "[Compose Map]" has a row whose status names a Conflict or an Error.
bool MapReportsTrouble(std::string_view burnFileBytes);
// The same for a file on disk; a file that cannot be read reports nothing here
// (the burn engine tells why it cannot open it).
bool BurnFileMapReportsTrouble(const std::u16string& path);

// A relative burn file name made absolute against the current directory, so
// that the composer (which runs in the program directory), the map and the burn
// all use one file. Absolute and empty paths are returned unchanged.
std::u16string AbsoluteBurnFilePath(const std::u16string& path);

// The questions; true when the operator chose to burn.
bool ConfirmStaleBurn(IMessagePort& messages, const std::u16string& burnFile);
bool ConfirmTroubledBurn(IMessagePort& messages);

}  // namespace cindral
