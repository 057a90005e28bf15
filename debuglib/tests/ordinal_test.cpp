// Hosts bind the exports by ordinal or by name through the dynamic loader.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "ordwin.h"

namespace {

class Binding : public ::testing::Test {
  protected:
    void SetUp() override {
        handle_ = dlopen(ORDWIN_LIBRARY_PATH, RTLD_NOW);
        ASSERT_NE(handle_, nullptr) << dlerror();
        byOrdinal_ = reinterpret_cast<void* (*)(int)>(dlsym(handle_, "OrdwinExportByOrdinal"));
        ASSERT_NE(byOrdinal_, nullptr);
    }
    void TearDown() override {
        if (handle_) dlclose(handle_);
    }

    // Ordinal -> exported name as the module-definition file lists them,
    // with the stdcall decoration taken off as Linux exports them.
    static std::map<int, std::string> DefinitionFile() {
        std::map<int, std::string> table;
        std::ifstream def(ORDWIN_DEF_PATH);
        std::string line;
        while (std::getline(def, line)) {
            if (line.empty() || (line[0] != ' ' && line[0] != '\t')) continue;
            std::istringstream words(line);
            std::string name, word, last;
            words >> name;
            while (words >> word) last = word;
            if (last.size() < 2 || last[0] != '@') continue;
            if (name[0] == '_') name.erase(0, 1);
            if (const size_t at = name.find('@'); at != std::string::npos) name.erase(at);
            table[std::stoi(last.substr(1))] = name;
        }
        return table;
    }

    void* handle_ = nullptr;
    void* (*byOrdinal_)(int) = nullptr;
};

TEST_F(Binding, EveryOrdinalOfTheDefinitionFileIsItsNamedExport) {
    const auto table = DefinitionFile();
    ASSERT_EQ(table.size(), 64u);
    EXPECT_EQ(table.begin()->first, 1);
    EXPECT_EQ(table.rbegin()->first, 64);
    for (const auto& [ordinal, name] : table) {
        void* named = dlsym(handle_, name.c_str());
        ASSERT_NE(named, nullptr) << name;
        EXPECT_EQ(byOrdinal_(ordinal), named) << "ordinal " << ordinal << " " << name;
    }
}

TEST_F(Binding, FixedOrdinalsHostsRelyOn) {
    EXPECT_EQ(byOrdinal_(46), dlsym(handle_, "GetErrorMsg"));
    EXPECT_EQ(byOrdinal_(14), dlsym(handle_, "GetHardwareID"));
    EXPECT_EQ(byOrdinal_(4), dlsym(handle_, "GetDerivativeID"));
    EXPECT_EQ(byOrdinal_(30), dlsym(handle_, "ConnectUSB"));
    EXPECT_EQ(byOrdinal_(64), dlsym(handle_, "SetC2ClockStrobe"));
    auto getErrorMsg = reinterpret_cast<const char* (*)(int)>(byOrdinal_(46));
    EXPECT_STREQ(getErrorMsg(static_cast<int>(0x8100801B)), "Not connected to target.");
}

TEST_F(Binding, OtherOrdinalsHaveNoExport) {
    EXPECT_EQ(byOrdinal_(0), nullptr);
    EXPECT_EQ(byOrdinal_(65), nullptr);
    EXPECT_EQ(byOrdinal_(-1), nullptr);
    EXPECT_EQ(byOrdinal_(1 << 30), nullptr);
}

}  // namespace
