// Connecting to virtual Zeltras through the exports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ordwin.h"
#include "recording_host.h"
#include "virtual_fixture.h"

namespace {

using Connection = VirtualAdapters;
using Packets = std::vector<std::string>;

TEST_F(Connection, ConnectsToAZeltraAndDisconnects) {
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
    EXPECT_EQ(Connected(), 1);
    uint16_t hardwareId = 0;
    uint8_t derivativeId = 0;
    uint8_t logic = 0;
    const char* name = nullptr;
    ASSERT_EQ(GetHardwareID(&hardwareId), 0);
    ASSERT_EQ(GetDerivativeID(&derivativeId), 0);
    ASSERT_EQ(GetDebugLogicVersion(&logic), 0);
    ASSERT_EQ(GetDeviceName(&name), 0);
    EXPECT_EQ(hardwareId, 36);
    EXPECT_EQ(derivativeId, 0xD0);
    EXPECT_EQ(logic, 0x01);
    EXPECT_STREQ(name, "Zeltra");
    int banks = -1;
    EXPECT_EQ(ISupportBanking(&banks), 0);
    EXPECT_EQ(banks, 0);
    const char* serial = nullptr;
    ASSERT_EQ(GetUSBDevice(&serial), 0);
    EXPECT_STREQ(serial, "VZ0001");

    EXPECT_EQ(DisconnectUSB(), 0);
    EXPECT_EQ(Connected(), 0);
    EXPECT_EQ(DisconnectUSB(), ORDWIN_E_NOT_CONNECTED);
    hardwareId = 0x1111;
    EXPECT_EQ(GetHardwareID(&hardwareId), ORDWIN_E_NOT_CONNECTED);
    EXPECT_EQ(hardwareId, 0x1111);
}

TEST_F(Connection, PacketSequence) {
    ASSERT_EQ(SetC2ClockStrobe(7), 0);
    EXPECT_TRUE(Sent().empty()) << "nothing goes out without a link";
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
    const Packets expected = {
        "00 00 00",  // adapter mode
        "01 0c 00",  // page command with the check page
        "06 00 00",  // firmware version
        "40 01 07",  // clock strobe, then target reset
        "20",
        "fe 01 08",  // connect option byte for connectOption 0
        "22",        // hardware id and revision
        "23",        // debug logic version and derivative id
        "28 f2 01",  // breakpoint count register
    };
    EXPECT_EQ(Sent(), expected);
    // While the link is open the strobe goes straight to the adapter.
    EXPECT_EQ(SetC2ClockStrobe(9), 0);
    EXPECT_EQ(Sent(), Packets{"40 01 09"});
}

TEST_F(Connection, ConnectOptionSelectsTheOptionByte) {
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 1, 1), 0);
    const Packets sent = Sent();
    ASSERT_GE(sent.size(), 6u);
    EXPECT_EQ(sent[5], "fe 01 00");
}

TEST_F(Connection, SerialMatchesWithoutCaseAndEmptyKeepsTheSelection) {
    Use("VZ0002;VZ0001");
    ASSERT_EQ(ConnectUSB("vz0001", 1, 0, 1), 0);
    const char* serial = nullptr;
    ASSERT_EQ(GetUSBDevice(&serial), 0);
    EXPECT_STREQ(serial, "VZ0001");
    EXPECT_EQ(DisconnectUSB(), 0);
    ASSERT_EQ(SetUSBDevice("VZ0002"), 0);
    ASSERT_EQ(ConnectUSB("", 1, 0, 1), 0);
    ASSERT_EQ(GetUSBDevice(&serial), 0);
    EXPECT_STREQ(serial, "VZ0002");
}

TEST_F(Connection, ConnectWhileConnectedReconnects) {
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
    ClearTrace();
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
    EXPECT_EQ(Connected(), 1);
    const Packets sent = Sent();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), "00 00 00") << "the second connect runs the whole sequence";
}

TEST_F(Connection, UnknownSerialDoesNotConnectToAnotherAdapter) {
    Use("VZ0002;VZ0001");
    ASSERT_EQ(SetUSBDevice("VZ0002"), 0);
    EXPECT_EQ(ConnectUSB("VZ0009", 1, 0, 1), static_cast<int>(0x810400FF));
    EXPECT_EQ(Connected(), 0);
}

