// Where this user's private runtime, cache and configuration files go.
#pragma once

#include <string>
#include <string_view>

namespace zt::platform {

// A directory named `name` for this user's runtime files (sockets, links):
// under XDG_RUNTIME_DIR, else a per-user name in the temporary directory.
// Not created here.
std::string UserRuntimeDirectory(std::string_view name);

// This user's cache, configuration, state and data bases (XDG on Linux,
// %LOCALAPPDATA% on Windows); empty when the environment names none.
std::string CacheHome();
std::string ConfigHome();
std::string StateHome();
std::string DataHome();
// The machine-wide configuration directory: /etc on Linux, %ProgramData% on
// Windows (empty when the environment names none there).
std::string SystemConfigHome();

// The path separator callers append before a file name.
inline constexpr char kPathSeparator =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif

}  // namespace zt::platform
