#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "ordwin.h"

namespace {

std::string Msg(int32_t code) {
    return GetErrorMsg(code);
}

TEST(GetErrorMsg, TableTexts) {
    EXPECT_EQ(Msg(0), "Requested operation completed successfully.");
    EXPECT_EQ(Msg(ORDWIN_E_INVALIDARG), "Invalid argument.");
    EXPECT_EQ(Msg(0x81000011), "Target did not respond and may\nbe disconnected.");
    EXPECT_EQ(Msg(0x81000028), "An incorrect response has been recevied.");
    EXPECT_EQ(Msg(0x810400FF), "Device not found.");
    EXPECT_EQ(Msg(0x81030007), "Bootloader failure.");
}

TEST(GetErrorMsg, NotConnectedCodesAreDistinct) {
    EXPECT_EQ(Msg(0x8100801B), "Not connected to target.");
    EXPECT_EQ(Msg(0x8104800B), "Target not connected.");
}

TEST(GetErrorMsg, NotHaltedTextIsShared) {
    EXPECT_EQ(Msg(0x81000003), "Target device is not halted.");
    EXPECT_EQ(Msg(0x81010003), Msg(0x81000003));
}

TEST(GetErrorMsg, UnknownCodesInLowerCaseHex) {
    EXPECT_EQ(Msg(0x1234), "Unknown error code: 0x1234");
    EXPECT_EQ(Msg(0xABCDEF), "Unknown error code: 0xabcdef");
    EXPECT_EQ(Msg(1), "Unknown error code: 0x1");
    // E_FAIL is raised by the library but has no text of its own.
    EXPECT_EQ(Msg(ORDWIN_E_FAIL), "Unknown error code: 0x80004005");
    // Codes neighbouring real ones are not confused with them.
    EXPECT_EQ(Msg(0x8100001B), "Unknown error code: 0x8100001b");
    EXPECT_EQ(Msg(0x81040004), "Unknown error code: 0x81040004");
}

TEST(GetErrorMsg, SystemErrorUsesTheOperatingSystemText) {
    errno = ENOENT;
    EXPECT_EQ(Msg(0x81040006), std::strerror(ENOENT));
    errno = EACCES;
    EXPECT_EQ(Msg(0x81040006), std::strerror(EACCES));
}

TEST(GetErrorMsg, OneStaticBufferOverwrittenByTheNextCall) {
    const char* first = GetErrorMsg(0);
    const char* second = GetErrorMsg(0x8100801B);
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "Not connected to target.");
}

}  // namespace
