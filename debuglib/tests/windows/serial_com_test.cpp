// ordwin.dll over a real serial line: the COM port named by ORDWIN_TEST_COM
// is a Wine COM device pointed at a virtual serial adapter's pseudo-terminal.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "ordwin.h"

namespace {

TEST(WindowsSerialAdapter, ConnectsIdentifiesAndDownloadsOverTheComPort) {
    const char* com = std::getenv("ORDWIN_TEST_COM");
    const char* hex = std::getenv("ORDWIN_TEST_HEX");
    if (!com || !hex) GTEST_SKIP() << "needs a virtual serial adapter behind a Wine COM port";
    const int port = std::atoi(com);
    ASSERT_EQ(Connect(port, 1, 1, 1), 0);
    EXPECT_EQ(Connected(), 1);
    const char* name = nullptr;
    ASSERT_EQ(GetDeviceName(&name), 0);
    EXPECT_NE(std::string(name).find("Zeltra"), std::string::npos) << name;
    std::string image = hex;
    EXPECT_EQ(Download(image.data(), 0, 1, 0, -1, 0, 0), 0);
    EXPECT_EQ(Disconnect(port), 0);
    EXPECT_EQ(Connected(), 0);
}

}  // namespace
