// Where the system sends a program's debugging text, if it has such a place.
#pragma once

namespace tessera::os {

// Hands one diagnostic message to the system's debugger output:
// OutputDebugStringA on Windows (debug_output_win32.cpp); nothing on POSIX
// systems, which have no such channel (debug_output_posix.cpp).
void SendToDebugger(const char* message);

}  // namespace tessera::os
