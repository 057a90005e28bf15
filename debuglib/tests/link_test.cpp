// The adapter link and the command shapes above a scripted HID library.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "connect/connection.h"
#include "errors/messages.h"
#include "exports/debug_context.h"
#include "fake_wickport.h"
#include "link/status_byte.h"
#include "link/target_commands.h"
#include "link/usb_adapters.h"
#include "ordwin.h"
#include "recording_host.h"

namespace {

using ordwin::DebugContext;
using Bytes = std::vector<uint8_t>;

class Link : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(ctx_.Setup());
        api_ = fake_.Api();
        ordwin::SetWickportApi(&api_);
        ctx_.adapterType = 3;
        ctx_.link->SetLinkType(3);
    }
    void TearDown() override { ordwin::SetWickportApi(nullptr); }

    DebugContext ctx_;
    FakeWickport fake_;
    ordwin::WickportApi api_{};
};

TEST_F(Link, StatusByteTable) {
    EXPECT_EQ(ordwin::StatusToResult(0x0D), 0);
    EXPECT_EQ(ordwin::StatusToResult(0x01), static_cast<int32_t>(0x81000019));
    EXPECT_EQ(ordwin::StatusToResult(0x02), static_cast<int32_t>(0x8100001D));
    EXPECT_EQ(ordwin::StatusToResult(0x03), static_cast<int32_t>(0x8100001A));
    EXPECT_EQ(ordwin::StatusToResult(0x57), static_cast<int32_t>(0x8100001C));
    EXPECT_EQ(ordwin::StatusToResult(0x00), static_cast<int32_t>(0x8100000F));
    EXPECT_EQ(ordwin::StatusToResult(0xFF), static_cast<int32_t>(0x8100000F));
    // No byte at all looks the same as a byte nobody knows.
    EXPECT_EQ(ctx_.link->ReadStatusByte(), static_cast<int32_t>(0x8100000F));
}

TEST_F(Link, ReceiveMapsTheLibraryCodes) {
    uint8_t buffer[4] = {};
    EXPECT_EQ(ctx_.link->ReceiveBytes(buffer, 4), ORDWIN_E_NO_RESPONSE);
    fake_.replies.push_back({WP_OK, 63, {1, 2, 3, 4}});
    EXPECT_EQ(ctx_.link->ReceiveBytes(buffer, 4), ORDWIN_E_RECEIVE_BUFFER)
        << "a short report fails even when the wanted bytes arrived";
    fake_.replies.push_back({WP_E_IO, 0, {}});
    EXPECT_EQ(ctx_.link->ReceiveBytes(buffer, 4), ORDWIN_E_RECEIVE_BUFFER);
    fake_.Reply({9, 8, 7, 6});
    EXPECT_EQ(ctx_.link->ReceiveBytes(buffer, 4), 0);
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{9, 8, 7, 6}));
    // Lengths beyond one report never reach the library.
    uint8_t big[80] = {};
    EXPECT_EQ(ctx_.link->ReceiveBytes(big, 65), ORDWIN_E_INVALIDARG);
    EXPECT_EQ(ctx_.link->SendPacket(65, big), ORDWIN_E_INVALIDARG);
    EXPECT_TRUE(fake_.written.empty());
}

TEST_F(Link, ExchangeStopsAtAFailedSend) {
    fake_.writeResult = WP_E_WRITE;
    fake_.Status(0x0D);
    EXPECT_EQ(ctx_.commands->BareCommand(0x24), WP_E_WRITE);
    EXPECT_EQ(fake_.replies.size(), 1u) << "no reply is read after a failed send";
}

