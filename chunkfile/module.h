// The library's own module, as the system loads it: where TesseraInit looks
// the operations up.
//
// The handle itself is recorded through SetModuleHandle (export_record.h)
// when the library is loaded: by an ELF constructor on POSIX systems
// (module_posix.cpp), by DllMain on Windows (module_win32.cpp).
#pragma once

#include <cstddef>

namespace tessera::os {

// The entry point exported under name by module, or null. On failure the
// system's text for it is written to text (at most capacity bytes, always
// terminated), ending in a line break.
void* LookUpExport(void* module, const char* name, char* text, std::size_t capacity);

}  // namespace tessera::os
