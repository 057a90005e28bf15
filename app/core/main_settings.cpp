#include "main_settings.h"

namespace cindral {

bool ReadMainSettings(SettingsReader& in, MainSettings& out) {
    for (std::vector<NVMData>* list : {&out.bootFiles, &out.appFiles}) {
        int32_t count = 0;
        if (!in.ReadInt(count) || count < 0) return false;
        for (int32_t i = 0; i < count; ++i) {
            NVMData e;
            if (!in.ReadInt(e.hexFlag) || !in.ReadString(e.fileName) ||
                !in.ReadString(e.fullPath) || !in.ReadString(e.nvmAddress))
                return false;
            list->push_back(std::move(e));
        }
    }
    if (!in.ReadString(out.burnFile)) return false;
    ComposeSwitches& s = out.switches;
    // Stored in the order of the page's boxes 1018, 1023 .. 1030, 1021, 1022.
    bool* states[] = {&out.overwrite, &s.user,       &s.run,        &s.xoEarlyEnable,
                      &s.exeUserBoot, &s.nvmDisable, &s.mtpDisable, &s.ramClear,
                      &s.c2Disable,   &s.strict,     &out.logicOr};
    for (bool* state : states) {
        int32_t v = 0;
        if (!in.ReadInt(v)) return false;
        *state = v != 0;
    }
    return true;
}

}  // namespace cindral