TEST_F(Connection, PristineChipNeedsTheZeltraConnectionState) {
    Use("VZ0001:target=pristine");
    EXPECT_EQ(ConnectUSB("VZ0001", 1, 0, 1), ORDWIN_E_UNKNOWN_DEVICE);
    EXPECT_EQ(Connected(), 0);
    EXPECT_EQ(SetZeltraConnectionState(1), 0);
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
    uint8_t derivativeId = 0;
    const char* name = nullptr;
    ASSERT_EQ(GetDerivativeID(&derivativeId), 0);
    ASSERT_EQ(GetDeviceName(&name), 0);
    EXPECT_EQ(derivativeId, 0xFF);
    EXPECT_STREQ(name, "Zeltra Pristine");
}

TEST_F(Connection, SiblingNeedsTheZeltraConnectionState) {
    Use("VZ0001:target=sibling1");
    EXPECT_EQ(ConnectUSB("VZ0001", 1, 0, 1), ORDWIN_E_UNKNOWN_DEVICE);
    EXPECT_EQ(Connected(), 0);
}

TEST_F(Connection, UnknownFamilyIsRefused) {
    // Family 0x31 (49) lies past the last family the database knows.
    Use("VZ0001:target=31/01");
    EXPECT_EQ(ConnectUSB("VZ0001", 1, 0, 1), ORDWIN_E_UNKNOWN_DEVICE);
    EXPECT_EQ(Connected(), 0);
}

TEST_F(Connection, DescribedFamilyGetsItsOwnRegisters) {
    // Family 7 takes its breakpoint registers from its description list.
    Use("VZ0001:target=07/86,speed=max");
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
    const Packets connect = Sent();
    uint16_t hardwareId = 0;
    const char* name = nullptr;
    ASSERT_EQ(GetHardwareID(&hardwareId), 0);
    ASSERT_EQ(GetDeviceName(&name), 0);
    EXPECT_EQ(hardwareId, 7);
    EXPECT_STREQ(name, "ZX0710");
    // The family's start writes two registers on page 0xFF.
    EXPECT_NE(std::find(connect.begin(), connect.end(), "29 c5 01 7b"), connect.end());
    EXPECT_NE(std::find(connect.begin(), connect.end(), "29 c4 01 00"), connect.end());

    ASSERT_EQ(SetClrBP(1, 0x0100), 0);
    const Packets expected = {"29 8d 01 00", "29 ac 01 00", "29 cf 01 00",
                              "29 d3 01 00", "29 8c 01 00", "29 8d 01 81"};
    EXPECT_EQ(Sent(), expected);
}

TEST_F(Connection, SilentTargetFailsTheConnection) {
    // An unpowered chip does not answer the reset after the firmware check.
    Use("VZ0001:fault=nopower");
    RecordingHost host;
    EXPECT_EQ(ConnectUSB("VZ0001", 1, 0, 0), ORDWIN_E_STATUS_NOT_RESPONDING);
    EXPECT_EQ(Connected(), 0);
    EXPECT_TRUE(
        host.Saw("Communication could not be established with the specified "
                 "adapter.\nPlease confirm the current adapter selection and cable "
                 "connection."));
}

TEST_F(Connection, MissingTargetIsDroppedAfterTheAdapterCheck) {
    // Without a chip the adapter still passes its own check and pulses its reset
    // line; the identification gets no answer.
    Use("VZ0001:target=none,speed=max");
    RecordingHost host;
    EXPECT_EQ(ConnectUSB("VZ0001", 1, 0, 0), ORDWIN_E_NO_RESPONSE);
    EXPECT_EQ(Connected(), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Target failed to respond.\nSystem is being disconnected.");
}

TEST_F(Connection, DecliningTheFirmwareUpdate) {
    Use("VZ0001:fw=30");
    RecordingHost host;
    host.answer = ORDWIN_ID_CANCEL;
    EXPECT_EQ(ConnectUSB("VZ0001", 1, 0, 0), ORDWIN_E_FIRMWARE_UPDATE);
    EXPECT_EQ(Connected(), 0);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].text,
              "The debug adapter must be reprogrammed in order to function properly with this "
              "version of the software.\nDo you want to update the serial adapter now?");
    EXPECT_EQ(host.messages[0].style, ORDWIN_MB_OKCANCEL_ICON);
    EXPECT_EQ(host.messages[1].text,
              "Communication could not be established with the specified adapter.\nPlease "
              "confirm the current adapter selection and cable connection.");
}

