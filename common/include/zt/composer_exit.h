// The composer's exit codes and the texts the host shows for them.
#pragma once

namespace zt::composer {

enum ExitCode : int {
    kExitOk = 0,
    kExitCommandLine = 1,
    kExitFirstBootAddress = 2,
    kExitBurnerCreation = 3,
    kExitOutputDir = 4,
    kExitBootHexInput = 5,
    kExitBootMemInput = 6,
    kExitAppHexInput = 7,
    kExitAppMemInput = 8,
    kExitDirectInput = 9,
    kExitAddressSpec = 10,
    kExitBurnFile = 11,
    kExitUnhandled = 12,
};

inline constexpr const char* kUndefinedExitText = "Undefined Error";

// The text of a failure code; kUndefinedExitText for 0 and unknown codes.
constexpr const char* ExitCodeText(int code) {
    constexpr const char* kTexts[] = {
        nullptr,
        "Command Line Error",
        "First Boot File Address Error",
        "Burner Creation Error",
        "Output Dir Error",
        "Boot HEX Input Error",
        "Boot MEM Input Error",
        "App HEX Input Error",
        "App MEM Input Error",
        "Direct Burn Input Error",
        "NVM Address Error",
        "NVM Burn File Error",
        "Unhandled exception.",
    };
    if (code <= kExitOk || code > kExitUnhandled) return kUndefinedExitText;
    return kTexts[code];
}

}  // namespace zt::composer
