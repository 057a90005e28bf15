#include "command_line.h"

namespace cindral {

int32_t HexFlagOf(std::u16string_view fileName) {
    // SDCC writes Intel-HEX as .ihx.
    return fileName.find(u".hex") != std::u16string_view::npos ||
                   fileName.find(u".ihx") != std::u16string_view::npos
               ? 1
               : 0;
}

namespace {

void AppendFiles(std::u16string& line, const std::vector<NVMData>& files, const char16_t* hexSwitch,
                 const char16_t* memSwitch) {
    for (const NVMData& f : files) {
        line += f.hexFlag == 1 ? hexSwitch : memSwitch;
        line += f.fullPath;
        line += u" ";
        line += f.nvmAddress;
    }
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

}  // namespace

bool IsNvmAddressText(std::u16string_view text) {
    auto all = [](std::u16string_view digits, bool hex) {
        for (char16_t c : digits) {
            const bool decimal = c >= u'0' && c <= u'9';
            const bool letter = (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
            if (!decimal && !(hex && letter)) return false;
        }
        return !digits.empty();
    };
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X'))
        return text.size() <= 10 && all(text.substr(2), true);
    return text.size() <= 10 && all(text, false);
}

std::u16string InvalidNvmAddressText(std::u16string_view text) {
    return u"Invalid NVM address: " + std::u16string(text) +
           u"\nAn NVM address is one number: 0x and hexadecimal digits, or decimal digits.";
}

const NVMData* FirstInvalidAddress(const std::vector<NVMData>& bootFiles,
                                   const std::vector<NVMData>& appFiles) {
    for (const std::vector<NVMData>* files : {&bootFiles, &appFiles})
        for (const NVMData& f : *files)
            if (!IsNvmAddressText(f.nvmAddress)) return &f;
    return nullptr;
}

std::vector<std::u16string> ComposeArguments(const std::vector<NVMData>& bootFiles,
                                             const std::vector<NVMData>& appFiles,
                                             const std::u16string& burnFile,
                                             const ComposeSwitches& s) {
    std::vector<std::u16string> args;
    auto files = [&args](const std::vector<NVMData>& list, const char16_t* hexSwitch,
                         const char16_t* memSwitch) {
        for (const NVMData& f : list) {
            args.push_back((f.hexFlag == 1 ? hexSwitch : memSwitch) + f.fullPath);
            args.push_back(f.nvmAddress);
        }
    };
    files(bootFiles, u"--boot_hex=", u"--boot_mem=");
    files(appFiles, u"--app_hex=", u"--app_mem=");
    args.push_back(u"--nvm_burn_file=" + burnFile);
    if (s.run) {
        args.push_back(u"--state=run");
    } else if (s.user) {
        args.push_back(u"--state=user");
    }
    if (s.xoEarlyEnable) args.push_back(u"--bf_xo_early_enable");
    if (s.exeUserBoot) args.push_back(u"--bf_exe_user_boot");
    if (s.nvmDisable) args.push_back(u"--bf_nvm_dis");
    if (s.mtpDisable) args.push_back(u"--bf_mtp_dis");
    if (s.ramClear) args.push_back(u"--bf_ram_clr");
    if (s.c2Disable) args.push_back(u"--bf_c2_dis");
    if (s.strict) args.push_back(u"--mode_strict");
    return args;
}

std::vector<std::u16string> DirectArguments(bool fromFile, const std::u16string& directFile,
                                            const std::u16string& directText,
                                            const std::u16string& nvmBurnFile, bool strict) {
    std::vector<std::u16string> args;
    args.push_back(fromFile ? u"--dir_burn_file=" + directFile : u"--dir_burn_str=" + directText);
    args.push_back(u"--nvm_burn_file=" + nvmBurnFile);
    if (strict) args.push_back(u"--mode_strict");
    return args;
}

std::u16string BuildComposeCommandLine(const std::u16string& composerPath,
                                       const std::vector<NVMData>& bootFiles,
                                       const std::vector<NVMData>& appFiles,
                                       const std::u16string& burnFile, const ComposeSwitches& s) {
    std::u16string line = composerPath + u" ";
    AppendFiles(line, bootFiles, u" --boot_hex=", u" --boot_mem=");
    AppendFiles(line, appFiles, u" --app_hex=", u" --app_mem=");
    line += u" --nvm_burn_file=";
    line += burnFile;
    if (s.run) {
        line += u" --state=run ";
    } else if (s.user) {
        line += u" --state=user ";
    }
    if (s.xoEarlyEnable) line += u" --bf_xo_early_enable ";
    if (s.exeUserBoot) line += u" --bf_exe_user_boot ";
    if (s.nvmDisable) line += u" --bf_nvm_dis ";
    if (s.mtpDisable) line += u" --bf_mtp_dis ";
    if (s.ramClear) line += u" --bf_ram_clr ";
    if (s.c2Disable) line += u" --bf_c2_dis ";
    if (s.strict) line += u" --mode_strict ";
    return line;
}

std::u16string BuildDirectCommandLine(const std::u16string& composerPath, bool fromFile,
                                      const std::u16string& directFile,
                                      const std::u16string& directText,
                                      const std::u16string& nvmBurnFile, bool strict) {
    std::u16string line = composerPath + u" ";
    if (fromFile) {
        line += u" --dir_burn_file=";
        line += directFile;
    } else {
        line += u" --dir_burn_str=\"";
        line += directText;
        line += u"\"";
    }
    line += u" --nvm_burn_file=";
    line += nvmBurnFile;
    if (strict) line += u" --mode_strict ";
    return line;
}

std::vector<std::u16string> SplitCommandLine(std::u16string_view line) {
    std::vector<std::u16string> args;
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n && IsBlank(line[i])) ++i;
    if (i >= n) return args;

    // The program name: quotes delimit, backslashes are plain characters.
    std::u16string program;
    bool quoted = false;
    for (; i < n; ++i) {
        char16_t c = line[i];
        if (c == u'"') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && IsBlank(c)) break;
        program.push_back(c);
    }
    args.push_back(std::move(program));

    while (true) {
        while (i < n && IsBlank(line[i])) ++i;
        if (i >= n) break;
        std::u16string arg;
        bool inQuotes = false;
        while (i < n) {
            char16_t c = line[i];
            if (c == u'\\') {
                std::size_t slashes = 0;
                while (i < n && line[i] == u'\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && line[i] == u'"') {
                    arg.append(slashes / 2, u'\\');
                    if (slashes % 2 == 1) {
                        arg.push_back(u'"');
                        ++i;
                    }
                    // An even count leaves the quote to the quote rule below.
                } else {
                    arg.append(slashes, u'\\');
                }
                continue;
            }
            if (c == u'"') {
                if (inQuotes && i + 1 < n && line[i + 1] == u'"') {
                    arg.push_back(u'"');
                    i += 2;
                    continue;
                }
                inQuotes = !inQuotes;
                ++i;
                continue;
            }
            if (!inQuotes && IsBlank(c)) break;
            arg.push_back(c);
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

}  // namespace cindral
