// cindral-cli: Cindral's compose, burn and inspection from a terminal, for
// scripts and production lines.
#include <zt/version.h>

#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <vector>

#include "commands.h"
#include "commands/lot.h"
#include "console.h"
#include "core/simulation.h"
#include "zt/platform/console.h"
#include "zt/platform/process.h"

using namespace cindral::cli;

namespace {

// One subcommand: what CLI11 parsed into, and how it runs once parsing is done.
// A command adds itself with a function of its own below and is listed in main.
struct Command {
    CLI::App* cmd = nullptr;
    // Checks what CLI11 cannot say (one of two options required...); a message
    // on stderr and false refuse the command line.
    std::function<bool()> check = [] { return true; };
    std::function<int(const Globals&)> run;
};

void AddAdapterOptions(CLI::App* cmd, BurnArgs& b) {
    cmd->add_option("-a,--adapter", b.adapters, "adapter serial number; repeat for a gang burn");
    cmd->add_flag("--all", b.all, "every attached adapter, one worker process each")
        ->excludes("-a");
    cmd->add_option("--com", b.com, "serial adapter on COM port N instead of -a")
        ->check(CLI::Range(1, 512))
        ->excludes("-a")
        ->excludes("--all");
    cmd->add_flag("--dry-run", b.dryRun, "check the burn file and the connection, burn nothing");
}

// The argument structs live as long as the commands that fill them.
template <typename T>
std::shared_ptr<T> Keep() {
    return std::make_shared<T>();
}

Command AddList(CLI::App& app) {
    Command c;
    c.cmd = app.add_subcommand("list", "list the adapters (serial, product id, virtual or real)");
    c.run = [](const Globals& g) { return RunList(g); };
    return c;
}

// One chip: a USB adapter by serial, or a serial adapter on a COM port.
struct OneAdapter {
    std::string adapter;
    int com = -1;
};

void AddAdapterChoice(CLI::App* cmd, OneAdapter& a) {
    cmd->add_option("-a,--adapter", a.adapter, "adapter serial number");
    cmd->add_option("--com", a.com, "serial adapter on COM port N")
        ->check(CLI::Range(1, 512))
        ->excludes("-a");
}

Command AddInfo(CLI::App& app) {
    auto a = Keep<OneAdapter>();
    Command c;
    c.cmd = app.add_subcommand("info", "connect and print the Device and CRC pages");
    AddAdapterChoice(c.cmd, *a);
    c.run = [a](const Globals& g) { return RunInfo(g, a->adapter, a->com); };
    return c;
}

Command AddCompose(CLI::App& app) {
    auto a = Keep<ComposeArgs>();
    Command c;
    CLI::App* cmd = c.cmd = app.add_subcommand("compose", "run the composer as the Main page does");
    cmd->add_option("-o,--out", a->out, "NVM burn file to write (.nbf)");
    cmd->add_option("--settings", a->settings, "take the Main page's part of a settings file");
    cmd->add_option("--boot", a->boot, "User Boot file FILE[@ADDR], in order");
    cmd->add_option("--app", a->app, "User App file FILE@ADDR, in order");
    cmd->add_option("-a,--adapter", a->adapter,
                    "read the first boot address from this adapter's chip");
    cmd->add_flag("--user", a->user, "boot state User");
    cmd->add_flag("--run", a->run, "boot state Run");
    cmd->add_flag("--xo-early", a->xoEarly, "XO Early Enable");
    cmd->add_flag("--exe-user-boot", a->exeUserBoot, "Exe User Boot");
    cmd->add_flag("--nvm-disable", a->nvmDisable, "NVM Disable");
    cmd->add_flag("--mtp-disable", a->mtpDisable, "MTP Disable");
    cmd->add_flag("--ram-clear", a->ramClear, "RAM Clear");
    cmd->add_flag("--c2-disable", a->c2Disable, "C2 Disable");
    cmd->add_flag("--logic-or", a->logicOr, "Logic OR compose mode (default Strict)");
    cmd->add_flag("--overwrite", a->overwrite, "replace an existing burn file");
    for (const char* opt :
         {"--boot", "--app", "--user", "--run", "--xo-early", "--exe-user-boot", "--nvm-disable",
          "--mtp-disable", "--ram-clear", "--c2-disable", "--logic-or", "-a"})
        cmd->get_option(opt)->excludes("--settings");
    c.check = [a] {
        if (!a->out.empty() || !a->settings.empty()) return true;
        std::fprintf(stderr, "compose: -o OUT.nbf is required\n");
        return false;
    };
    c.run = [a](const Globals& g) { return RunCompose(g, *a); };
    return c;
}

Command AddBurn(CLI::App& app) {
    auto a = Keep<BurnArgs>();
    Command c;
    c.cmd = app.add_subcommand("burn", "burn an NVM burn file on one or more chips");
    c.cmd->add_option("file", a->file, "NVM burn file (.nbf)")->required();
    AddAdapterOptions(c.cmd, *a);
    c.run = [a](const Globals& g) { return RunBurn(g, *a); };
    return c;
}

Command AddDirectBurn(CLI::App& app) {
    auto a = Keep<DirectArgs>();
    Command c;
    CLI::App* cmd = c.cmd = app.add_subcommand("direct-burn", "compose direct input and burn it");
    CLI::Option* text =
        cmd->add_option("--text", a->text, "direct burn text, e.g. \"@1000 AA 55\"");
    CLI::Option* file = cmd->add_option("--file", a->file, "direct burn file");
    text->excludes(file);
    cmd->add_option("-o,--out", a->out, "NVM burn file to write (.nbf)")->required();
    cmd->add_flag("--logic-or", a->logicOr, "Logic OR compose mode (default Strict)");
    cmd->add_flag("--overwrite", a->overwrite, "replace an existing burn file");
    AddAdapterOptions(cmd, a->burn);
    c.check = [a, text, file] {
        a->textGiven = text->count() > 0;
        if (a->textGiven || file->count() > 0) return true;
        std::fprintf(stderr, "direct-burn: --text or --file is required\n");
        return false;
    };
    c.run = [a](const Globals& g) { return RunDirectBurn(g, *a); };
    return c;
}

Command AddMtp(CLI::App& app) {
    auto a = Keep<MtpArgs>();
    Command c;
    c.cmd = app.add_subcommand("mtp", "read or write the 16-byte MTP");
    c.cmd->require_subcommand(1);
    CLI::App* read = c.cmd->add_subcommand("read", "print the MTP content");
    read->add_option("--save", a->save, "also save it as an Intel-HEX file");
    read->add_option("-a,--adapter", a->adapter, "adapter serial number");
    CLI::App* write = c.cmd->add_subcommand("write", "write the MTP");
    CLI::Option* bytes =
        write->add_option("bytes", a->bytes, "the 16 bytes as hex, \"00 11 .. FF\"");
    CLI::Option* hex = write->add_option("--hex", a->hex, "overlay the chip's content with FILE");
    bytes->excludes(hex);
    write->add_option("-a,--adapter", a->adapter, "adapter serial number");
    c.check = [a, write, bytes, hex] {
        a->write = write->parsed();
        if (!a->write || bytes->count() > 0 || hex->count() > 0) return true;
        std::fprintf(stderr, "mtp write: BYTES or --hex FILE is required\n");
        return false;
    };
    c.run = [a](const Globals& g) { return RunMtp(g, *a); };
    return c;
}

Command AddErase(CLI::App& app) {
    auto a = Keep<OneAdapter>();
    Command c;
    c.cmd = app.add_subcommand("erase", "erase the target's code memory");
    AddAdapterChoice(c.cmd, *a);
    c.run = [a](const Globals& g) { return RunErase(g, a->adapter, a->com); };
    return c;
}

// One adapter of a gang burn, started by the gang itself; not for users.
Command AddWorker(CLI::App& app) {
    auto a = Keep<BurnArgs>();
    Command c;
    c.cmd = app.add_subcommand("_worker", "one adapter of a gang burn")->group("");
    c.cmd->add_option("file", a->file)->required();
    c.cmd->add_option("-a", a->adapters)->required();
    c.cmd->add_flag("--direct", a->direct);
    c.cmd->add_flag("--dry-run", a->dryRun);
    c.cmd->add_option("--sha256", a->sha256);
    c.run = [a](const Globals& g) { return RunWorker(g, *a); };
    return c;
}

constexpr const char* kFooter =
    R"(Global options may also follow the command: cindral-cli info -a VZ0001 --json.
Run 'cindral-cli COMMAND --help' for a command's own options.

Exit status:
  0    success
  1    bad command line (an unknown option, a path with a space)
  2    no or unknown adapter, several without -a, or the connection failed
  3    the composer refused or failed (an existing burn file needs --overwrite)
  4    the burn or write failed on the chip
  5    the burner did not finish within its deadline
  6    an input file is unreadable or invalid, or the log cannot be written
  7    the lots database cannot be reached or used
  130  interrupted by Ctrl-C (143 by SIGTERM); the target was halted

Examples:
  cindral-cli compose --boot boot.hex@0x0200 --run -o job.nbf
  cindral-cli burn job.nbf --all --log production.log
  cindral-cli lot create w50 --burn-file job.nbf --serial-nvm 0x1F00:4 --first 1000
  cindral-cli lot burn w50 --all --db postgresql://station@line-db/lots
  cindral-cli records --lot w50 --csv)";

}  // namespace

