#include "chunkfile/diagnostics.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "chunkfile/debug_output.h"

namespace tessera {
namespace {

// The hook and its context change together and are used together, so one
// lock guards both. Diagnose calls the hook under it: once SetDiagnosticHook
// has returned, the previous hook is never called again, on any thread, and
// the lines of several threads reach a hook one at a time. A spin lock on an
// atomic flag, since the lock is rare and short, and the library builds with
// toolchains whose standard library has no std::mutex.
class HookLock {
public:
    HookLock() {
        while (s_flag.test_and_set(std::memory_order_acquire)) {
        }
    }
    ~HookLock() { s_flag.clear(std::memory_order_release); }
    HookLock(const HookLock&) = delete;
    HookLock& operator=(const HookLock&) = delete;

private:
    static inline std::atomic_flag s_flag;
};

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
    {
        const HookLock lock;
        if (g_hook != nullptr) {
            g_hook(message, g_hookContext);
        }
    }
    os::SendToDebugger(message);
    if (DebugOutputEnabled()) {
        std::fputs(message, stderr);
        std::fflush(stderr);
    }
}

DiagnosticHook SetDiagnosticHook(DiagnosticHook hook, void* context) {
    const HookLock lock;
    DiagnosticHook previous = g_hook;
    g_hook = hook;
    g_hookContext = context;
    return previous;
}

}  // namespace tessera
