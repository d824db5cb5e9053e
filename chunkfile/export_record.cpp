// Export record: TesseraInit and the library's module handle.
//
// A client looks up one name, TesseraInit, and receives the version and the
// entry points of the operations in a record whose dwSize names one of four
// forms. Each pointer is looked up by its export name in the library's own
// module, so the record holds exactly what the export table offers.
#include "chunkfile/export_record.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "chunkfile/diagnostics.h"
#include "chunkfile/module.h"
#include "chunkfile/tessera.h"

namespace tessera {
namespace {

// Written once by the constructor below, before any client can run, and
// by the tests' hook; atomic so that TesseraInit on any thread reads it safely.
std::atomic<void*> g_module{nullptr};

// One pointer field of a form: the export it receives and where it lies.
struct Slot {
    const char* name;
    std::size_t offset;
};

#define TESSERA_SLOT(form, op)  \
    Slot {                      \
#op, offsetof(form, op) \
    }

constexpr Slot kForm84[] = {
    TESSERA_SLOT(TESSERAEXPORT84, ParseRif),         TESSERA_SLOT(TESSERAEXPORT84, CompileRif),
    TESSERA_SLOT(TESSERAEXPORT84, ReleaseBuffer),    TESSERA_SLOT(TESSERAEXPORT84, CreateRifItem),
    TESSERA_SLOT(TESSERAEXPORT84, DeleteRifItem),    TESSERA_SLOT(TESSERAEXPORT84, SetRifItemName),
    TESSERA_SLOT(TESSERAEXPORT84, GetRifItemName),   TESSERA_SLOT(TESSERAEXPORT84, SetRifItemData),
    TESSERA_SLOT(TESSERAEXPORT84, GetRifItemData),   TESSERA_SLOT(TESSERAEXPORT84, IsRifItemFolder),
    TESSERA_SLOT(TESSERAEXPORT84, GetParentRifItem), TESSERA_SLOT(TESSERAEXPORT84, GetChildRifItem),
    TESSERA_SLOT(TESSERAEXPORT84, GetNextRifItem),   TESSERA_SLOT(TESSERAEXPORT84, GetPrevRifItem),
    TESSERA_SLOT(TESSERAEXPORT84, InsertRifItem),    TESSERA_SLOT(TESSERAEXPORT84, RemoveRifItem),
    TESSERA_SLOT(TESSERAEXPORT84, FindFirstRifItem), TESSERA_SLOT(TESSERAEXPORT84, FindNextRifItem),
    TESSERA_SLOT(TESSERAEXPORT84, GetRebShapeData),
};

constexpr Slot kForm108[] = {
    TESSERA_SLOT(TESSERAEXPORT108, LoadRifFile),
    TESSERA_SLOT(TESSERAEXPORT108, SaveRifFile),
    TESSERA_SLOT(TESSERAEXPORT108, LoadRif),
    TESSERA_SLOT(TESSERAEXPORT108, SaveRif),
    TESSERA_SLOT(TESSERAEXPORT108, ParseRif),
    TESSERA_SLOT(TESSERAEXPORT108, CompileRif),
    TESSERA_SLOT(TESSERAEXPORT108, ReleaseBuffer),
    TESSERA_SLOT(TESSERAEXPORT108, CreateRifItem),
    TESSERA_SLOT(TESSERAEXPORT108, DeleteRifItem),
    TESSERA_SLOT(TESSERAEXPORT108, SetRifItemName),
    TESSERA_SLOT(TESSERAEXPORT108, GetRifItemName),
    TESSERA_SLOT(TESSERAEXPORT108, SetRifItemData),
    TESSERA_SLOT(TESSERAEXPORT108, GetRifItemData),
    TESSERA_SLOT(TESSERAEXPORT108, IsRifItemFolder),
    TESSERA_SLOT(TESSERAEXPORT108, GetParentRifItem),
    TESSERA_SLOT(TESSERAEXPORT108, GetChildRifItem),
    TESSERA_SLOT(TESSERAEXPORT108, GetNextRifItem),
    TESSERA_SLOT(TESSERAEXPORT108, GetPrevRifItem),
    TESSERA_SLOT(TESSERAEXPORT108, InsertRifItem),
    TESSERA_SLOT(TESSERAEXPORT108, RemoveRifItem),
    TESSERA_SLOT(TESSERAEXPORT108, FindFirstRifItem),
    TESSERA_SLOT(TESSERAEXPORT108, FindNextRifItem),
    TESSERA_SLOT(TESSERAEXPORT108, GetRebShapeData),
    TESSERA_SLOT(TESSERAEXPORT108, GetLightSetData),
    TESSERA_SLOT(TESSERAEXPORT108, GetRebEnvData),
};

constexpr Slot kForm124[] = {
    TESSERA_SLOT(TESSERAEXPORT124, LoadRifFile),
    TESSERA_SLOT(TESSERAEXPORT124, SaveRifFile),
    TESSERA_SLOT(TESSERAEXPORT124, LoadRif),
    TESSERA_SLOT(TESSERAEXPORT124, SaveRif),
    TESSERA_SLOT(TESSERAEXPORT124, ParseRif),
    TESSERA_SLOT(TESSERAEXPORT124, CompileRif),
    TESSERA_SLOT(TESSERAEXPORT124, ReleaseBuffer),
    TESSERA_SLOT(TESSERAEXPORT124, CreateRifItem),
    TESSERA_SLOT(TESSERAEXPORT124, CreateRifItemFolder),
    TESSERA_SLOT(TESSERAEXPORT124, CreateRifItemChild),
    TESSERA_SLOT(TESSERAEXPORT124, DeleteRifItem),
    TESSERA_SLOT(TESSERAEXPORT124, SetRifItemName),
    TESSERA_SLOT(TESSERAEXPORT124, GetRifItemName),
    TESSERA_SLOT(TESSERAEXPORT124, SetRifItemData),
    TESSERA_SLOT(TESSERAEXPORT124, GetRifItemData),
    TESSERA_SLOT(TESSERAEXPORT124, IsRifItemFolder),
    TESSERA_SLOT(TESSERAEXPORT124, GetParentRifItem),
    TESSERA_SLOT(TESSERAEXPORT124, GetChildRifItem),
    TESSERA_SLOT(TESSERAEXPORT124, GetNextRifItem),
    TESSERA_SLOT(TESSERAEXPORT124, GetPrevRifItem),
    TESSERA_SLOT(TESSERAEXPORT124, InsertRifItem),
    TESSERA_SLOT(TESSERAEXPORT124, InsertRifItemFolder),
    TESSERA_SLOT(TESSERAEXPORT124, InsertRifItemChild),
    TESSERA_SLOT(TESSERAEXPORT124, RemoveRifItem),
    TESSERA_SLOT(TESSERAEXPORT124, FindFirstRifItem),
    TESSERA_SLOT(TESSERAEXPORT124, FindNextRifItem),
    TESSERA_SLOT(TESSERAEXPORT124, GetRebShapeData),
    TESSERA_SLOT(TESSERAEXPORT124, GetLightSetData),
    TESSERA_SLOT(TESSERAEXPORT124, GetRebEnvData),
};

constexpr Slot kForm132[] = {
    TESSERA_SLOT(TESSERAEXPORT, LoadRifFile),
    TESSERA_SLOT(TESSERAEXPORT, SaveRifFile),
    TESSERA_SLOT(TESSERAEXPORT, LoadRif),
    TESSERA_SLOT(TESSERAEXPORT, SaveRif),
    TESSERA_SLOT(TESSERAEXPORT, DecompressRif),
    TESSERA_SLOT(TESSERAEXPORT, CompressRif),
    TESSERA_SLOT(TESSERAEXPORT, ParseRif),
    TESSERA_SLOT(TESSERAEXPORT, CompileRif),
    TESSERA_SLOT(TESSERAEXPORT, ReleaseBuffer),
    TESSERA_SLOT(TESSERAEXPORT, CreateRifItem),
    TESSERA_SLOT(TESSERAEXPORT, CreateRifItemFolder),
    TESSERA_SLOT(TESSERAEXPORT, CreateRifItemChild),
    TESSERA_SLOT(TESSERAEXPORT, DeleteRifItem),
    TESSERA_SLOT(TESSERAEXPORT, SetRifItemName),
    TESSERA_SLOT(TESSERAEXPORT, GetRifItemName),
    TESSERA_SLOT(TESSERAEXPORT, SetRifItemData),
    TESSERA_SLOT(TESSERAEXPORT, GetRifItemData),
    TESSERA_SLOT(TESSERAEXPORT, IsRifItemFolder),
    TESSERA_SLOT(TESSERAEXPORT, GetParentRifItem),
    TESSERA_SLOT(TESSERAEXPORT, GetChildRifItem),
    TESSERA_SLOT(TESSERAEXPORT, GetNextRifItem),
    TESSERA_SLOT(TESSERAEXPORT, GetPrevRifItem),
    TESSERA_SLOT(TESSERAEXPORT, InsertRifItem),
    TESSERA_SLOT(TESSERAEXPORT, InsertRifItemFolder),
    TESSERA_SLOT(TESSERAEXPORT, InsertRifItemChild),
    TESSERA_SLOT(TESSERAEXPORT, RemoveRifItem),
    TESSERA_SLOT(TESSERAEXPORT, FindFirstRifItem),
    TESSERA_SLOT(TESSERAEXPORT, FindNextRifItem),
    TESSERA_SLOT(TESSERAEXPORT, GetRebShapeData),
    TESSERA_SLOT(TESSERAEXPORT, GetLightSetData),
    TESSERA_SLOT(TESSERAEXPORT, GetRebEnvData),
};

#undef TESSERA_SLOT

struct Form {
    std::uint32_t size;
    const Slot* slots;
    std::size_t count;
};

// Smallest first: the order in which a record is tested against the forms.
constexpr Form kForms[] = {
    {sizeof(TESSERAEXPORT84), kForm84, std::size(kForm84)},
    {sizeof(TESSERAEXPORT108), kForm108, std::size(kForm108)},
    {sizeof(TESSERAEXPORT124), kForm124, std::size(kForm124)},
    {sizeof(TESSERAEXPORT), kForm132, std::size(kForm132)},
};

// Every form is the two 32-bit words followed by its pointers, nothing else.
constexpr bool FormsArePacked() {
    for (const Form& form : kForms) {
        if (form.size != 8 + form.count * sizeof(void*)) {
            return false;
        }
        for (std::size_t i = 0; i < form.count; ++i) {
            if (form.slots[i].offset != 8 + i * sizeof(void*)) {
                return false;
            }
        }
    }
    return true;
}
static_assert(FormsArePacked(), "a form's slot table does not match its struct");
static_assert(offsetof(TESSERAEXPORT, dwVersion) == 4);

}  // namespace

void* ModuleHandle() {
    return g_module.load();
}

void* SetModuleHandle(void* handle) {
    return g_module.exchange(handle);
}

bool InitRecord(void* record) {
    void* module = ModuleHandle();
    if (module == nullptr) {
        Diagnose("ERROR: Tessera.dll has not been loaded properly.\n");
        Diagnose("(there's no valid HINSTANCE in here)\n");
        return false;
    }
    const Form* form = nullptr;
    if (record != nullptr) {
        std::uint32_t size = 0;
        std::memcpy(&size, record, sizeof size);
        for (const Form& candidate : kForms) {
            if (candidate.size == size) {
                form = &candidate;
                break;
            }
        }
    }
    if (form == nullptr) {
        Diagnose("ERROR: Invalid parameter in Tessera.dll: TesseraInit(...)\n");
        Diagnose("please pass a valid pointer to a an existing TESSERAEXPORT structure\n");
        Diagnose("which has been properly initialized. (dwSize = sizeof(TESSERAEXPORT))\n");
        return false;
    }

    auto* bytes = static_cast<unsigned char*>(record);
    const std::uint32_t version = TESSERA_VERSION;
    std::memcpy(bytes + offsetof(TESSERAEXPORT, dwVersion), &version, sizeof version);
    bool complete = true;
    // The text of the last failed look-up, as the system gives it.
    char lastError[512] = "";
    for (std::size_t i = 0; i < form->count; ++i) {
        void* entry =
            tessera::os::LookUpExport(module, form->slots[i].name, lastError, sizeof lastError);
        if (entry == nullptr) {
            complete = false;
        }
        std::memcpy(bytes + form->slots[i].offset, &entry, sizeof entry);
    }
    if (!complete) {
        Diagnose("ERROR: Initialization failure in Tessera.dll: TesseraInit(...)\n");
        Diagnose("  GetProcAddress(...) returned NULL for one or more exported functions:\n  ");
        Diagnose(lastError);
        return false;
    }
    return true;
}

}  // namespace tessera

extern "C" TESSERA_API RifBool TesseraInit(void* record) {
    return tessera::InitRecord(record) ? 1 : 0;
}