int Count(const Packets& packets, const std::string& packet) {
    return static_cast<int>(std::count(packets.begin(), packets.end(), packet));
}

TEST_F(Connection, OutdatedFirmwareIsUpdatedWithoutAskingWhenDialogsAreDisabled) {
    Use("VZ0001:fw=30");
    RecordingHost host;
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
    EXPECT_EQ(Connected(), 1);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.progressOpened, 0) << "no progress dialog either";
    const Packets sent = Sent();
    EXPECT_EQ(Count(sent, "05 17 ff"), 1) << "power value read from page 11";
    EXPECT_EQ(Count(sent, "04 00 00"), 19) << "every page of the image checked by CRC";
    EXPECT_EQ(Count(sent, "02 00 00"), 19);
    // The adapter now runs the expected firmware: no second update.
    ASSERT_EQ(DisconnectUSB(), 0);
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
    EXPECT_EQ(Count(Sent(), "04 00 00"), 0);
}

TEST_F(Connection, AcceptedUpdateShowsItsProgress) {
    Use("VZ0001:fw=30");
    RecordingHost host;
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 0), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].style, ORDWIN_MB_OKCANCEL_ICON);
    EXPECT_EQ(host.progressRange, (std::pair<int, int>{0, 18}));
    ASSERT_EQ(host.progressPositions.size(), 19u);
    EXPECT_EQ(host.progressPositions.front(), 1);
    EXPECT_EQ(host.progressPositions.back(), 19);
    EXPECT_EQ(host.progressClosed, 1);
}

TEST_F(Connection, CancelledUpdateFailsItsVerification) {
    Use("VZ0001:fw=30");
    RecordingHost host;
    host.cancelAtPosition = 1;
    EXPECT_EQ(ConnectUSB("VZ0001", 1, 0, 0), ORDWIN_E_INCORRECT_RESPONSE);
    EXPECT_EQ(Connected(), 0);
    EXPECT_EQ(host.progressPositions, std::vector<int>{1});
    EXPECT_TRUE(host.Saw("Incorrect Firmware version download!"));
    EXPECT_TRUE(
        host.Saw("Communication could not be established with the specified "
                 "adapter.\nPlease confirm the current adapter selection and cable "
                 "connection."));
    EXPECT_EQ(host.progressClosed, 1);
}

TEST_F(Connection, UnreadableVersionIsTreatedAsOutdated) {
    // The third exchange is the version read: one lost reply is asked again.
    Use("VZ0001:fault=drop@3,speed=max");
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
    Packets sent = Sent();
    EXPECT_EQ(Count(sent, "06 00 00"), 2);
    EXPECT_EQ(Count(sent, "04 00 00"), 0) << "no update";
    EXPECT_EQ(sent.size(), 10u);
    ASSERT_EQ(DisconnectUSB(), 0);

    Use("VZ0001:fault=drop@3+short@4,speed=max");
    RecordingHost host;
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 0), 0);
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages[0].text,
              "The debug adapter must be reprogrammed in order to function properly with this "
              "version of the software.\nDo you want to update the Serial Adapter now?\n\nPlease "
              "note that for USB Adapters this operation will require a bus reset which takes "
              "several seconds.");
    EXPECT_EQ(Count(Sent(), "04 00 00"), 19);
}

TEST_F(Connection, ModeReadIsRetriedAfterReopening) {
    Use("VZ0001:fault=drop@1,speed=max");
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
    const Packets sent = Sent();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0], "00 00 00");
    EXPECT_EQ(sent[1], "00 00 00");
}

TEST_F(Connection, RefusedPageCommand) {
    Use("VZ0001:fault=status@2");
    EXPECT_EQ(ConnectUSB("VZ0001", 1, 0, 1), ORDWIN_E_INCORRECT_RESPONSE);
    EXPECT_EQ(Connected(), 0);
}

