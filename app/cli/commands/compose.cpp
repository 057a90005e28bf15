#include "compose.h"

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/compose_map.h"
#include "core/device_info.h"
#include "core/file_helpers.h"
#include "core/main_settings.h"
#include "core/text.h"

namespace cindral::cli {

namespace {

// "FILE[@ADDR]" into an entry; the address is empty when none is given.
bool ParseFileArg(const std::string& arg, NVMData& entry, std::string& why) {
    std::string path = arg, address;
    const std::size_t at = arg.rfind('@');
    if (at != std::string::npos && arg.find('/', at) == std::string::npos) {
        path = arg.substr(0, at);
        address = arg.substr(at + 1);
        if (address.empty()) {
            why = "no address after '@' in " + arg;
            return false;
        }
    }
    const std::string full = Absolute(path);
    std::string ignored;
    if (!ReadInput(full, ignored)) {
        why = ignored;
        return false;
    }
    entry.fullPath = FromUtf8(full);
    entry.fileName = FromPath(ToPath(FromUtf8(full)).filename());
    entry.nvmAddress = WidenText(address);
    entry.hexFlag = HexFlagOf(entry.fileName);
    return true;
}

}  // namespace

// Runs the engine's compose and reports the output and the map.
int ReportCompose(const Globals& g, Session& s, NvmEngine& engine, bool direct,
                  const std::string& burnFile) {
    const char* command = direct ? "direct-compose" : "compose";
    // The engine would ask the Main page's "Press OK to overwrite" question,
    // which a terminal cannot click; the option that answers it is named instead.
    const NvmOptions& o = engine.Options();
    const std::u16string& target = direct ? o.directNvmBurnFile : o.burnFile;
    if (!g.yes && (direct ? o.directOverwrite : o.overwrite) == 0 && IsRegularFile(target) &&
        FileHasData(target))
        return Fail(g, command, kExitCompose,
                    "NVM burn file " + burnFile + " exists: add --overwrite to replace it.");
    s.host.connected = 1;  // composing needs no chip
    const int r = direct ? engine.DirectCompose() : engine.Compose();
    Json rec{{"command", command}, {"burn_file", burnFile}};
    rec["command_line"] = ToUtf8(direct ? engine.DirectCommandLine() : engine.ComposeCommandLine());
    const NvmEngine::RunResult& run = engine.LastRun();
    if (run.ran) rec["composer_exit"] = run.exitCode;
    rec["output"] = s.host.ComposerOutput();
    Print(g, s.host.ComposerOutput());
    if (r == 0) {
        rec["ok"] = false;
        rec["exit"] = kExitCompose;
        rec["message"] = s.LastText();
        Emit(g, rec);
        std::fprintf(stderr, "cindral-cli: compose failed%s: %s\n",
                     run.ran ? Format(" (composer exit code %d)", run.exitCode).c_str() : "",
                     s.LastText().c_str());
        return kExitCompose;
    }
    std::string why;
    std::optional<std::string> data = ReadInput(burnFile, why);
    Json map = Json::array();
    bool conflict = false, error = false;
    if (data) {
        for (const ComposeMapRow& row : ParseComposeMap(FromUtf8(*data))) {
            conflict = conflict || row.conflict;
            error = error || row.error;
            const std::string file = Tidy(row.map.fileName), range = Tidy(row.map.nvmRange),
                              length = Tidy(row.map.length), status = Tidy(row.map.status);
            map.push_back(Json{{"file", file},
                               {"range", range},
                               {"length", length},
                               {"status", status},
                               {"conflict", row.conflict},
                               {"error", row.error}});
            Print(g, Format("%s %-24s %-18s %-14s %s\n", row.conflict || row.error ? "!" : " ",
                            file.c_str(), range.c_str(), length.c_str(), status.c_str()));
        }
    }
    rec["map"] = map;
    rec["conflict"] = conflict;
    rec["error"] = error;
    rec["ok"] = true;
    rec["exit"] = kExitOk;
    Emit(g, rec);
    if (conflict || error)
        s.style.Line(conflict && error ? "Address Conflicts and Errors detected!"
                     : conflict        ? "Address Conflict detected!"
                                       : "Address Error detected!");
    return kExitOk;
}

int RunCompose(const Globals& g, const ComposeArgs& a) {
    Session s(g, "");
    NvmEngine engine(s.ordwin, s.ports(), s.host, ProgramDirectory());
    std::vector<NVMData> boot, app;
    std::u16string burnFile;
    std::string why;
    ComposeSwitches sw;
    bool overwrite = a.overwrite;
    if (!a.settings.empty()) {
        std::optional<SettingsReader> in = SettingsReader::Open(FromUtf8(Absolute(a.settings)));
        MainSettings settings;
        if (!in || !ReadMainSettings(*in, settings))
            return Fail(g, "compose", kExitInput, "cannot read the settings file " + a.settings);
        boot = settings.bootFiles;
        app = settings.appFiles;
        burnFile = settings.burnFile;
        sw = settings.switches;
        overwrite = overwrite || settings.overwrite;
    } else {
        for (const auto& [args, list] : {std::pair{&a.boot, &boot}, std::pair{&a.app, &app}}) {
            for (const std::string& arg : *args) {
                NVMData e;
                if (!ParseFileArg(arg, e, why)) return Fail(g, "compose", kExitInput, why);
                list->push_back(std::move(e));
            }
        }
        sw.strict = !a.logicOr;
        sw.user = a.user;
        sw.run = a.run;
        sw.xoEarlyEnable = a.xoEarly;
        sw.exeUserBoot = a.exeUserBoot;
        sw.nvmDisable = a.nvmDisable;
        sw.mtpDisable = a.mtpDisable;
        sw.ramClear = a.ramClear;
        sw.c2Disable = a.c2Disable;
        // As on the Main page: the first boot file starts where the chip's user
        // region does, "0" before a chip was read; every other file at "0".
        std::u16string first(1, u'0');
        if (!a.adapter.empty()) {
            FocusVirtualAdapters({a.adapter});
            std::optional<std::string> serial = PickAdapter(s, a.adapter, why);
            if (!serial) return Fail(g, "compose", kExitAdapter, why);
            if (!s.connection.Connect(*serial))
                return Fail(g, "compose", kExitAdapter, "cannot connect to " + *serial);
            const DeviceReading device = ReadDeviceInformation(s.ordwin);
            s.ordwin.DisconnectUSB();
            if (!device.nvmUserStartText.empty()) first = WidenText(device.nvmUserStartText);
        }
        const std::u16string zero(1, u'0');
        for (std::size_t i = 0; i < boot.size(); ++i)
            if (boot[i].nvmAddress.empty()) boot[i].nvmAddress.assign(i == 0 ? first : zero);
        for (NVMData& e : app)
            if (e.nvmAddress.empty()) e.nvmAddress.assign(zero);
    }
    if (!a.out.empty()) burnFile = FromUtf8(Absolute(a.out));
    if (burnFile.empty())
        return Fail(g, "compose", kExitUsage, "An NVM Burn File is required (-o OUT.nbf).");
    if (burnFile.find(u".nbf") == std::u16string::npos) burnFile += u".nbf";
    for (const std::vector<NVMData>* list : {&boot, &app})
        for (const NVMData& e : *list)
            if (e.fullPath.find(u' ') != std::u16string::npos)
                return Fail(g, "compose", kExitUsage,
                            "Spaces are not allowed in the file name or file path.");
    if (burnFile.find(u' ') != std::u16string::npos)
        return Fail(g, "compose", kExitUsage,
                    "Spaces are not allowed in the file name or file path.");
    // From the command line or a shared settings file alike: an address is
    // one number, never options for the composer.
    if (const NVMData* bad = FirstInvalidAddress(boot, app))
        return Fail(g, "compose", kExitUsage, Tidy(InvalidNvmAddressText(bad->nvmAddress)));

    NvmOptions& o = engine.Options();
    o.strict = sw.strict;
    o.overwrite = overwrite;
    o.user = sw.user;
    o.xoEarlyEnable = sw.xoEarlyEnable;
    o.exeUserBoot = sw.exeUserBoot;
    o.run = sw.run;
    o.nvmDisable = sw.nvmDisable;
    o.mtpDisable = sw.mtpDisable;
    o.ramClear = sw.ramClear;
    o.c2Disable = sw.c2Disable;
    o.bootFiles = boot;
    o.appFiles = app;
    o.burnFile = burnFile;
    return ReportCompose(g, s, engine, false, ToUtf8(burnFile));
}

}  // namespace cindral::cli
