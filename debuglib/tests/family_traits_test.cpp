// Every family's traits, as the record build leaves them in the context,
// against the answers recorded in data/family_traits.txt (one line per family).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "connect/connection.h"
#include "devicedb/description_store.h"
#include "devicedb/device_database.h"
#include "exports/debug_context.h"
#include "target/hex_reader.h"
#include "zt/xdata_registers.h"
#include "zt/zeltra_map.h"

namespace ordwin {
namespace {

std::string Hex(const uint8_t* bytes, size_t n) {
    std::string out;
    char two[3];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(two, sizeof two, "%02X", bytes[i]);
        out += two;
    }
    return out;
}

// The line of data/family_traits.txt the family's traits give.
std::string Answers(uint16_t family) {
    DeviceRecord r;
    DeviceDatabase::FillDefaults(r);
    // Registers a family does not set keep these.
    DeviceTraits t;
    std::memset(t.breakpointRegisters, 0x11, sizeof t.breakpointRegisters);
    std::memset(t.haltedRegisters, 0x11, sizeof t.haltedRegisters);
    t.xadrh = t.xadrl = t.xdata = 0x11;
    t.massEraseScale = 99;
    t.writeOnce = true;
    if (DeviceDatabase::BuildRecord(r, t, family, 1, 0x01, 1) != 0) return "build failed";

    std::ostringstream s;
    const auto flag = [](bool b) { return b ? " 1" : " 0"; };
    s << family << ' ' << t.breakpointControl << ' ' << t.breakpointControlPage << ' '
      << t.breakpointAddressPage << flag(t.breakpointEnableBit) << flag(t.breakpointsThroughC2)
      << flag(t.breakpointBankBits) << flag(t.breakpointSelect >= 0) << ' ' << int(t.xdataAccess)
      << ' ' << t.xdataPage << ' ' << t.xdataWorkRamVersion << ' ' << t.sfrPageRegister << ' '
      << int(t.haltStatusRegister) << ' ' << t.haltedUsbTimeoutMs << ' '
      << (MapBank(family, 2, 0x8000) != 0x8000 ? 3 : 0) << flag(t.pageCrc32) << flag(t.pageCrc)
      << flag(t.pageCrcWhenWriteOnce) << ' ' << t.codeEraseMs << flag(t.pagedWriteStatus)
      << flag(t.resetRegisterSetup) << ' ' << int(t.hexBanks) << flag(t.secondEraseEnd != 0)
      << flag(t.writeOnce) << ' ' << t.massEraseScale << ' ' << Hex(t.haltedRegisters, 3) << ' '
      << Hex(t.breakpointRegisters, 4) << ' ';
    const uint8_t xregs[] = {t.xadrh, t.xadrl, t.xdata};
    s << Hex(xregs, 3) << ' ' << r.breakpointCount << ' ' << r.externalRamSize;
    DescriptionStore store;
    s << flag(store.SelectFamily(family) == 0) << ' ';

    DebugContext ctx;
    ctx.hardwareId = family;
    for (int first = 0; first < 256; first += 4) {
        int nibble = 0;
        for (int b = 0; b < 4; ++b) {
            ctx.derivativeId = uint8_t(first + b);
            if (IdentityAccepted(ctx)) nibble |= 8 >> b;
        }
        s << "0123456789ABCDEF"[nibble];
    }
    const zt::family::XdataRegisters* sim = zt::family::XdataRegistersOf(family);
    if (sim) {
        const uint8_t regs[] = {sim->high, sim->low, sim->data};
        s << ' ' << Hex(regs, 3);
    } else {
        s << " -";
    }
    return s.str();
}

TEST(FamilyTraits, EveryFamilyGivesItsRecordedAnswers) {
    std::ifstream in(ORDWIN_FAMILY_TRAITS);
    ASSERT_TRUE(in) << ORDWIN_FAMILY_TRAITS;
    std::string line;
    int family = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        EXPECT_EQ(Answers(uint16_t(family)), line);
        ++family;
    }
    EXPECT_EQ(family, 49);
    EXPECT_EQ(DeviceDatabase::Family(49), nullptr);
    EXPECT_EQ(zt::family::XdataRegistersOf(49), nullptr);
    EXPECT_EQ(MapBank(0xFFFF, 2, 0x8000), 0x8000u);
}

// Back to the default record, the family facts are those of its family again
// (a connection identifies the target only after that), the registers a
// family does not set stay.
TEST(FamilyTraits, DefaultsBringBackTheFactsOfTheDefaultFamily) {
    DeviceRecord r;
    DeviceTraits t;
    ASSERT_EQ(DeviceDatabase::FillDefaults(r, t), 0);
    ASSERT_EQ(DeviceDatabase::BuildRecord(r, t, zt::zeltra::kFamily, 1, zt::zeltra::kDerivative, 1),
              0);
    EXPECT_EQ(t.haltedUsbTimeoutMs, 50000);
    t.xadrl = 0x42;
    ASSERT_EQ(DeviceDatabase::FillDefaults(r, t), 0);
    EXPECT_EQ(r.familyCode, 0);
    EXPECT_EQ(t.haltedUsbTimeoutMs, 5000);
    EXPECT_EQ(t.breakpointSelect, -1);
    EXPECT_EQ(t.xadrl, 0x42);
}

}  // namespace
}  // namespace ordwin