TEST_F(Connection, UnpluggedAdapterPassesTheLibraryCodeOn) {
    Use("VZ0001:fault=unplug@4");
    EXPECT_EQ(ConnectUSB("VZ0001", 1, 0, 1), static_cast<int>(0x81040005));
    EXPECT_EQ(Connected(), 0);
}

TEST_F(Connection, RealAdapterWithOtherFirmwareIsNeverWritten) {
    const std::string noFirmware =
        "This library carries no firmware for real debug adapters; update the adapter with its "
        "maker's tool.";
    const std::string failure =
        "Communication could not be established with the specified adapter.\nPlease confirm "
        "the current adapter selection and cable connection.";
    struct Case {
        const char* adapter;
        int disableDialogs;
    };
    // An outdated version, asked and unasked, and a version that cannot be read.
    for (const Case& c :
         {Case{"VZ0001:fw=30,backend=real", 0}, Case{"VZ0001:fw=30,backend=real", 1},
          Case{"VZ0001:backend=real,fault=drop@3+drop@4,speed=max", 0}}) {
        SCOPED_TRACE(c.adapter);
        Use(c.adapter);
        RecordingHost host;
        EXPECT_EQ(ConnectUSB("VZ0001", 1, 0, c.disableDialogs), ORDWIN_E_FIRMWARE_UPDATE);
        EXPECT_EQ(Connected(), 0);
        // Only the probes went out: no page, no flash read, no reset.
        for (const std::string& p : Sent()) {
            EXPECT_TRUE(p == "00 00 00" || p == "01 0c 00" || p == "06 00 00") << p;
        }
        if (c.disableDialogs) {
            EXPECT_TRUE(host.messages.empty());
        } else {
            ASSERT_EQ(host.messages.size(), 2u);
            EXPECT_EQ(host.messages[0].text, noFirmware);
            EXPECT_EQ(host.messages[1].text, failure);
        }
        EXPECT_EQ(host.progressOpened, 0);
    }
}

TEST_F(Connection, ChipStateInUseIsNamedWhenTheAdapterCannotOpen) {
    char dir[] = "/tmp/ordwin-state-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string list = std::string("VZ0001:state=") + dir + ";VZ0002:state=" + dir;
    Use(list.c_str());
    RecordingHost host;
    testing::internal::CaptureStderr();
    EXPECT_LT(ConnectUSB("VZ0002", 1, 0, 0), 0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(Connected(), 0);
    ASSERT_FALSE(host.messages.empty());
    const std::string& text = host.messages[0].text;
    EXPECT_EQ(text.rfind("Cannot connect to the selected USB debug adapter", 0), 0u) << text;
    EXPECT_NE(
        text.find("VZ0002: state directory " + std::string(dir) + " is in use by another program"),
        std::string::npos)
        << text;
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0) << "the holder connects";
    DisconnectUSB();
    Use("");
    std::filesystem::remove_all(dir);
}

// What the operator waits for one lost reply: the read time-out in force, on
// top of the fixed pause before each version reply.
TEST_F(Connection, ALostReplyCostsTheTimeOutInForce) {
    Use("VZ0001:speed=max");
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
    const size_t connect = Sent().size();
    ASSERT_EQ(SetTargetHalt(), 0);
    const size_t halt = connect + Sent().size();
    struct Case {
        size_t exchange;
        uint64_t waitedMs;
    };
    // No fault; the version read during the check (read again after the
    // time-out); then a read after a halt of a Zeltra.
    constexpr uint64_t kVersionPause = 100;
    for (const Case& c : {Case{0, kVersionPause}, Case{3, 2000 + 2 * kVersionPause},
                          Case{halt + 1, 50000 + kVersionPause}}) {
        SCOPED_TRACE(c.exchange);
        DisconnectUSB();
        std::string list = "VZ0001:speed=max";
        if (c.exchange != 0) list += ",fault=drop@" + std::to_string(c.exchange);
        Use(list.c_str());
        uint64_t before = 0;
        ASSERT_EQ(WpGetWaitedMs(&before), WP_OK);
        ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
        if (c.exchange > connect) {
            ASSERT_EQ(SetTargetHalt(), 0);
            uint8_t block[4] = {};
            EXPECT_LT(GetRAMMemory(block, 0x64, 4), 0);
        }
        uint64_t waited = 0;
        ASSERT_EQ(WpGetWaitedMs(&waited), WP_OK);
        EXPECT_EQ(waited - before, c.waitedMs);
    }
}

