// The adapter list is taken from the environment the host process had when
// it loaded the library; nothing here touches the environment itself.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

namespace {

// Kept loaded like a host keeps it: the HID library below never frees its
// adapter list, so unloading would only turn that into a leak report.
struct Library {
    Library() : handle(dlopen(ORDWIN_LIBRARY_PATH, RTLD_NOW)) {}
    template <typename F>
    F* Get(const char* name) {
        return reinterpret_cast<F*>(dlsym(handle, name));
    }
    void* handle;
};

TEST(LoadEnvironment, TwoVirtualAdapters) {
    Library lib;
    ASSERT_NE(lib.handle, nullptr) << dlerror();
    auto* count = lib.Get<int(int*)>("USBDebugDevices");
    auto* serialAt = lib.Get<int(int, const char**)>("GetUSBDeviceSN");
    ASSERT_TRUE(count && serialAt);
    int n = -1;
    ASSERT_EQ(count(&n), 0);
    ASSERT_EQ(n, 2);
    const char* first = nullptr;
    const char* second = nullptr;
    ASSERT_EQ(serialAt(0, &first), 0);
    ASSERT_EQ(serialAt(1, &second), 0);
    EXPECT_EQ(std::string(first), "VZ0002");
    EXPECT_EQ(std::string(second), "VZ0001");
}

TEST(LoadEnvironment, NoAdapterSource) {
    Library lib;
    ASSERT_NE(lib.handle, nullptr) << dlerror();
    auto* count = lib.Get<int(int*)>("USBDebugDevices");
    ASSERT_NE(count, nullptr);
    int n = -1;
    EXPECT_EQ(count(&n), 0);
    EXPECT_EQ(n, 0);
}

}  // namespace
