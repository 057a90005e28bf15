// Messages reach the host's callbacks, with the right caption and style,
// unless dialogs are disabled.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "ordwin.h"
#include "recording_host.h"

namespace {

// The serial connections below must fail to open, whatever ports this machine has.
const bool kNoComPorts = setenv("ORDWIN_COM1", "/nonexistent/ordwin-com1", 1) == 0 &&
                         setenv("ORDWIN_COM2", "/nonexistent/ordwin-com2", 1) == 0;

TEST(HostUi, IllegalAdapterIsReportedWithItsNumber) {
    RecordingHost host;
    EXPECT_EQ(SetAdapter(4), ORDWIN_E_INVALIDARG);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Illegal Adapter 4 selected.");
    EXPECT_EQ(host.messages[0].caption, "Ordwin");
    EXPECT_EQ(host.messages[0].style, ORDWIN_MB_OK_ICON);
    EXPECT_EQ(SetAdapter(-7), ORDWIN_E_INVALIDARG);
    EXPECT_EQ(host.messages.back().text, "Illegal Adapter -7 selected.");
    EXPECT_EQ(SetAdapter(3), 0);
    EXPECT_EQ(host.messages.size(), 2u);
}

TEST(HostUi, ConnectUsbRestoresTheAdapterType) {
    RecordingHost host;
    EXPECT_EQ(SetAdapter(4), ORDWIN_E_INVALIDARG);
    host.messages.clear();
    // No adapter is attached, so the link fails to open, but not for want
    // of an adapter type.
    EXPECT_EQ(ConnectUSB("", 1, 0, 0), ORDWIN_E_LINK_OPEN);
    EXPECT_FALSE(host.Saw("Valid Adapter selection has not been assigned yet."));
    ASSERT_FALSE(host.messages.empty());
}

TEST(HostUi, InvalidAdapterTypeBlocksTheSerialConnection) {
    ASSERT_TRUE(kNoComPorts);
    RecordingHost host;
    EXPECT_EQ(SetAdapter(0), ORDWIN_E_INVALIDARG);
    // Connect chooses the serial adapter again itself.
    EXPECT_EQ(Connect(1, 0, 1, 0), ORDWIN_E_LINK_OPEN);
    EXPECT_FALSE(host.Saw("Valid Adapter selection has not been assigned yet."));
}

TEST(HostUi, CaptionFollowsTheApplicationName) {
    RecordingHost host;
    SetAppName("Cindral");
    SetAdapter(9);
    SetAppName("");
    SetAdapter(9);
    SetAppName(nullptr);
    SetAdapter(9);
    ASSERT_EQ(host.messages.size(), 3u);
    EXPECT_EQ(host.messages[0].caption, "Cindral");
    EXPECT_EQ(host.messages[1].caption, "Ordwin");
    EXPECT_EQ(host.messages[2].caption, "Ordwin");
}

TEST(HostUi, DisabledDialogsStayDisabled) {
    RecordingHost host;
    // The flag is stored before the COM port is refused.
    EXPECT_EQ(Connect(0, 1, 1, 0), ORDWIN_E_INVALIDARG);
    EXPECT_EQ(SetAdapter(4), ORDWIN_E_INVALIDARG);
    EXPECT_EQ(ConnectUSB("", 1, 0, 1), ORDWIN_E_LINK_OPEN);
    EXPECT_TRUE(host.messages.empty());
    // A suppressed question counts as accepted: the erase goes on to open
    // the port (a refusal would return 0).
    EXPECT_EQ(FLASHErase(1, 1, 1), ORDWIN_E_LINK_OPEN);
    EXPECT_TRUE(host.messages.empty());
}

TEST(HostUi, WithoutHostQuestionsAreRefusedAndMessagesGoToStderr) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(FLASHErase(2, 0, 1), 0);
    EXPECT_EQ(SetAdapter(4), ORDWIN_E_INVALIDARG);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Preparing to erase all Code Memory."), std::string::npos);
    EXPECT_NE(err.find("Illegal Adapter 4 selected."), std::string::npos);
}

TEST(HostUi, UnregisteringReturnsToTheDefault) {
    {
        RecordingHost host;
        SetAdapter(4);
        EXPECT_EQ(host.messages.size(), 1u);
    }
    testing::internal::CaptureStderr();
    SetAdapter(4);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Illegal Adapter 4"), std::string::npos);
}

}  // namespace
