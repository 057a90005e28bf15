// cindral-cli: Cindral's compose, burn and inspection from a terminal, for
// scripts and production lines.
#include <CLI/CLI.hpp>
#include <QCoreApplication>

#include "commands.h"
#include "console.h"
#include "core/simulation.h"

using namespace cindral::cli;

namespace {

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

}  // namespace

int main(int argc, char** argv) {
    // QProcess runs the composer; it wants an application object.
    int qtArgc = 1;
    QCoreApplication qt(qtArgc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cindral"));

    Globals g;
    CLI::App app{"cindral-cli: compose and burn Zeltra NVM, read chips, from a terminal"};
    app.require_subcommand(1);
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

    app.add_subcommand("list", "list the adapters (serial, product id, virtual or real)");

    std::string infoAdapter;
    int infoCom = -1;
    CLI::App* info = app.add_subcommand("info", "connect and print the Device and CRC pages");
    info->add_option("-a,--adapter", infoAdapter, "adapter serial number");
    info->add_option("--com", infoCom, "serial adapter on COM port N")
        ->check(CLI::Range(1, 512))
        ->excludes("-a");

    ComposeArgs c;
    CLI::App* compose = app.add_subcommand("compose", "run the composer as the Main page does");
    compose->add_option("-o,--out", c.out, "NVM burn file to write (.nbf)");
    compose->add_option("--settings", c.settings, "take the Main page's part of a settings file");
    compose->add_option("--boot", c.boot, "User Boot file FILE[@ADDR], in order");
    compose->add_option("--app", c.app, "User App file FILE@ADDR, in order");
    compose->add_option("-a,--adapter", c.adapter,
                        "read the first boot address from this adapter's chip");
    compose->add_flag("--user", c.user, "boot state User");
    compose->add_flag("--run", c.run, "boot state Run");
    compose->add_flag("--xo-early", c.xoEarly, "XO Early Enable");
    compose->add_flag("--exe-user-boot", c.exeUserBoot, "Exe User Boot");
    compose->add_flag("--nvm-disable", c.nvmDisable, "NVM Disable");
    compose->add_flag("--mtp-disable", c.mtpDisable, "MTP Disable");
    compose->add_flag("--ram-clear", c.ramClear, "RAM Clear");
    compose->add_flag("--c2-disable", c.c2Disable, "C2 Disable");
    compose->add_flag("--logic-or", c.logicOr, "Logic OR compose mode (default Strict)");
    compose->add_flag("--overwrite", c.overwrite, "replace an existing burn file");
    for (const char* opt :
         {"--boot", "--app", "--user", "--run", "--xo-early", "--exe-user-boot", "--nvm-disable",
          "--mtp-disable", "--ram-clear", "--c2-disable", "--logic-or", "-a"})
        compose->get_option(opt)->excludes("--settings");

    BurnArgs b;
    CLI::App* burn = app.add_subcommand("burn", "burn an NVM burn file on one or more chips");
    burn->add_option("file", b.file, "NVM burn file (.nbf)")->required();
    AddAdapterOptions(burn, b);

    DirectArgs d;
    CLI::App* direct = app.add_subcommand("direct-burn", "compose direct input and burn it");
    auto* text = direct->add_option("--text", d.text, "direct burn text, e.g. \"@1000 AA 55\"");
    auto* file = direct->add_option("--file", d.file, "direct burn file");
    text->excludes(file);
    direct->add_option("-o,--out", d.out, "NVM burn file to write (.nbf)")->required();
    direct->add_flag("--logic-or", d.logicOr, "Logic OR compose mode (default Strict)");
    direct->add_flag("--overwrite", d.overwrite, "replace an existing burn file");
    AddAdapterOptions(direct, d.burn);

    MtpArgs m;
    CLI::App* mtp = app.add_subcommand("mtp", "read or write the 16-byte MTP");
    mtp->require_subcommand(1);
    CLI::App* mtpRead = mtp->add_subcommand("read", "print the MTP content");
    mtpRead->add_option("--save", m.save, "also save it as an Intel-HEX file");
    mtpRead->add_option("-a,--adapter", m.adapter, "adapter serial number");
    CLI::App* mtpWrite = mtp->add_subcommand("write", "write the MTP");
    auto* bytes = mtpWrite->add_option("bytes", m.bytes, "the 16 bytes as hex, \"00 11 .. FF\"");
    auto* hex = mtpWrite->add_option("--hex", m.hex, "overlay the chip's content with FILE");
    bytes->excludes(hex);
    mtpWrite->add_option("-a,--adapter", m.adapter, "adapter serial number");

    std::string eraseAdapter;
    int eraseCom = -1;
    CLI::App* erase = app.add_subcommand("erase", "erase the target's code memory");
    erase->add_option("-a,--adapter", eraseAdapter, "adapter serial number");
    erase->add_option("--com", eraseCom, "serial adapter on COM port N")
        ->check(CLI::Range(1, 512))
        ->excludes("-a");

    BurnArgs w;
    CLI::App* worker = app.add_subcommand("_worker", "one adapter of a gang burn")->group("");
    worker->add_option("file", w.file)->required();
    worker->add_option("-a", w.adapters)->required();
    worker->add_flag("--direct", w.direct);
    worker->add_flag("--dry-run", w.dryRun);
    worker->add_option("--sha256", w.sha256);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int rc = app.exit(e);
        return rc == 0 ? kExitOk : kExitUsage;
    }
    if (direct->parsed()) {
        d.textGiven = text->count() > 0;
        if (!d.textGiven && file->count() == 0) {
            std::fprintf(stderr, "direct-burn: --text or --file is required\n");
            return kExitUsage;
        }
    }
    if (mtpWrite->parsed() && bytes->count() == 0 && hex->count() == 0) {
        std::fprintf(stderr, "mtp write: BYTES or --hex FILE is required\n");
        return kExitUsage;
    }
    if (compose->parsed() && c.out.empty() && c.settings.empty()) {
        std::fprintf(stderr, "compose: -o OUT.nbf is required\n");
        return kExitUsage;
    }
    if (g.simulate) cindral::EnableSimulation();
    InstallInterruptHandlers();

    if (app.got_subcommand("list")) return RunList(g);
    if (info->parsed()) return RunInfo(g, infoAdapter, infoCom);
    if (compose->parsed()) return RunCompose(g, c);
    if (burn->parsed()) return RunBurn(g, b);
    if (direct->parsed()) return RunDirectBurn(g, d);
    if (mtp->parsed()) {
        m.write = mtpWrite->parsed();
        return RunMtp(g, m);
    }
    if (erase->parsed()) return RunErase(g, eraseAdapter, eraseCom);
    if (worker->parsed()) return RunWorker(g, w);
    return kExitUsage;
}
