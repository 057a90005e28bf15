// A lock that tells two programs sharing one state directory apart. It is held
// until Release or destruction and dies with the process.
#pragma once

#include <cstdint>
#include <string>

namespace zt::platform {

class DirectoryLock {
  public:
    enum class Result { kLocked, kBusy, kError };

    DirectoryLock() = default;
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;
    ~DirectoryLock() { Release(); }

    // Takes the lock without waiting; kBusy when another holder has it, kError
    // with the system's text in *reason otherwise.
    Result Acquire(const std::string& directory, std::string* reason);
    void Release();
    bool held() const { return handle_ != kNone; }

  private:
    static constexpr intptr_t kNone = -1;
    intptr_t handle_ = kNone;
};

}  // namespace zt::platform
