// The export record's internals: the library's own module handle.
#pragma once

namespace tessera {

// The handle that TesseraInit looks the operations up in: the shared
// library's own when it is loaded as one; the main program's when the static
// library is linked into a program (whose symbols are then found only when it
// exports them, as with -rdynamic). Null when none could be had.
void* ModuleHandle();

// TesseraInit: fills the record whose dwSize names one of the forms.
bool InitRecord(void* record);

// Test hook: replaces the recorded handle and returns the previous one.
void* SetModuleHandle(void* handle);

}  // namespace tessera
