// ordwin.dll on Windows, end to end on a virtual adapter: wickport.dll loads
// its virtual adapters from beside itself and the exports reach the chip.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "ordwin.h"
#include "zt/platform/module.h"

namespace {

// Hosts bind the two identity getters by their stdcall names.
template <typename Fn>
Fn ByName(const char* name) {
    std::string error;
    void* module = zt::platform::LoadModule(
        zt::platform::ModuleDirectory(reinterpret_cast<const void*>(&Connect)) + "ordwin.dll",
        &error);
    return reinterpret_cast<Fn>(zt::platform::ModuleSymbol(module, name));
}

TEST(WindowsVirtualAdapter, ListsConnectsIdentifiesAndReadsTheChip) {
    int count = 0;
    ASSERT_EQ(USBDebugDevices(&count), 0);
    ASSERT_EQ(count, 2) << "WICKPORT_VIRTUAL names two adapters";
    std::string serials;
    for (int i = 0; i < count; ++i) {
        const char* serial = nullptr;
        ASSERT_EQ(GetUSBDeviceSN(i, &serial), 0);
        ASSERT_NE(serial, nullptr);
        serials += std::string(serial) + " ";
    }
    EXPECT_NE(serials.find("VZW001 "), std::string::npos) << serials;
    EXPECT_NE(serials.find("VZW002 "), std::string::npos) << serials;

    ASSERT_EQ(ConnectUSB("VZW001", 1, 0, 1), 0);
    EXPECT_EQ(Connected(), 1);
    using HardwareIdFn = int(ORDWIN_STDCALL*)(uint16_t*);
    using DerivativeIdFn = int(ORDWIN_STDCALL*)(uint8_t*);
    const auto hardwareId = ByName<HardwareIdFn>("_GetHardwareID@4");
    const auto derivativeId = ByName<DerivativeIdFn>("_GetDerivativeID@4");
    ASSERT_NE(hardwareId, nullptr);
    ASSERT_NE(derivativeId, nullptr);
    uint16_t family = 0;
    ASSERT_EQ(hardwareId(&family), 0);
    EXPECT_EQ(family, 0x24);
    uint8_t derivative = 0;
    ASSERT_EQ(derivativeId(&derivative), 0);
    // The header's names reach the same two exports through the import library.
    uint16_t importedFamily = 0;
    ASSERT_EQ(GetHardwareID(&importedFamily), 0);
    EXPECT_EQ(importedFamily, family);
    uint8_t importedDerivative = 0;
    ASSERT_EQ(GetDerivativeID(&importedDerivative), 0);
    EXPECT_EQ(importedDerivative, derivative);
    const char* name = nullptr;
    ASSERT_EQ(GetDeviceName(&name), 0);
    ASSERT_NE(name, nullptr);
    EXPECT_NE(std::string(name).find("Zeltra"), std::string::npos) << name;

    // Halted, a written RAM byte reads back.
    ASSERT_EQ(SetTargetHalt(), 0);
    uint8_t pattern[4] = {0x5C, 0xA5, 0x01, 0xFE};
    ASSERT_EQ(SetRAMMemory(pattern, 0x40, 4), 0);
    uint8_t back[4] = {};
    ASSERT_EQ(GetRAMMemory(back, 0x40, 4), 0);
    EXPECT_EQ(std::memcmp(back, pattern, 4), 0);

    EXPECT_EQ(DisconnectUSB(), 0);
    EXPECT_EQ(hardwareId(&family), static_cast<int>(0x8100801B));
    EXPECT_EQ(GetHardwareID(&family), static_cast<int>(0x8100801B));
}

}  // namespace
