// The library's module on POSIX systems: its dlopen handle and dlsym.
#include <dlfcn.h>

#include <cstdio>

#include "chunkfile/export_record.h"
#include "chunkfile/module.h"
#include "chunkfile/tessera.h"

namespace tessera {
namespace {

// Records the module handle when the library is loaded, before any client can
// call TesseraInit. dlopen with RTLD_NOLOAD only finds the object that is
// being loaded; the reference it adds is dropped at once, so that the
// client's dlclose still unloads the library (the handle stays valid for as
// long as the library is loaded, which is as long as this code can run). In a
// program that links the static library the object is the program itself,
// which dlopen does not find by name; the program's own handle stands in.
//
// The address asked about is this function's own: it has internal linkage,
// so it always lies in this library, whereas an exported name could resolve
// to a function of the same name that the program defines.
__attribute__((constructor)) void RecordModuleHandle() {
    void* module = nullptr;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&RecordModuleHandle), &info) != 0 &&
        info.dli_fname != nullptr && info.dli_fname[0] != '\0') {
        module = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
    }
    if (module == nullptr) {
        module = dlopen(nullptr, RTLD_LAZY);
    }
    if (module != nullptr) {
        dlclose(module);
    }
    SetModuleHandle(module);
}

}  // namespace

void* os::LookUpExport(void* module, const char* name, char* text, std::size_t capacity) {
    dlerror();
    void* entry = dlsym(module, name);
    if (entry == nullptr) {
        const char* error = dlerror();
        std::snprintf(text, capacity, "%s\n", error != nullptr ? error : "no error text");
    }
    return entry;
}

}  // namespace tessera
