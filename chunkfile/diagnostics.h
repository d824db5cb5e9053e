// The library's one diagnostic sink.
//
// Every warning or error line the library reports goes through Diagnose():
// one call is one message, sent exactly as given (most end in a line feed,
// a few of the codec's do not). The lines go to the system's debugger output
// where it has one (OutputDebugStringA on Windows), to standard error when the
// environment variable TESSERA_DEBUG is set, and to a capture hook when a test
// has installed one.
#pragma once

namespace tessera {

void Diagnose(const char* message);

// Receives each message; tests install one to assert the exact lines.
using DiagnosticHook = void (*)(const char* message, void* context);

// Installs the hook (null removes it) and returns the previous one. The hook
// is called with a lock held: one message at a time, never after it has been
// replaced, and it must not call back into the library.
DiagnosticHook SetDiagnosticHook(DiagnosticHook hook, void* context);

}  // namespace tessera