int main(int argc, char** argv) {
    // Progress lines are redrawn in place with cursor sequences.
    zt::platform::EnableTerminalSequences();

    Globals g;
    CLI::App app{"cindral-cli: compose and burn Zeltra NVM, read chips, from a terminal",
                 "cindral-cli"};
    app.require_subcommand(1);
    // Subcommands made below inherit this: an option of the program's own is
    // taken after the command too.
    app.fallthrough();
    app.set_version_flag("--version", "cindral-cli " ZT_VERSION);
    app.add_flag("--json", g.json, "one JSON object per line on stdout");
    app.add_option("--log", g.log, "append one JSON line per chip and operation to FILE");
    app.add_flag("--yes", g.yes,
                 "answer the library's questions (firmware update) with yes, and burn a burn file "
                 "whose map reports conflicts or errors");
    app.add_flag("-q,--quiet", g.quiet, "nothing on stderr but the reason of a failure");
    app.add_flag("--simulate", g.simulate,
                 "use cindral --simulate's virtual adapters unless WICKPORT_VIRTUAL is set");
    app.add_option("--poll-ms", g.pollMs, "burner polling interval in milliseconds")
        ->default_val(10)
        ->check(CLI::Range(1, 1000))
        ->group("");
    app.add_flag("--progress-report", g.progressReport, "report progress to the gang's board")
        ->group("");

    const std::vector<Command> commands{AddList(app),  AddInfo(app),       AddCompose(app),
                                        AddBurn(app),  AddDirectBurn(app), AddMtp(app),
                                        AddErase(app), AddWorker(app)};
    LotCommands lots;
    AddLotCommands(app, lots);
    // Set after the commands so that their own --help stays short.
    app.footer(kFooter);

    try {
        // UTF-8 everywhere, Windows' ANSI argv included.
        std::vector<std::string> args = zt::platform::ProgramArguments(argc, argv);
        std::vector<char*> pointers;
        for (std::string& a : args) pointers.push_back(a.data());
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::ParseError& e) {
        const int rc = app.exit(e);
        return rc == 0 ? kExitOk : kExitUsage;
    }
    for (const Command& c : commands) {
        if (!c.cmd->parsed()) continue;
        if (!c.check()) return kExitUsage;
        if (g.simulate) cindral::EnableSimulation();
        InstallInterruptHandlers();
        return c.run(g);
    }
    if (g.simulate) cindral::EnableSimulation();
    InstallInterruptHandlers();
    if (const int rc = RunLotCommands(g, lots); rc >= 0) return rc;
    return kExitUsage;
}
