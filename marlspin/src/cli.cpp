#include "cli.h"

#include <zt/version.h>

#include <CLI/CLI.hpp>
#include <optional>
#include <string_view>

#include "burn_file.h"
#include "failure.h"

namespace marlspin {
namespace {

constexpr const char* kFooter = R"(Inputs:
  Each file option is followed by a separate token with the file's NVM address:
  the file's byte address 0x0000 lands there. The first boot file's address is
  the chip's user begin. Addresses are 0x hex or plain decimal.
  .mem files and direct burn text: white-space separated tokens; @HEX sets the
  address (added to the file address in .mem files, an NVM address in direct
  burn input); every other token is one byte of 1 or 2 hex digits; // starts a
  comment to the end of the line (not in --dir_burn_str: it arrives as one line,
  so a comment there would swallow the rest and is refused).

Compose checks every file against the user region (user begin..0x1FEF) and
always adds the boot record at 0x1FF0 (state, flags, boot image length, CRC32
of the user region). Conflicts and files outside the region are reported in
the burn file's [Compose Map] and do not stop the compose.

)";

constexpr const char* kExamples = R"(Examples:
  marlspin --boot_hex=boot.hex 0x0200 --app_mem=app.mem 0x1000 --nvm_burn_file=out.nbf --state=run --bf_ram_clr --mode_strict
  marlspin --dir_burn_str="@1F00 01 02 03" --nvm_burn_file=direct.nbf
)";

// The exit-code list comes from the one table the callers decode with, in two columns.
std::string Footer() {
    std::string text = kFooter;
    text += "Exit codes:\n";
    constexpr int kRows = (zt::composer::kExitUnhandled + 2) / 2;
    for (int row = 0; row < kRows; ++row) {
        for (int code : {row, row + kRows}) {
            if (code > zt::composer::kExitUnhandled) continue;
            std::string cell = std::to_string(code);
            cell.insert(0, (code == row ? 3 : 2) - cell.size(), ' ');
            cell += ' ';
            cell += code == zt::composer::kExitOk ? "success" : zt::composer::ExitCodeText(code);
            if (code == row && row + kRows <= zt::composer::kExitUnhandled && cell.size() < 33)
                cell.resize(33, ' ');
            text += cell;
        }
        text += '\n';
    }
    return text + '\n' + kExamples;
}

struct FileOption {
    const char* name;
    InputFile::Kind kind;
    bool boot;
};

constexpr FileOption kFileOptions[] = {
    {"--boot_hex", InputFile::Kind::kBootHex, true},
    {"--boot_mem", InputFile::Kind::kBootMem, true},
    {"--app_hex", InputFile::Kind::kAppHex, false},
    {"--app_mem", InputFile::Kind::kAppMem, false},
};

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// Option value: the text after "NAME=" in this token, or the next token for a bare NAME.
std::optional<std::string> ValueOf(const std::string& name, const std::vector<std::string>& args,
                                   std::size_t& i) {
    const std::string& a = args[i];
    if (StartsWith(a, name + "=")) return a.substr(name.size() + 1);
    if (a != name) return std::nullopt;
    if (i + 1 >= args.size()) throw Failure(kExitCommandLine, name + " needs a value");
    return args[++i];
}

}  // namespace