TEST_F(Link, CommandShapes) {
    uint8_t byte = 0;
    fake_.Status(0x0D);
    fake_.Reply({0x42});
    fake_.Status(0x0D);
    fake_.Status(0x0D);
    fake_.Reply({0x1F});
    EXPECT_EQ(ctx_.commands->BareCommand(0x20), 0);
    EXPECT_EQ(ctx_.commands->ReadOneByte(0x10, &byte), 0);
    EXPECT_EQ(byte, 0x42);
    EXPECT_EQ(ctx_.commands->CommandOneParam(0xFD, 1), 0);
    EXPECT_EQ(ctx_.commands->CommandTwoParams(0x1D, 3, 4), 0);
    EXPECT_EQ(ctx_.commands->FirmwareCommand(6, 0, 0, &byte), 0);
    EXPECT_EQ(byte, 0x1F);
    const std::vector<Bytes> expected = {
        {0x20}, {0x10, 0}, {0xFD, 1, 1}, {0x1D, 2, 3, 4}, {6, 0, 0}};
    EXPECT_EQ(fake_.written, expected);
}

// Every C2 packet the target operations send, as TargetCommands builds it,
// with the reply length it waits for.
TEST_F(Link, C2CommandShapes) {
    using ordwin::AddressShape;
    ordwin::TargetCommands& c = *ctx_.commands;
    uint8_t out[8] = {};
    const uint8_t data[] = {0xA1, 0xA2, 0xA3};
    struct Case {
        std::function<int32_t()> call;
        Bytes packet;
        Bytes reply;  // served, so its length is the one the command reads
    } cases[] = {
        {[&] { return c.C2DirectRead(0xE0, out); }, {0x28, 0xE0, 1}, {0x77}},
        {[&] { return c.C2DirectWrite(0xE0, 0x55); }, {0x29, 0xE0, 1, 0x55}, {0x0D}},
        {[&] { return c.C2RegisterRead(0xB4, out); }, {0x36, 0xB4, 1}, {0x5A}},
        {[&] { return c.C2RegisterWrite(0xB4, 0x0D); }, {0x37, 0xB4, 1, 0x0D}, {0x0D}},
        {[&] { return c.MemoryRead(0x2A, AddressShape::kByte, 0x70, 5, out); },
         {0x2A, 0x70, 5},
         {1, 2, 3, 4, 5}},
        {[&] { return c.MemoryRead(0x34, AddressShape::kWord, 0x8061, 2, out); },
         {0x34, 0x61, 0x80, 2},
         {9, 8}},
        {[&] { return c.MemoryRead(0x2C, AddressShape::kDataRegister, 0x84, 3, out); },
         {0x2C, 0x84, 0x00, 3},
         {7, 7, 7}},
        {[&] { return c.MemoryWrite(0x2F, AddressShape::kWord, 0x0102, 3, data); },
         {0x2F, 0x02, 0x01, 3, 0xA1, 0xA2, 0xA3},
         {0x0D}},
        {[&] { return c.MemoryWrite(0x2B, AddressShape::kByte, 0x30, 2, data); },
         {0x2B, 0x30, 2, 0xA1, 0xA2},
         {0x0D}},
        {[&] { return c.PageCrc(0x7F, out); }, {0x31, 0x7F}, {0x12, 0x34}},
        {[&] { return c.PageCrc32(3, out); }, {0x41, 3}, {1, 2, 3, 4}},
        {[&] { return c.PageErase(0x12); }, {0x30, 0x12}, {0x0D}},
        {[&] { return c.DeviceErase(100); }, {0x3C}, {0x0D}},
        {[&] { return c.FirmwareVersionAfterPause(out); }, {0x06, 0, 0}, {31}},
    };
    ctx_.link->SetPause([](int) {});
    for (const Case& k : cases) {
        SCOPED_TRACE(::testing::PrintToString(k.packet));
        fake_.written.clear();
        fake_.Reply(k.reply);
        std::fill(std::begin(out), std::end(out), 0);
        EXPECT_EQ(k.call(), 0);
        ASSERT_EQ(fake_.written.size(), 1u);
        EXPECT_EQ(fake_.written[0], k.packet);
        if (k.reply != Bytes{0x0D}) {
            EXPECT_EQ(Bytes(out, out + k.reply.size()), k.reply);
        }
    }
    // A packet that would not fit one report is refused before it is sent.
    fake_.written.clear();
    uint8_t big[64] = {};
    EXPECT_EQ(c.MemoryWrite(0x2F, AddressShape::kWord, 0, 61, big), ORDWIN_E_INVALIDARG);
    EXPECT_EQ(c.MemoryRead(0x34, AddressShape::kWord, 0, 0, big), ORDWIN_E_INVALIDARG);
    EXPECT_TRUE(fake_.written.empty());
}

