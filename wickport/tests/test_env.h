// Shared set-up: each test picks its own adapter list through the environment.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "wickport.h"
#include "wickport_test.h"

class WickportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WpClose();
        WpSetTraceCallback(nullptr, nullptr);
        unsetenv("WICKPORT_TRACE");
        // An empty list forgets the previous test's adapters and selection.
        UseAdapters("");
    }
    void TearDown() override {
        WpClose();
        WpSetTraceCallback(nullptr, nullptr);
        unsetenv("WICKPORT_TRACE");
        unsetenv("WICKPORT_VIRTUAL");
    }

    // Sets the list and enumerates it; returns the count.
    static int UseAdapters(const char* list) {
        setenv("WICKPORT_VIRTUAL", list, 1);
        int count = -1;
        EXPECT_EQ(WpGetDeviceCount(&count), WP_OK);
        return count;
    }

    static std::string SerialAt(int index) {
        const char* sn = nullptr;
        if (WpGetSerialByIndex(index, &sn) != WP_OK || !sn) return "<none>";
        return sn;
    }

    static std::string Selected() {
        const char* sn = nullptr;
        if (WpGetSelectedSerial(&sn) != WP_OK || !sn) return "<none>";
        return sn;
    }
};
