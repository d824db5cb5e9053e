#include "diagnostics.h"

#include <cstdio>
#include <cstdlib>

#include "chunkfile/debug_output.h"

namespace tessera {
namespace {

DiagnosticHook g_hook = nullptr;
void* g_hookContext = nullptr;

bool DebugOutputEnabled() {
    static const bool enabled = std::getenv("TESSERA_DEBUG") != nullptr;
    return enabled;
}

}  // namespace

void Diagnose(const char* message) {
    if (g_hook != nullptr) {
        g_hook(message, g_hookContext);
    }
    os::SendToDebugger(message);
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
