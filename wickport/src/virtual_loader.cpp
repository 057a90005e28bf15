// Loads the virtual backend from its module beside this library.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "backend.h"
#include "wickport.h"
#include "zt/platform/module.h"
#include "zt/platform/places.h"

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

// The directory this library was loaded from, so the build tree and an
// install both find their own copy; installed, the module lives in a folder of
// its own under it (it is no library anyone links), in a build tree beside it.
std::string VirtualLibraryPath() {
    const std::string own =
        zt::platform::ModuleDirectory(reinterpret_cast<const void*>(&MakeVirtualBackend));
    const std::string name = zt::platform::ModuleFileName(kVirtualLibrary);
    const std::string installed = own + "wickport" + zt::platform::kPathSeparator + name;
    std::error_code ec;
    if (!own.empty() && std::filesystem::exists(installed, ec)) return installed;
    return own + name;
}

Backend* Load(std::string* problem) {
    const std::string path = VirtualLibraryPath();
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
