// Diagnostic lines reach a debugger, or a tool that watches the debugger
// output, through OutputDebugStringA.
#include <windows.h>

#include "chunkfile/debug_output.h"

void tessera::os::SendToDebugger(const char* message) {
    OutputDebugStringA(message);
}
