// The program's debug output.
//
// Warnings that a user never sees as a message box (the profile file's few
// lines) go through DebugOutput(): one call is one message, sent exactly as
// given. The lines go to standard error when the environment variable
// GEARLOFT_DEBUG is set to a value other than "0" or an empty one, and to a
// capture hook when a test has installed one; nowhere otherwise.
#pragma once

namespace gearloft {

void DebugOutput(const char* message);

// Whether a debug switch's value (an environment variable's, null when it is
// not set) turns the output on: unset, empty and "0" mean off.
bool DebugSwitchOn(const char* value);

// Receives each message; tests install one to assert the exact lines.
using DebugOutputHook = void (*)(const char* message, void* context);

// Installs the hook (null removes it) and returns the previous one.
DebugOutputHook SetDebugOutputHook(DebugOutputHook hook, void* context);

}  // namespace gearloft