TEST_F(Link, JtagCommandShapes) {
    ordwin::TargetCommands& c = *ctx_.commands;
    uint8_t byte = 0;
    const uint8_t data[] = {0x38, 0x00};
    fake_.Reply({0x5A});
    for (int i = 0; i < 4; ++i) fake_.Status(0x0D);
    fake_.Reply({0x01});
    fake_.Status(0x0D);
    EXPECT_EQ(c.JtagDirectRead(0x90, &byte), 0);
    EXPECT_EQ(byte, 0x5A);
    EXPECT_EQ(c.JtagDirectWrite(0x91, 7), 0);
    EXPECT_EQ(c.JtagWriteRegister(0x86, 16, 0x123456), 0);
    EXPECT_EQ(c.JtagDevice(1, 2, 0x0304, 0x0506), 0);
    EXPECT_EQ(c.JtagExitHalt(), 0);
    EXPECT_EQ(c.JtagReadHaltFlag(&byte), 0);
    EXPECT_EQ(byte, 0x01);
    EXPECT_EQ(c.SendJtagState(3, 4), 0);
    EXPECT_EQ(c.SendJtagClocks(0x1234), 0);
    EXPECT_EQ(c.SendJtagScan(64 * 8, 3, 9, 64), 0);
    EXPECT_EQ(c.JtagScan(16, 1, 0, data, sizeof data), 0);
    const std::vector<Bytes> expected = {{0x02, 2, 0x90, 1},
                                         {0x03, 2, 0x91, 7},
                                         {0x0D, 5, 0x86, 16, 0x56, 0x34, 0x12},
                                         {0x1A, 6, 1, 2, 4, 3, 6, 5},
                                         {0x09, 0},
                                         {0x13, 0},
                                         {0x1D, 2, 3, 4},
                                         {0x1F, 2, 0x34, 0x12},
                                         {0x1E, 68, 0x00, 0x02, 3, 9},
                                         {0x1E, 6, 16, 0, 1, 0},
                                         {0x38, 0x00}};
    EXPECT_EQ(fake_.written, expected);
}

// The identity, board-state and halt packets the connect, execution and erase
// paths build through these commands.
TEST_F(Link, JtagIdentityAndHaltShapes) {
    ordwin::TargetCommands& c = *ctx_.commands;
    uint8_t id[6] = {};
    uint8_t byte = 0;
    uint32_t value = 0;
    fake_.Reply({0x21, 0x01, 0x24, 0x00, 3, 9});
    fake_.Reply({0x07});
    fake_.Reply({0x56, 0x34, 0x12});
    for (int i = 0; i < 3; ++i) fake_.Status(0x0D);
    EXPECT_EQ(c.JtagIdentify(id), 0);
    EXPECT_EQ(Bytes(id, id + 6), (Bytes{0x21, 0x01, 0x24, 0x00, 3, 9}));
    EXPECT_EQ(c.JtagReadDebugVersion(&byte), 0);
    EXPECT_EQ(byte, 0x07);
    EXPECT_EQ(c.JtagReadRegister(0x80, 18, &value), 0);
    EXPECT_EQ(value, 0x123456u);
    EXPECT_EQ(c.JtagBoardState(0), 0);
    EXPECT_EQ(c.JtagBoardState(1), 0);
    EXPECT_EQ(c.JtagBoardState(2), 0);
    const std::vector<Bytes> expected = {{0x0A, 0},       {0x10, 0},       {0x0C, 2, 0x80, 18},
                                         {0x0B, 2, 0, 0}, {0x0B, 2, 1, 0}, {0x0B, 2, 2, 0}};
    EXPECT_EQ(fake_.written, expected);

    // The halt flag is read at most eight times and only bit 0 counts.
    fake_.written.clear();
    fake_.Reply({0xFE});
    fake_.Reply({0x01});
    EXPECT_EQ(c.JtagAwaitHalt(), 1);
    EXPECT_EQ(fake_.written, (std::vector<Bytes>{{0x13, 0}, {0x13, 0}}));
    fake_.written.clear();
    for (int i = 0; i < 9; ++i) fake_.Reply({0x00});
    EXPECT_EQ(c.JtagAwaitHalt(), 0);
    EXPECT_EQ(fake_.written.size(), 8u);
}

