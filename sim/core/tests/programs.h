// The reference programs built from programs/ at build time.
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace zsim::coretest {

inline std::vector<std::string> ProgramNames() {
    std::vector<std::string> names;
    std::istringstream in(ZSIM_PROGRAMS);
    std::string name;
    while (std::getline(in, name, ','))
        if (!name.empty()) names.push_back(name);
    return names;
}

inline std::string ProgramPath(const std::string& name) {
    return std::string(ZSIM_PROGRAM_DIR) + "/" + name + ".ihx";
}

// XDATA the programs log into and that is compared.
constexpr std::size_t kXdataCompared = 0x1000;

}  // namespace zsim::coretest
