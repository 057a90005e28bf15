// Burning a burn file on one adapter or a gang of them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "support.h"

namespace cindral::cli {

// The burn file is judged whole, as the engine judges it, before a chip is
// touched; the reason it is refused, or nothing.
std::optional<std::string> RefuseBurnFile(const std::string& data, bool direct);

// What a lot adds to a burn on one chip.
class BurnAddOn {
  public:
    virtual ~BurnAddOn() = default;
    // Connected, nothing burned yet; false (with the reason) burns nothing.
    virtual bool Connected(Session& s, Json& rec, std::string& why) = 0;
    // Every image of the burn file succeeded and its CRCs are in the record;
    // still connected. A failure sets the result and the exit code.
    virtual void AfterBurn(Session& s, Json& rec, std::string& result, int& exit) = 0;
};

struct BurnJob {
    std::string file;  // absolute
    std::string data;  // the bytes read once: checked, hashed and burned
    std::string sha256;
    bool direct = false;
    bool dryRun = false;
    BurnAddOn* addOn = nullptr;
    Json fields = Json::object();  // added to the record
};

// The adapters a burn goes to: -a, --all or the one attached.
std::optional<std::vector<std::string>> BurnTargets(const Globals& g, const BurnArgs& a,
                                                    std::string& why);

// Burns on one adapter in this process; the record is logged and returned.
Json BurnOnAdapter(const Globals& g, const BurnJob& job, const std::string& serial, int com,
                   int& exit);

// Burns the file of `a` on its adapters and reports every chip.
int BurnFileOn(const Globals& g, const BurnArgs& a, bool direct);

}  // namespace cindral::cli
