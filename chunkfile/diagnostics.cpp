#include "diagnostics.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tessera {
namespace {

DiagnosticHook g_hook = nullptr;
void* g_hookContext = nullptr;

bool DebugOutputEnabled() {
    // Unset, empty and "0" leave the output off.
    static const char* const value = std::getenv("TESSERA_DEBUG");
    static const bool enabled = value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
    return enabled;
}

}  // namespace

void Diagnose(const char* message) {
    if (g_hook != nullptr) {
        g_hook(message, g_hookContext);
    }
    if (DebugOutputEnabled()) {
        std::fputs(message, stderr);
        std::fflush(stderr);
    }
}

DiagnosticHook SetDiagnosticHook(DiagnosticHook hook, void* context) {
    DiagnosticHook previous = g_hook;
    g_hook = hook;
    g_hookContext = context;
    return previous;
}

}  // namespace tessera
