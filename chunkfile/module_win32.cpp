// The library's module on Windows: DllMain records its instance handle, and
// TesseraInit looks the operations up with GetProcAddress on it.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "chunkfile/export_record.h"
#include "chunkfile/module.h"

// The handle is recorded once, when the library is attached to the process,
// and never cleared: it stays valid for as long as the library's code can
// run. Nothing else is done for any reason.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        tessera::SetModuleHandle(instance);
    }
    return TRUE;
}

namespace tessera {

void* os::LookUpExport(void* module, const char* name, char* text, std::size_t capacity) {
    const FARPROC entry = GetProcAddress(static_cast<HMODULE>(module), name);
    if (entry != nullptr) {
        return reinterpret_cast<void*>(entry);
    }
    // The system's own words for the failure, as the client would see them.
    const DWORD error = GetLastError();
    char* message = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, error,
                       0, reinterpret_cast<char*>(&message), 0, nullptr);
    if (length != 0 && message != nullptr) {
        std::snprintf(text, capacity, "%s", message);
    } else {
        std::snprintf(text, capacity, "system error %lu\n", static_cast<unsigned long>(error));
    }
    if (message != nullptr) {
        LocalFree(message);
    }
    return nullptr;
}

}  // namespace tessera
