// The commands of cindral-cli on the app's UI-free core.
#pragma once

#include <string>
#include <vector>

namespace cindral::cli {

enum ExitCode {
    kExitOk = 0,
    kExitUsage = 1,
    kExitAdapter = 2,  // no or unknown adapter, or the connection failed
    kExitCompose = 3,
    kExitChip = 4,      // the burn or write failed on the chip
    kExitTimedOut = 5,  // interrupted by the deadline
    kExitInput = 6,     // an input file is unreadable
    kExitDatabase = 7,  // the lots database cannot be reached or used
};

struct Globals {
    bool json = false;
    std::string log;
    bool yes = false;
    bool quiet = false;
    bool simulate = false;
    // Polling interval of the burner, in milliseconds.
    int pollMs = 10;
    // A gang worker whose parent draws the progress board.
    bool progressReport = false;
};

struct ComposeArgs {
    std::string out;
    std::string settings;
    std::string adapter;  // read the first boot address from this chip
    std::vector<std::string> boot, app;
    bool user = false, run = false, xoEarly = false, exeUserBoot = false, nvmDisable = false,
         mtpDisable = false, ramClear = false, c2Disable = false, logicOr = false,
         overwrite = false;
};

struct BurnArgs {
    std::string file;
    std::vector<std::string> adapters;
    bool all = false;
    bool dryRun = false;
    bool direct = false;
    int com = -1;
    std::string sha256;  // a gang worker: the hash the parent checked
};

struct DirectArgs {
    std::string text, file, out;
    bool textGiven = false;
    bool logicOr = false;
    bool overwrite = false;
    BurnArgs burn;
};

struct MtpArgs {
    bool write = false;
    std::string save, hex, bytes;
    std::string adapter;
};

int RunList(const Globals& g);
int RunInfo(const Globals& g, const std::string& adapter, int com);
int RunCompose(const Globals& g, const ComposeArgs& a);
int RunBurn(const Globals& g, const BurnArgs& a);
int RunDirectBurn(const Globals& g, DirectArgs a);
int RunErase(const Globals& g, const std::string& adapter, int com);
int RunMtp(const Globals& g, const MtpArgs& a);
// A gang worker: burns on the one adapter of `a` and reports on stdout as JSON.
int RunWorker(const Globals& g, const BurnArgs& a);

}  // namespace cindral::cli
