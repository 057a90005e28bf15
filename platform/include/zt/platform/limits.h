// A cap on how large this process's files may grow, so tests can make a save
// fail as on a full disk, even for root, whom permissions do not stop.
#pragma once

#include <cstdint>

namespace zt::platform {

class FileSizeLimit {
  public:
    explicit FileSizeLimit(uint64_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // False where the system has no such limit; nothing is capped then.
    bool active() const { return active_; }

  private:
    bool active_ = false;
    uint64_t saved_current_ = 0;
    uint64_t saved_maximum_ = 0;
    void (*saved_handler_)(int) = nullptr;
};

}  // namespace zt::platform
