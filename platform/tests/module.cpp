// A module for the loader tests, exporting one C function.
#ifdef _WIN32
#define ZT_TEST_EXPORT extern "C" __declspec(dllexport)
#else
#define ZT_TEST_EXPORT extern "C" __attribute__((visibility("default")))
#endif

ZT_TEST_EXPORT int ZtPlatformTestAnswer() {
    return 42;
}
