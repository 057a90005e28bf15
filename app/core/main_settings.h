// The Main page's part of a settings file, read without the page: what a
// headless compose needs to build the same composer command line.
#pragma once

#include <vector>

#include "command_line.h"
#include "settings_archive.h"

namespace cindral {

struct MainSettings {
    std::vector<NVMData> bootFiles;
    std::vector<NVMData> appFiles;
    std::u16string burnFile;
    bool overwrite = false;
    ComposeSwitches switches;  // strict: the "Strict" radio button's state
    bool logicOr = false;
};

// Reads the sixteen leading fields in the page's order; false when the stream
// ends early or holds a malformed string.
bool ReadMainSettings(SettingsReader& in, MainSettings& out);

}  // namespace cindral
