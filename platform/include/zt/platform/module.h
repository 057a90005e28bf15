// Loading a shared library at run time and finding a symbol in it.
#pragma once

#include <string>
#include <string_view>

namespace zt::platform {

// The file name of a module built from target `stem`: "libstem.so" or "stem.dll".
std::string ModuleFileName(std::string_view stem);

// Loads the module at `path` (it stays loaded until UnloadModule); nullptr and
// the loader's reason in *error when it cannot.
void* LoadModule(const std::string& path, std::string* error);
void* ModuleSymbol(void* module, const char* name);
void UnloadModule(void* module);

// The directory, with its trailing separator, of the module holding `address`
// (a function of the caller's own module); empty when unknown.
std::string ModuleDirectory(const void* address);

}  // namespace zt::platform
