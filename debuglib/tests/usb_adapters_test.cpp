// Listing and choosing virtual USB adapters.
#include <gtest/gtest.h>

#include <string>

#include "ordwin.h"
#include "virtual_fixture.h"

namespace {

using UsbListing = VirtualAdapters;

TEST_F(UsbListing, CountsAndNamesTheAdapters) {
    Use("VZ0002;VZ0001");
    int count = -1;
    ASSERT_EQ(USBDebugDevices(&count), 0);
    EXPECT_EQ(count, 2);
    const char* first = nullptr;
    const char* second = nullptr;
    ASSERT_EQ(GetUSBDeviceSN(0, &first), 0);
    ASSERT_EQ(GetUSBDeviceSN(1, &second), 0);
    EXPECT_STREQ(first, "VZ0002");
    EXPECT_STREQ(second, "VZ0001");
    const char* none = nullptr;
    EXPECT_LT(GetUSBDeviceSN(2, &none), 0);
    EXPECT_LT(GetUSBDeviceSN(-1, &none), 0);
}

TEST_F(UsbListing, SetUsbDeviceSelectsRegardlessOfCase) {
    Use("VZ0002;VZ0001");
    ASSERT_EQ(SetUSBDevice("vz0001"), 0);
    const char* selected = nullptr;
    ASSERT_EQ(GetUSBDevice(&selected), 0);
    EXPECT_STREQ(selected, "VZ0001");
}

TEST_F(UsbListing, UnknownSerialIsNotAnError) {
    Use("VZ0002;VZ0001");
    EXPECT_EQ(SetUSBDevice("NOSUCH"), 0);
}

}  // namespace