TEST_F(Connection, UpdateFirmwareModeGetsItsOwnImage) {
    // Mode 1 expects version 2; an adapter reporting 31 there is updated
    // with the mode-1 image, whose power value lives on page 10.
    Use("VZ0001:mode=1,fw=31");
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
    const Packets sent = Sent();
    EXPECT_EQ(Count(sent, "05 15 ff"), 1);
    EXPECT_EQ(Count(sent, "04 00 00"), 19);
    // Page 11 is probed, written as part of the image, and probed again.
    EXPECT_EQ(Count(sent, "01 0b 00"), 3);
}

TEST_F(Connection, UpdateFirmwareModeIsAcceptedWithItsOwnVersion) {
    // An adapter running its update firmware (mode 1) is probed with page 11
    // and expected to report version 2; below version 4 it gets no option byte.
    Use("VZ0001:mode=1");
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
    const Packets sent = Sent();
    const Packets head(sent.begin(), sent.begin() + 6);
    EXPECT_EQ(head, (Packets{"00 00 00", "00 00 00", "01 0b 00", "06 00 00", "40 01 01", "20"}));
    EXPECT_EQ(sent[6], "22");
}

TEST_F(Connection, SmallAdapterAnswersThroughControlValues) {
    Use("VZ0001:pid=0x8045,mode=1,fw=4");
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
    const std::vector<std::string> expected = {"C< 43 01", "C> 41 00", "C< 42 01", "C< 44 04",
                                               "> 40 01 01"};
    ASSERT_GE(Trace().size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(Trace().begin(), Trace().begin() + 5), expected);
    // Small adapters are never sent the option byte.
    for (const std::string& p : Sent()) EXPECT_NE(p.substr(0, 2), "fe");
}

TEST_F(Connection, SmallAdapterWithTheOtherAdaptersVersionIsUpdated) {
    // 11 is what the 0x8253 adapter runs; the 0x8045 one expects 4.
    Use("VZ0001:pid=0x8253,mode=1,fw=11");
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
    EXPECT_EQ(Count(Sent(), "04 00 00"), 0);
    EXPECT_EQ(DisconnectUSB(), 0);
    Use("VZ0001:pid=0x8045,mode=1,fw=11");
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
    EXPECT_EQ(Count(Sent(), "04 00 00"), 17);
    EXPECT_EQ(Connected(), 1);
}

TEST_F(Connection, UnexpectedAdapterModeDropsTheTarget) {
    Use("VZ0001:mode=5");
    RecordingHost host;
    EXPECT_EQ(ConnectUSB("VZ0001", 1, 0, 0), ORDWIN_E_BAD_RESPONSE);
    EXPECT_EQ(Connected(), 0);
    EXPECT_TRUE(host.Saw("Target failed to respond.\nSystem is being disconnected."));
}

TEST_F(Connection, ConnectedExportsReachTheAdapter) {
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
    EXPECT_EQ(GetPinLatch(nullptr), 0);
    EXPECT_GE(SetPinMode(4, 3, 1), 0);
    uint8_t a = 0, b = 0, c = 0;
    ASSERT_GE(GetPinMode(&a, &b, &c), 0);
    EXPECT_EQ(a, 4);
    EXPECT_EQ(b, 3);
    EXPECT_EQ(c, 1);
    EXPECT_GE(SetPinLatch(0xFF, 0x05), 0);
    uint8_t latch = 0xFF;
    ASSERT_GE(GetPinLatch(&latch), 0);
    EXPECT_EQ(latch, 0x05);
    ClearTrace();
    EXPECT_EQ(VPPControl(0), 0);
    EXPECT_EQ(Sent(), Packets{"fd 01 00"});
}

TEST_F(Connection, FaultyAdapterReplies) {
    // A short report answering the page command fails the firmware check.
    Use("VZ0001:fault=short@2");
    EXPECT_LT(ConnectUSB("VZ0001", 1, 0, 1), 0);
    EXPECT_EQ(Connected(), 0);
}

}  // namespace
