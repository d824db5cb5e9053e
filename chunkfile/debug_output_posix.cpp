// POSIX systems have no debugger output; the diagnostic sink's standard-error
// channel (TESSERA_DEBUG) and its capture hook are all there is.
#include "chunkfile/debug_output.h"

void tessera::os::SendToDebugger(const char* /*message*/) {}