TEST_F(Link, BlockReadIsCutIntoReportSizedPieces) {
    Bytes reply(60);
    for (int chunk = 0; chunk < 3; ++chunk) {
        for (int i = 0; i < 60; ++i) reply[i] = static_cast<uint8_t>(chunk * 60 + i);
        fake_.Reply(reply);
    }
    uint8_t out[130] = {};
    ASSERT_EQ(ctx_.commands->BlockRead(0x2A, 0x10, 130, out), 0);
    const std::vector<Bytes> expected = {
        {0x2A, 2, 0x10, 60}, {0x2A, 2, 0x10 + 60, 60}, {0x2A, 2, 0x10 + 120, 10}};
    EXPECT_EQ(fake_.written, expected);
    for (int i = 0; i < 130; ++i) ASSERT_EQ(out[i], i) << i;
    fake_.written.clear();
    EXPECT_EQ(ctx_.commands->BlockRead(0x2A, 0, 0, out), 0);
    EXPECT_TRUE(fake_.written.empty());
    EXPECT_EQ(ctx_.commands->BlockRead(0x2A, 0, 256, out), ORDWIN_E_INVALIDARG);
}

TEST_F(Link, BlockReadStopsAtTheFirstFailure) {
    fake_.Reply(Bytes(60, 0xAA));
    uint8_t out[130] = {};
    EXPECT_EQ(ctx_.commands->BlockRead(0x2A, 0, 130, out), ORDWIN_E_NO_RESPONSE);
    EXPECT_EQ(fake_.written.size(), 2u);
    EXPECT_EQ(out[59], 0xAA);
}

TEST_F(Link, BlockWriteWaitsForEachAcknowledgement) {
    Bytes data(130);
    for (int i = 0; i < 130; ++i) data[i] = static_cast<uint8_t>(i);
    fake_.Status(0x0D);
    fake_.Status(0x0D);
    fake_.Status(0x0D);
    ASSERT_EQ(ctx_.commands->BlockWrite(0x2B, 0x05, 130, data.data()), 0);
    ASSERT_EQ(fake_.written.size(), 3u);
    EXPECT_EQ(fake_.written[0].size(), 63u);
    EXPECT_EQ(fake_.written[2].size(), 13u);
    EXPECT_EQ(fake_.written[1][0], 0x2B);
    EXPECT_EQ(fake_.written[1][1], 0x05 + 60);
    EXPECT_EQ(fake_.written[1][2], 60);
    EXPECT_EQ(fake_.written[1][3], 60);
    EXPECT_EQ(fake_.written[2][12], 129);

    fake_.written.clear();
    fake_.Status(0x03);
    EXPECT_EQ(ctx_.commands->BlockWrite(0x2B, 0, 130, data.data()), ORDWIN_E_STATUS_FLASH);
    EXPECT_EQ(fake_.written.size(), 1u);
}

TEST_F(Link, BlockReadWithSixteenBitCounts) {
    int addressed = 0;
    for (int i = 0; i < 5; ++i) fake_.Reply(Bytes(60, static_cast<uint8_t>(i)));
    std::vector<uint8_t> out(300);
    ASSERT_EQ(ctx_.commands->BlockRead16(0x34, 300, out.data(),
                                         [&] {
                                             ++addressed;
                                             return 0;
                                         }),
              0);
    EXPECT_EQ(addressed, 1);
    ASSERT_EQ(fake_.written.size(), 5u);
    EXPECT_EQ(fake_.written[0], (Bytes{0x34, 2, 60, 0}));
    EXPECT_EQ(out[299], 4);
}

