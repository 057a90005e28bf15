// Loads the virtual backend from the library beside this one.
#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "backend.h"
#include "wickport.h"

namespace wickport {
namespace {

// Stands in when the virtual library cannot be had: no virtual adapters.
class NoAdapters final : public Backend {
  public:
    std::vector<AdapterInfo> Enumerate() override { return {}; }
    bool Present(const AdapterInfo&) override { return false; }
    int Open(const AdapterInfo&, std::unique_ptr<Device>*, std::string*) override {
        return WP_E_INVALID_HANDLE;
    }
};

// The directory this library was loaded from (with its '/'), so the build tree
// and an install both find their own copy; empty leaves the search to dlopen.
std::string OwnDirectory() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&MakeVirtualBackend), &info) || !info.dli_fname) return {};
    std::string path = info.dli_fname;
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

Backend* Load(std::string* problem) {
    const std::string path = OwnDirectory() + kVirtualLibrary;
    // The library stays loaded for the process's life: its backend is never freed.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        *problem = why ? why : path + ": cannot be loaded";
        return nullptr;
    }
    auto factory = reinterpret_cast<VirtualFactory>(dlsym(handle, kVirtualFactory));
    Backend* backend = factory ? factory(kBackendInterface) : nullptr;
    if (!backend) {
        *problem = path + (factory ? ": built for another version of Wickport"
                                   : ": not Wickport's virtual adapter library");
        dlclose(handle);
    }
    return backend;
}

}  // namespace

std::unique_ptr<Backend> MakeVirtualBackend() {
    std::string problem;
    if (Backend* backend = Load(&problem)) return std::unique_ptr<Backend>(backend);
    std::fprintf(stderr,
                 "wickport: WICKPORT_VIRTUAL is set but no virtual adapters can be had: %s\n",
                 problem.c_str());
    return std::make_unique<NoAdapters>();
}

}  // namespace wickport
