// Small facts about the running system: error texts, the clock's calendar
// form, the host's name and the environment.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace zt::platform {

// The text of errno value `code`, and of the last failed system call.
std::string ErrorText(int code);
std::string LastErrorText();

std::tm LocalTime(std::time_t seconds);
std::tm UtcTime(std::time_t seconds);
// Milliseconds since 1970 on the wall clock.
long long WallClockMilliseconds();

// The machine's network name; empty when it has none.
std::string HostName();

// Sets (or with nullptr removes) an environment variable of this process. An
// empty value is kept as set, also on Windows, where the C runtime drops it.
void SetEnvironment(const char* name, const char* value);
// An environment variable of this process; nullopt when unset, "" when set empty.
std::optional<std::string> GetEnvironment(const char* name);

}  // namespace zt::platform
