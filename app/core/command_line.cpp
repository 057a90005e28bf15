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