Parsed ParseCommandLine(const std::vector<std::string>& args, std::ostream& out,
                        std::ostream& err) {
    // CLI11 has no option that takes "=PATH" and then a separate address token,
    // and a caller that splits at spaces breaks a quoted direct text apart; both
    // are taken care of here before CLI11 sees the rest.
    ComposeRequest compose;
    std::vector<std::string> rest{args.empty() ? std::string("marlspin") : args[0]};
    try {
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (args[i].empty()) continue;  // double spaces of a naively split line
            if (args[i] == "--nvm_burn_file=")
                throw Failure(kExitBurnFile, "no NVM burn file name given");
            bool taken = false;
            for (const FileOption& opt : kFileOptions) {
                std::optional<std::string> path = ValueOf(opt.name, args, i);
                if (!path) continue;
                if (path->empty())
                    throw Failure(kExitCommandLine, std::string(opt.name) + " needs a path");
                std::size_t j = i + 1;
                while (j < args.size() && args[j].empty()) ++j;
                if (j >= args.size() || StartsWith(args[j], "--"))
                    throw Failure(kExitCommandLine, std::string(opt.name) + "=" + *path +
                                                        " needs an NVM address after it");
                i = j;
                InputFile f{opt.kind, *path, args[j]};
                (opt.boot ? compose.boot : compose.app).push_back(std::move(f));
                taken = true;
                break;
            }
            if (taken) continue;
            std::optional<std::string> text = ValueOf("--dir_burn_str", args, i);
            if (!text) {
                rest.push_back(args[i]);
                continue;
            }
            if (!text->empty() && (*text)[0] == '"') {
                text->erase(0, 1);
                // Rejoin the pieces with the single spaces they were split at.
                while (text->empty() || text->back() != '"') {
                    if (++i >= args.size())
                        throw Failure(kExitCommandLine, "--dir_burn_str: missing closing '\"'");
                    *text += " " + args[i];
                }
                text->pop_back();
            }
            rest.push_back("--dir_burn_str=" + *text);
        }
    } catch (const Failure& f) {
        err << "marlspin: error: " << f.what() << "\n";
        return {f.code()};
    }

    CLI::App app{
        "Marlspin: composes Zeltra NVM images into an NVM burn file (.nbf) whose burner "
        "images Cindral downloads and runs.",
        "marlspin"};
    app.footer(Footer());
    app.set_version_flag("--version", "marlspin " ZT_VERSION);
    std::vector<std::string> unused;  // the file options are consumed above
    for (const FileOption& opt : kFileOptions) {
        const bool boot = opt.boot;
        const bool hex =
            opt.kind == InputFile::Kind::kBootHex || opt.kind == InputFile::Kind::kAppHex;
        app.add_option(std::string(opt.name), unused,
                       std::string(boot ? "User Boot " : "User App ") +
                           (hex ? "Intel-HEX" : ".mem") + " file and its NVM address" +
                           (boot ? " (repeatable, in list order)" : " (repeatable)"))
            ->type_name("=PATH ADDR");
    }
    std::string burn_file;
    bool have_burn_file = false;
    app.add_option_function<std::string>(
           "--nvm_burn_file",
           [&](const std::string& v) {
               burn_file = v;
               have_burn_file = true;
           },
           "NVM burn file to write")
        ->type_name("PATH");
    std::string state;
    app.add_option("--state", state, "boot state to burn: run (0x07) or user (0x03)")
        ->check(CLI::IsMember({"run", "user"}, CLI::ignore_case));
    bool xo = false, exe = false, nvm = false, mtp = false, ram = false, c2 = false, strict = false;
    app.add_flag("--bf_xo_early_enable", xo, "boot flag XO Early Enable (bit 0)");
    app.add_flag("--bf_exe_user_boot", exe, "boot flag Exe User Boot (bit 1)");
    app.add_flag("--bf_nvm_dis", nvm, "boot flag NVM Disable (bit 2)");
    app.add_flag("--bf_mtp_dis", mtp, "boot flag MTP Disable (bit 3)");
    app.add_flag("--bf_ram_clr", ram, "boot flag RAM Clear (bit 4)");
    app.add_flag("--bf_c2_dis", c2, "boot flag C2 Disable (bit 6)");
    app.add_flag("--mode_strict", strict,
                 "strict mode: bytes given twice are conflicts (default: logic OR)");
    std::string dir_file;
    auto* dir_file_opt =
        app.add_option("--dir_burn_file", dir_file, "direct burn file")->type_name("PATH");
    std::string dir_text;
    auto* dir_text_opt = app.add_option("--dir_burn_str", dir_text, "direct burn text, quoted")
                             ->type_name("\"TEXT\"");

    std::vector<const char*> argv;
    for (const std::string& s : rest) argv.push_back(s.c_str());
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return {kExitOk};
    } catch (const CLI::CallForVersion&) {
        out << app.version() << "\n";
        return {kExitOk};
    } catch (const CLI::ParseError& e) {
        err << "marlspin: error: " << e.what() << "\n";
        err << "Run with --help for more information.\n";
        return {kExitCommandLine};
    }

    auto fail = [&](const std::string& message) -> Parsed {
        err << "marlspin: error: " << message << "\n";
        return {kExitCommandLine};
    };
    const bool direct = dir_file_opt->count() > 0 || dir_text_opt->count() > 0;
    const bool composing = !compose.boot.empty() || !compose.app.empty();
    if (!direct && !composing) {
        if (args.size() <= 1) err << app.help();
        return fail("no input: give boot and app files, --dir_burn_file or --dir_burn_str");
    }
    if (!have_burn_file) return fail("--nvm_burn_file is required");
    if (direct) {
        if (composing) return fail("direct burn input cannot be mixed with boot or app files");
        if (dir_file_opt->count() > 0 && dir_text_opt->count() > 0)
            return fail("give either --dir_burn_file or --dir_burn_str, not both");
        if (!state.empty() || xo || exe || nvm || mtp || ram || c2)
            return fail("--state and the --bf_ options apply to compose, not to a direct burn");
        DirectRequest d;
        if (dir_file_opt->count() > 0) {
            if (dir_file.empty()) return fail("--dir_burn_file needs a path");
            d.file = dir_file;
        }
        d.text = dir_text;
        d.burn_file = burn_file;
        d.strict = strict;
        return {std::move(d)};
    }
    compose.burn_file = burn_file;
    compose.strict = strict;
    for (char& ch : state) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    compose.state = state == "run" ? kStateRun : state == "user" ? kStateUser : 0;
    compose.flags = static_cast<uint8_t>(
        (xo ? kFlagXoEarlyEnable : 0) | (exe ? kFlagExeUserBoot : 0) | (nvm ? kFlagNvmDisable : 0) |
        (mtp ? kFlagMtpDisable : 0) | (ram ? kFlagRamClear : 0) | (c2 ? kFlagC2Disable : 0));
    return {std::move(compose)};
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Parsed parsed = ParseCommandLine(args, out, err);
    if (const int* code = std::get_if<int>(&parsed.request)) return *code;
    try {
        Composition c;
        std::string burn_file;
        if (auto* req = std::get_if<ComposeRequest>(&parsed.request)) {
            out << (req->strict ? "Composing in strict mode\n" : "Composing in logic OR mode\n");
            c = Compose(*req, out, err);
            burn_file = req->burn_file;
        } else {
            auto& d = std::get<DirectRequest>(parsed.request);
            out << (d.strict ? "Direct burn compose in strict mode\n"
                             : "Direct burn compose in logic OR mode\n");
            c = ComposeDirect(d, out);
            burn_file = d.burn_file;
        }
        const std::string text = FormatBurnFile(c);
        WriteFileAtomically(burn_file, text);
        std::size_t conflicts = 0, errors = 0;
        for (const MapRow& row : c.rows) {
            if (row.status.find("Conflict") != std::string::npos) ++conflicts;
            if (row.status.find("Error") != std::string::npos) ++errors;
        }
        out << Format("Wrote %s: %zu map rows, %zu burner images", burn_file.c_str(), c.rows.size(),
                      c.images.size());
        if (conflicts || errors)
            out << Format(" (%zu in conflict, %zu in error)", conflicts, errors);
        out << "\n";
        return kExitOk;
    } catch (const Failure& f) {
        err << "marlspin: error: " << f.what() << "\n";
        return f.code();
    }
}

}  // namespace marlspin