TEST_F(Link, PolledCommandRetriesUntilTheLimit) {
    uint64_t now = 0;
    ctx_.commands->SetClock([&] { return now += 100; });
    const uint8_t erase = 0x3C;
    EXPECT_EQ(ctx_.commands->PolledCommand(&erase, 1, 2500), ORDWIN_E_BAD_RESPONSE);
    EXPECT_EQ(fake_.written.size(), 1u) << "the command is sent once";
    EXPECT_GE(now, 2500u);
    EXPECT_LE(now, 2700u);

    fake_.Status(0x00);
    fake_.Status(0x00);
    fake_.Status(0x0D);
    now = 0;
    EXPECT_EQ(ctx_.commands->PolledCommand(&erase, 1, 2500), 0);
    EXPECT_TRUE(fake_.replies.empty());
    // A real failure status ends the wait at once.
    fake_.Status(0x03);
    EXPECT_EQ(ctx_.commands->PolledCommand(&erase, 1, 2500), ORDWIN_E_STATUS_FLASH);
}

TEST_F(Link, SetUsbDeviceMatchesWithoutCase) {
    fake_.serials = {"AB01", "Cd02"};
    fake_.productIds = {0x8A51, 0x8253};
    ASSERT_EQ(ordwin::SetUSBDeviceImpl(ctx_, "cD02"), 0);
    EXPECT_EQ(ctx_.deviceChosen, 1);
    EXPECT_STREQ(ctx_.adapterSerial, "Cd02");
    EXPECT_EQ(ctx_.usbProductId, 0x8253);
    EXPECT_EQ(ctx_.smallAdapter, 1);

    ASSERT_EQ(ordwin::SetUSBDeviceImpl(ctx_, "zz99"), 0);
    EXPECT_EQ(ctx_.deviceChosen, 0);
    EXPECT_STREQ(ctx_.adapterSerial, "");
}

TEST_F(Link, CountingLearnsTheProductId) {
    fake_.serials = {"A", "B", "C"};
    fake_.productIds = {0x8045};
    int count = 0;
    ASSERT_EQ(ordwin::CountUsbAdapters(ctx_, &count), 0);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(ctx_.usbDeviceCount, 3);
    EXPECT_EQ(ctx_.smallAdapter, 1);
}

TEST_F(Link, SmallAdapterReset) {
    ctx_.smallAdapter = 1;
    fake_.controlValues = {0};
    EXPECT_EQ(ctx_.link->ResetAdapter(1), 1);
    EXPECT_TRUE(fake_.controlWrites.empty());

    fake_.controlValues = {1, 0};
    EXPECT_EQ(ctx_.link->ResetAdapter(1), 1);
    EXPECT_EQ(fake_.controlWrites, (std::vector<std::pair<int, int>>{{0x40, 2}}));

    fake_.controlWrites.clear();
    fake_.controlValues = {1, 1, 0};
    EXPECT_EQ(ctx_.link->ResetAdapter(1), 1);
    EXPECT_EQ(fake_.controlWrites, (std::vector<std::pair<int, int>>{{0x40, 2}, {0x40, 1}}));

    fake_.controlWrites.clear();
    fake_.controlValues = {7, 3};
    EXPECT_EQ(ctx_.link->ResetAdapter(1), 0);
    EXPECT_EQ(fake_.controlWrites, (std::vector<std::pair<int, int>>{{0x40, 1}}));
}

TEST_F(Link, LargeAdapterResetFollowsTheMode) {
    ctx_.adapterMode = 1;
    EXPECT_EQ(ctx_.link->ResetAdapter(1), 1);
    ctx_.adapterMode = 2;
    EXPECT_EQ(ctx_.link->ResetAdapter(1), 1);
    EXPECT_EQ(fake_.calls, (std::vector<std::string>{"resetBootMode", "resetAdapter"}));
}

TEST_F(Link, OpenFailuresExplainThemselves) {
    RecordingHost host;
    fake_.openResult = WP_E_INVALID_HANDLE;
    EXPECT_EQ(ctx_.link->OpenLink(), 0);
    fake_.openResult = WP_E_IO;
    EXPECT_EQ(ctx_.link->OpenLink(), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text,
              "Cannot connect to the selected USB debug adapter/Pinrod base adapter.\n\nPlease "
              "check that the device is plugged in and not already in use.");
    // What the HID library knows about the failure follows the message.
    fake_.openResult = WP_E_INVALID_HANDLE;
    api_.getOpenError = [](const char** text) {
        *text = "Permission denied on /dev/hidraw3: fix it so.";
        return WP_OK;
    };
    EXPECT_EQ(ctx_.link->OpenLink(), 0);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[1].text,
              host.messages[0].text + "\n\nPermission denied on /dev/hidraw3: fix it so.");
    fake_.openResult = WP_OK;
    fake_.selected = "AB01";
    EXPECT_EQ(ctx_.link->OpenLink(), 1);
    EXPECT_STREQ(ctx_.adapterSerial, "AB01");
}

