// Erasing a virtual Zeltra's code memory through its own short connection.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ordwin.h"
#include "recording_host.h"
#include "virtual_fixture.h"

namespace {

using Erase = VirtualAdapters;

bool Contains(const std::vector<std::string>& packets, const std::string& packet) {
    return std::find(packets.begin(), packets.end(), packet) != packets.end();
}

TEST_F(Erase, QuietEraseRunsAndLeavesTheContextIdle) {
    EXPECT_EQ(FLASHEraseUSB("VZ0001", 1, 1), 0);
    EXPECT_EQ(Connected(), 0);
    const auto sent = Sent();
    EXPECT_TRUE(Contains(sent, "3c"));
    EXPECT_TRUE(Contains(sent, "22"));
    EXPECT_FALSE(Contains(sent, "fe 01 08")) << "the erase connection sends no option byte";
}

TEST_F(Erase, AsksAndReports) {
    RecordingHost host;
    host.answer = ORDWIN_ID_YES;
    ASSERT_EQ(FLASHEraseUSB("VZ0001", 0, 1), 0);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].text,
              "Preparing to erase all Code Memory.\nAre you sure you want to proceed?");
    EXPECT_EQ(host.messages[0].style, ORDWIN_MB_YESNO_ICON);
    EXPECT_EQ(host.messages[1].text, "Code Memory has been erased.");
}

TEST_F(Erase, DeclinedEraseSendsNothing) {
    RecordingHost host;
    host.answer = ORDWIN_ID_NO;
    EXPECT_EQ(FLASHEraseUSB("VZ0001", 0, 1), 0);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Erase, RefusedWhileConnected) {
    ASSERT_EQ(ConnectUSB("VZ0001", 1, 0, 1), 0);
    ClearTrace();
    EXPECT_EQ(FLASHEraseUSB("VZ0001", 1, 1), ORDWIN_E_CONNECTED);
    EXPECT_EQ(Connected(), 1);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Erase, NeedsAnAdapterAndTheRightOne) {
    Use("");
    EXPECT_EQ(FLASHEraseUSB("VZ0001", 1, 1), ORDWIN_E_INVALIDARG);
    Use("VZ0001;VZ0002");
    EXPECT_EQ(FLASHEraseUSB("VZ0007", 1, 1), static_cast<int>(0x810400FF));
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Erase, SilentTargetIsReported) {
    Use("VZ0001:fault=nopower");
    RecordingHost host;
    host.answer = ORDWIN_ID_YES;
    EXPECT_EQ(FLASHEraseUSB("VZ0001", 0, 1), ORDWIN_E_TARGET_RESET);
    EXPECT_EQ(Connected(), 0);
    EXPECT_TRUE(host.Saw("Target could not be reset."));
}

}  // namespace
