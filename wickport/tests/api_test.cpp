#include <gtest/gtest.h>

#include "wickport.h"

TEST(WickportApi, VersionText) {
    const char* v = nullptr;
    ASSERT_EQ(WpGetVersion(&v), WP_OK);
    EXPECT_STREQ(v, "1.0.0");
}
