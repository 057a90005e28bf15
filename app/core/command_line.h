// The composer's command line: one builder for the Main page's compose and the
// Direct Burn page's compose, and one splitter that turns the line into
// arguments the way the Windows C runtime does.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cindral {

// One listed input file of the Main page.
struct NVMData {
    std::u16string fullPath;
    std::u16string fileName;
    std::u16string nvmAddress;  // passed to the composer verbatim
    int32_t hexFlag = 0;        // 1: the name contains ".hex" or ".ihx" (case-sensitive)
};

// Hex flag of a file name.
int32_t HexFlagOf(std::u16string_view fileName);

struct ComposeSwitches {
    bool strict = false;
    bool user = false;
    bool xoEarlyEnable = false;
    bool exeUserBoot = false;
    bool run = false;
    bool nvmDisable = false;
    bool mtpDisable = false;
    bool ramClear = false;
    bool c2Disable = false;
};

// An NVM address text as the composer takes it: "0x" and 1 to 8 hexadecimal
// digits, or 1 to 10 decimal digits, and nothing else, not even a blank. Any
// other text could carry options of its own into the composer.
bool IsNvmAddressText(std::u16string_view text);

// "Invalid NVM address: <text>" and what an address may be.
std::u16string InvalidNvmAddressText(std::u16string_view text);

// The first listed file whose address is not an NVM address, or nullptr.
const NVMData* FirstInvalidAddress(const std::vector<NVMData>& bootFiles,
                                   const std::vector<NVMData>& appFiles);

// The composer's arguments after its path, as separate strings that are never
// split again: a text with blanks or quotes in it stays one argument. The
// same arguments as the command lines below show.
std::vector<std::u16string> ComposeArguments(const std::vector<NVMData>& bootFiles,
                                             const std::vector<NVMData>& appFiles,
                                             const std::u16string& burnFile,
                                             const ComposeSwitches& switches);
std::vector<std::u16string> DirectArguments(bool fromFile, const std::u16string& directFile,
                                            const std::u16string& directText,
                                            const std::u16string& nvmBurnFile, bool strict);

// The command line as it is shown in the output log. Nothing is quoted or
// escaped: the pages refuse paths with spaces.
std::u16string BuildComposeCommandLine(const std::u16string& composerPath,
                                       const std::vector<NVMData>& bootFiles,
                                       const std::vector<NVMData>& appFiles,
                                       const std::u16string& burnFile,
                                       const ComposeSwitches& switches);

// fromFile: the direct input is `directFile`; otherwise the text goes in double
// quotes, verbatim.
std::u16string BuildDirectCommandLine(const std::u16string& composerPath, bool fromFile,
                                      const std::u16string& directFile,
                                      const std::u16string& directText,
                                      const std::u16string& nvmBurnFile, bool strict);

// Splits a command line as the Windows C runtime does: white space separates
// arguments, double quotes group (a doubled quote inside quotes is a literal
// quote), 2n backslashes before a quote give n backslashes, 2n+1 give n and a
// literal quote. The first argument (the program) ends at white space or at the
// closing quote and has no backslash rules.
std::vector<std::u16string> SplitCommandLine(std::u16string_view line);

}  // namespace cindral
