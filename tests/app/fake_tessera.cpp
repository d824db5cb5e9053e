// A stand-in for the Tessera library with only its init export: it either
// fills the record's version or refuses, as the build chooses.
#include "chunkfile/tessera.h"

#include <cstring>

extern "C" __attribute__((visibility("default"))) RifBool TesseraInit(void* record) {
#ifdef FAKE_TESSERA_REFUSES
    (void)record;
    return 0;
#else
    auto* full = static_cast<TESSERAEXPORT*>(record);
    if (full->dwSize != sizeof(TESSERAEXPORT)) {
        return 0;
    }
    full->dwVersion = TESSERA_VERSION;
    return 1;
#endif
}