TEST_F(Link, TimeoutsAroundIdentification) {
    fake_.Reply({0x24, 0x02});
    fake_.Reply({0x01, 0xD0});
    ASSERT_EQ(ordwin::IdentifyTarget(ctx_), 0);
    EXPECT_EQ(fake_.timeouts, (std::vector<int>{2000, 5000}));
    EXPECT_EQ(ctx_.usbTimeout, 5000);
    EXPECT_EQ(ctx_.hardwareId, 0x24);
    EXPECT_EQ(ctx_.hardwareRevision, 0x02);
    EXPECT_EQ(ctx_.derivativeId, 0xD0);

    // Without the extended id the preset derivative stands in.
    ctx_.readExtendedId = 0;
    ctx_.presetDerivativeId = 0xD2;
    fake_.Reply({0x24, 0x03});
    ASSERT_EQ(ordwin::IdentifyTarget(ctx_), 0);
    EXPECT_EQ(ctx_.derivativeId, 0xD2);
    EXPECT_EQ(fake_.written.back(), Bytes{0x22});
}

TEST_F(Link, RecoveryIsOfferedOncePerConnection) {
    RecordingHost host;
    host.answer = ORDWIN_ID_CANCEL;
    ctx_.connected = 1;
    EXPECT_EQ(ordwin::OfferRecovery(ctx_), 0);
    EXPECT_EQ(ordwin::OfferRecovery(ctx_), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].style, ORDWIN_MB_OKCANCEL_ICON);
    EXPECT_EQ(ctx_.connected, 1) << "declining leaves the connection alone";
}

TEST(ContextSetup, BuffersAndDefaults) {
    DebugContext ctx;
    ASSERT_TRUE(ctx.Setup());
    EXPECT_EQ(ctx.codeImage[0], 0xFF);
    EXPECT_EQ(ctx.codeImage[ordwin::kCodeImageSize - 1], 0xFF);
    EXPECT_EQ(ctx.ramImage[511], 0xFF);
    EXPECT_EQ(ctx.xramImage[0xFFFF], 0xFF);
    EXPECT_EQ(ctx.debugRam[63], 0);
    EXPECT_EQ(ctx.scratch[1023], 0);
    EXPECT_EQ(ctx.connected, 0);
    EXPECT_EQ(ctx.adapterType, 3);
    EXPECT_EQ(ctx.link->LinkType(), 2);
    EXPECT_EQ(ctx.runState, 0xFF);
    EXPECT_EQ(ctx.c2ClockStrobe, 1);
    EXPECT_STREQ(ctx.record->name, "unknown");
}

TEST(ContextSetup, AllocationFailureStopsTheSetup) {
    RecordingHost host;
    DebugContext ctx;
    EXPECT_FALSE(ctx.Setup([](int buffer) { return buffer == 2; }));
    EXPECT_FALSE(ctx.Ready());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Could not allocate required memory for XRAM buffer.");
    EXPECT_TRUE(ctx.codeImage && ctx.ramImage);
    EXPECT_FALSE(ctx.xramImage || ctx.debugRam || ctx.scratch);
}

TEST(ContextSetup, MessagesFollowTheLiveContext) {
    RecordingHost host;
    {
        DebugContext quiet;
        quiet.dialogsDisabled = 1;
        ordwin::ShowMessage("hidden");
    }
    // The library's own context is bound again once the test's one is gone.
    ASSERT_NE(ordwin::Context(), nullptr);
    ordwin::Context()->dialogsDisabled = 0;
    ordwin::ShowMessage("shown");
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "shown");
}

}  // namespace
