#include "zt/platform/module.h"

#include <dlfcn.h>

namespace zt::platform {

std::string ModuleFileName(std::string_view stem) {
    return "lib" + std::string(stem) + ".so";
}

void* LoadModule(const std::string& path, std::string* error) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle && error) {
        const char* why = ::dlerror();
        *error = why ? why : path + ": cannot be loaded";
    }
    return handle;
}

void* ModuleSymbol(void* module, const char* name) {
    return module ? ::dlsym(module, name) : nullptr;
}

void UnloadModule(void* module) {
    if (module) ::dlclose(module);
}

std::string ModuleDirectory(const void* address) {
    Dl_info info{};
    if (!::dladdr(address, &info) || !info.dli_fname) return {};
    const std::string path = info.dli_fname;
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace zt::platform
