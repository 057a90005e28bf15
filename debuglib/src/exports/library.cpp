// The library's lifetime: the debug context exists from load to unload.
#include "exports/debug_context.h"

namespace ordwin {
namespace {

DebugContext* g_context = nullptr;

__attribute__((constructor)) void LoadLibrary() {
    g_context = new DebugContext();
    // Load succeeds even when set-up failed; the exports then refuse work.
    g_context->Setup();
}

__attribute__((destructor)) void UnloadLibrary() {
    delete g_context;
    g_context = nullptr;
}

}  // namespace

DebugContext* Context() {
    return g_context;
}

}  // namespace ordwin
