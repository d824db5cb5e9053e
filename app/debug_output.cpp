#include "app/debug_output.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace gearloft {
namespace {

DebugOutputHook g_hook = nullptr;
void* g_hookContext = nullptr;

bool DebugOutputEnabled() {
    static const bool enabled = DebugSwitchOn(std::getenv("GEARLOFT_DEBUG"));
    return enabled;
}

}  // namespace

bool DebugSwitchOn(const char* value) {
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

void DebugOutput(const char* message) {
    if (g_hook != nullptr) {
        g_hook(message, g_hookContext);
    }
    if (DebugOutputEnabled()) {
        std::fputs(message, stderr);
        std::fflush(stderr);
    }
}

DebugOutputHook SetDebugOutputHook(DebugOutputHook hook, void* context) {
    DebugOutputHook previous = g_hook;
    g_hook = hook;
    g_hookContext = context;
    return previous;
}

}  // namespace gearloft
