// Loads the virtual backend from the library beside this one.
#include <cstdio>
#include <string>

#include "backend.h"
#include "wickport.h"
#include "zt/platform/module.h"

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

Backend* Load(std::string* problem) {
    // The directory this library was loaded from, so the build tree and an
    // install both find their own copy; empty leaves the search to the loader.
    const std::string path =
        zt::platform::ModuleDirectory(reinterpret_cast<const void*>(&MakeVirtualBackend)) +
        zt::platform::ModuleFileName(kVirtualLibrary);
    // The library stays loaded for the process's life: its backend is never freed.
    void* handle = zt::platform::LoadModule(path, problem);
    if (!handle) return nullptr;
    auto factory =
        reinterpret_cast<VirtualFactory>(zt::platform::ModuleSymbol(handle, kVirtualFactory));
    Backend* backend = factory ? factory(kBackendInterface) : nullptr;
    if (!backend) {
        *problem = path + (factory ? ": built for another version of Wickport"
                                   : ": not Wickport's virtual adapter library");
        zt::platform::UnloadModule(handle);
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
