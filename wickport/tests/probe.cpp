// A user's program on Wickport alone: prints the virtual adapters it lists and
// whether the simulator's library came into the process.
#include <link.h>

#include <cstdio>
#include <cstring>

#include "wickport.h"

int main() {
    int count = 0, backend = -1;
    const char* serial = nullptr;
    WpGetDeviceCount(&count);
    for (int i = 0; i < count; ++i) {
        if (WpGetSerialByIndex(i, &serial) == WP_OK && WpSelectDevice(serial) == WP_OK &&
            WpGetBackend(&backend) == WP_OK && backend == WP_BACKEND_VIRTUAL)
            std::printf("%s\n", serial);
    }
    bool loaded = false;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* found) {
            if (std::strstr(info->dlpi_name, "libwickport-virtual"))
                *static_cast<bool*>(found) = true;
            return 0;
        },
        &loaded);
    std::printf("simulator %s\n", loaded ? "loaded" : "absent");
}
