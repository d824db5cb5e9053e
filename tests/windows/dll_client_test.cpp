// A client of Tessera.dll, as a Windows program binds it: LoadLibraryA by
// name, TesseraInit by name and by ordinal 1, then everything through the
// record. Checks the export table at run time (every slot of the 62 by
// ordinal and by name), each record form against it, the refusals and their
// lines on the debugger output, a level saved and loaded again, and saves
// that must leave the old file as it was.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "chunkfile/tessera.h"
#include "tests/windows/check.h"

namespace {

using tessera_win_test::Context;
using Bytes = std::vector<unsigned char>;

HMODULE g_library = nullptr;

// The export table clients bind to: name and ordinal.
struct Export {
    const char* name;
    WORD ordinal;
};
constexpr Export kExports[] = {
    {"TesseraInit", 1},
    {"LoadRifFile", 2},
    {"SaveRifFile", 3},
    {"LoadRif", 4},
    {"SaveRif", 5},
    {"ParseRif", 6},
    {"CompileRif", 7},
    {"CompressRif", 8},
    {"DecompressRif", 9},
    {"ReleaseBuffer", 10},
    {"CreateRifItem", 20},
    {"CreateRifItemFolder", 21},
    {"CreateRifItemChild", 22},
    {"DeleteRifItem", 23},
    {"SetRifItemName", 24},
    {"GetRifItemName", 25},
    {"SetRifItemData", 26},
    {"GetRifItemData", 27},
    {"IsRifItemFolder", 30},
    {"GetParentRifItem", 31},
    {"GetChildRifItem", 32},
    {"GetNextRifItem", 33},
    {"GetPrevRifItem", 34},
    {"InsertRifItem", 40},
    {"InsertRifItemFolder", 41},
    {"InsertRifItemChild", 42},
    {"RemoveRifItem", 43},
    {"FindFirstRifItem", 50},
    {"FindNextRifItem", 51},
    {"GetRebShapeData", 60},
    {"GetLightSetData", 61},
    {"GetRebEnvData", 62},
};

void* ByName(const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(g_library, name));
}
void* ByOrdinal(WORD ordinal) {
    return reinterpret_cast<void*>(GetProcAddress(g_library, MAKEINTRESOURCEA(ordinal)));
}
WORD OrdinalOf(const char* name) {
    for (const Export& e : kExports) {
        if (std::strcmp(e.name, name) == 0) {
            return e.ordinal;
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------
// The debugger output, seen from inside the process: OutputDebugStringA
// raises DBG_PRINTEXCEPTION_C, which a vectored handler sees before the
// system handles it.

std::vector<std::string> g_debugLines;

LONG CALLBACK WatchDebugOutput(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
        g_debugLines.emplace_back(reinterpret_cast<const char*>(record->ExceptionInformation[1]));
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

const std::vector<std::string> kInvalidLines = {
    "ERROR: Invalid parameter in Tessera.dll: TesseraInit(...)\n",
    "please pass a valid pointer to a an existing TESSERAEXPORT structure\n",
    "which has been properly initialized. (dwSize = sizeof(TESSERAEXPORT))\n",
};

// ---------------------------------------------------------------------------
// Records

// The operations of each form in field order (the tessera.h structs).
const std::vector<const char*> kForm84 = {
    "ParseRif",         "CompileRif",       "ReleaseBuffer",   "CreateRifItem",  "DeleteRifItem",
    "SetRifItemName",   "GetRifItemName",   "SetRifItemData",  "GetRifItemData", "IsRifItemFolder",
    "GetParentRifItem", "GetChildRifItem",  "GetNextRifItem",  "GetPrevRifItem", "InsertRifItem",
    "RemoveRifItem",    "FindFirstRifItem", "FindNextRifItem", "GetRebShapeData"};
const std::vector<const char*> kForm108 = {
    "LoadRifFile",      "SaveRifFile",     "LoadRif",         "SaveRif",         "ParseRif",
    "CompileRif",       "ReleaseBuffer",   "CreateRifItem",   "DeleteRifItem",   "SetRifItemName",
    "GetRifItemName",   "SetRifItemData",  "GetRifItemData",  "IsRifItemFolder", "GetParentRifItem",
    "GetChildRifItem",  "GetNextRifItem",  "GetPrevRifItem",  "InsertRifItem",   "RemoveRifItem",
    "FindFirstRifItem", "FindNextRifItem", "GetRebShapeData", "GetLightSetData", "GetRebEnvData"};
const std::vector<const char*> kForm124 = {"LoadRifFile",
                                           "SaveRifFile",
                                           "LoadRif",
                                           "SaveRif",
                                           "ParseRif",
                                           "CompileRif",
                                           "ReleaseBuffer",
                                           "CreateRifItem",
                                           "CreateRifItemFolder",
                                           "CreateRifItemChild",
                                           "DeleteRifItem",
                                           "SetRifItemName",
                                           "GetRifItemName",
                                           "SetRifItemData",
                                           "GetRifItemData",
                                           "IsRifItemFolder",
                                           "GetParentRifItem",
                                           "GetChildRifItem",
                                           "GetNextRifItem",
                                           "GetPrevRifItem",
                                           "InsertRifItem",
                                           "InsertRifItemFolder",
                                           "InsertRifItemChild",
                                           "RemoveRifItem",
                                           "FindFirstRifItem",
                                           "FindNextRifItem",
                                           "GetRebShapeData",
                                           "GetLightSetData",
                                           "GetRebEnvData"};
const std::vector<const char*> kForm132 = {"LoadRifFile",
                                           "SaveRifFile",
                                           "LoadRif",
                                           "SaveRif",
                                           "DecompressRif",
                                           "CompressRif",
                                           "ParseRif",
                                           "CompileRif",
                                           "ReleaseBuffer",
                                           "CreateRifItem",
                                           "CreateRifItemFolder",
                                           "CreateRifItemChild",
                                           "DeleteRifItem",
                                           "SetRifItemName",
                                           "GetRifItemName",
                                           "SetRifItemData",
                                           "GetRifItemData",
                                           "IsRifItemFolder",
                                           "GetParentRifItem",
                                           "GetChildRifItem",
                                           "GetNextRifItem",
                                           "GetPrevRifItem",
                                           "InsertRifItem",
                                           "InsertRifItemFolder",
                                           "InsertRifItemChild",
                                           "RemoveRifItem",
                                           "FindFirstRifItem",
                                           "FindNextRifItem",
                                           "GetRebShapeData",
                                           "GetLightSetData",
                                           "GetRebEnvData"};

constexpr unsigned char kCanary = 0xA5;
constexpr std::size_t kBufferSize = 512;

// A record at the start of a larger buffer of canaries, so that a write past
// the form shows.
struct Buffer {
    alignas(8) unsigned char bytes[kBufferSize];
    explicit Buffer(std::uint32_t size) {
        std::memset(bytes, kCanary, sizeof bytes);
        std::memcpy(bytes, &size, sizeof size);
    }
    std::uint32_t Word(std::size_t offset) const {
        std::uint32_t value;
        std::memcpy(&value, bytes + offset, sizeof value);
        return value;
    }
    void* Pointer(std::size_t index) const {
        void* value;
        std::memcpy(&value, bytes + 8 + index * sizeof(void*), sizeof value);
        return value;
    }
};

void ExportTableHasEveryOperationAtItsOrdinal() {
    for (WORD ordinal = 1; ordinal <= 63; ++ordinal) {
        Context c("ordinal " + std::to_string(ordinal));
        const Export* named = nullptr;
        for (const Export& e : kExports) {
            if (e.ordinal == ordinal) {
                named = &e;
            }
        }
        if (named != nullptr) {
            CHECK(ByOrdinal(ordinal) != nullptr);
            CHECK(ByOrdinal(ordinal) == ByName(named->name));
        } else {
            CHECK(ByOrdinal(ordinal) == nullptr);  // an empty slot, or past the table
        }
    }
    CHECK(ByName("DllMain") == nullptr);
}

// The version resource: 1.4.0.0 as file and product version, and the
// library's name.
void VersionResourceNamesTheLibrary() {
    char path[MAX_PATH];
    CHECK(GetModuleFileNameA(g_library, path, sizeof path) != 0);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (!CHECK(size != 0)) {
        return;
    }
    std::vector<unsigned char> info(size);
    CHECK(GetFileVersionInfoA(path, 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (CHECK(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length))) {
        CHECK(fixed->dwFileVersionMS == 0x00010004u && fixed->dwFileVersionLS == 0);
        CHECK(fixed->dwProductVersionMS == 0x00010004u && fixed->dwProductVersionLS == 0);
        CHECK(fixed->dwFileType == VFT_DLL);
    }
    const struct {
        const char* key;
        const char* value;
    } strings[] = {
        {"ProductName", "Tessera"},
        {"OriginalFilename", "Tessera.dll"},
        {"FileVersion", "1.4.0.0"},
        {"ProductVersion", "1.4.0.0"},
    };
    for (const auto& item : strings) {
        Context c(item.key);
        char* text = nullptr;
        const std::string query = std::string("\\StringFileInfo\\040904b0\\") + item.key;
        CHECK(
            VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) &&
            std::strcmp(text, item.value) == 0);
    }
}

void EachFormGetsItsPointersAndNotOneByteMore(PFN_TesseraInit init) {
    const struct {
        std::uint32_t size;
        const std::vector<const char*>* names;
    } forms[] = {
        {sizeof(TESSERAEXPORT84), &kForm84},
        {sizeof(TESSERAEXPORT108), &kForm108},
        {sizeof(TESSERAEXPORT124), &kForm124},
        {sizeof(TESSERAEXPORT), &kForm132},
    };
    for (const auto& form : forms) {
        Context c("form of " + std::to_string(form.size) + " bytes");
        CHECK(form.size == 8 + form.names->size() * sizeof(void*));
        Buffer record(form.size);
        g_debugLines.clear();
        CHECK(init(record.bytes) == 1);
        CHECK(g_debugLines.empty());
        CHECK(record.Word(0) == form.size);
        CHECK(record.Word(4) == 0x01040000u);
        for (std::size_t i = 0; i < form.names->size(); ++i) {
            const char* name = (*form.names)[i];
            Context field(std::string(name) + " at pointer " + std::to_string(i + 1) + " of " +
                          std::to_string(form.size) + " bytes");
            CHECK(record.Pointer(i) != nullptr);
            CHECK(record.Pointer(i) == ByName(name));
            CHECK(record.Pointer(i) == ByOrdinal(OrdinalOf(name)));
        }
        bool untouched = true;
        for (std::size_t i = form.size; i < kBufferSize; ++i) {
            untouched = untouched && record.bytes[i] == kCanary;
        }
        CHECK(untouched);
    }
}

void AWrongSizeWritesNothing(PFN_TesseraInit init) {
    std::vector<std::uint32_t> sizes = {0, 100, 161, 255, 257, 0xFFFFFFFFu};
    if (sizeof(void*) == 8) {
        // The 32-bit forms' sizes name no form of a 64-bit build.
        sizes.insert(sizes.end(), {84, 108, 124, 132});
    }
    for (std::uint32_t size : sizes) {
        Context c("dwSize " + std::to_string(size));
        Buffer record(size);
        const Buffer before(size);
        g_debugLines.clear();
        CHECK(init(record.bytes) == 0);
        CHECK(g_debugLines == kInvalidLines);
        CHECK(std::memcmp(before.bytes, record.bytes, kBufferSize) == 0);
    }
    Context c("null record");
    g_debugLines.clear();
    CHECK(init(nullptr) == 0);
    CHECK(g_debugLines == kInvalidLines);
}

// ---------------------------------------------------------------------------
// Files, through the record as Gearloft uses it

std::string g_folder;  // a scratch folder of this run, ending in '\'

Bytes ReadAll(const std::string& path) {
    Bytes bytes;
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    unsigned char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    CloseHandle(file);
    return bytes;
}

bool WriteAll(const std::string& path, const Bytes& bytes) {
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD put = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
        put == bytes.size();
    return CloseHandle(file) && ok;
}

// The names in a folder, "." and ".." left out.
std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

Bytes Compile(const TESSERAEXPORT& api, RifItem* root) {
    std::uint32_t length = 0;
    void* stream = api.CompileRif(root, &length);
    if (stream == nullptr) {
        return {};
    }
    const auto* bytes = static_cast<const unsigned char*>(stream);
    Bytes result(bytes, bytes + length);
    api.ReleaseBuffer(stream);
    return result;
}

// A level with the environment folder, its equipment record and a shape.
RifItem* MakeLevel(const TESSERAEXPORT& api) {
    RifItem* root = api.CreateRifItemFolder("REBINFF2");
    RifItem* env = api.InsertRifItemFolder("REBENVDT", root, RIF_LAST);
    const unsigned char equipment[8] = {0x3f, 0, 0, 0, 7, 0, 0, 0};
    api.InsertRifItemChild("QELENVIR", equipment, sizeof equipment, env, RIF_LAST);
    RifItem* object = api.InsertRifItemFolder("RBOBJECT", root, RIF_LAST);
    RifItem* shape = api.InsertRifItemFolder("REBSHAPE", object, RIF_LAST);
    std::string vertices(3000, '\0');
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        vertices[i] = static_cast<char>(i * 7 % 251);
    }
    api.InsertRifItemChild("SHPRAWVT", vertices.data(), static_cast<std::uint32_t>(vertices.size()),
                           shape, RIF_LAST);
    return root;
}

void ALevelSavesAndLoadsBack(const TESSERAEXPORT& api) {
    Context c("save and load");
    RifItem* level = MakeLevel(api);
    const Bytes plain = Compile(api, level);
    CHECK(!plain.empty());
    const std::string path = g_folder + "level.rif";

    // A plain file loads; saving it writes a container that loads back equal.
    CHECK(WriteAll(path, plain));
    RifItem* loaded = api.LoadRifFile(path.c_str());
    CHECK(loaded != nullptr && Compile(api, loaded) == plain);
    CHECK(api.SaveRifFile(loaded, path.c_str()) == 1);
    const Bytes saved = ReadAll(path);
    CHECK(saved.size() > 316 && std::memcmp(saved.data(), "REBCRIF1", 8) == 0);
    RifItem* again = api.LoadRifFile(path.c_str());
    CHECK(again != nullptr && Compile(api, again) == plain);

    // The equipment record is edited in place and saved, as Gearloft does.
    REBENVDATA env{};
    CHECK(api.GetRebEnvData(again, &env) == 1 && env.qelEnvir != nullptr);
    std::uint32_t size = 0;
    auto* record = static_cast<unsigned char*>(api.GetRifItemData(env.qelEnvir, &size));
    CHECK(record != nullptr && size == 8);
    if (record != nullptr) {
        record[0] = 0x05;
    }
    CHECK(api.SaveRifFile(again, path.c_str()) == 1);
    RifItem* edited = api.LoadRifFile(path.c_str());
    CHECK(edited != nullptr && Compile(api, edited) == Compile(api, again));
    CHECK(Entries(g_folder) == std::vector<std::string>{"level.rif"});

    api.DeleteRifItem(edited);
    api.DeleteRifItem(again);
    api.DeleteRifItem(loaded);
    api.DeleteRifItem(level);
    DeleteFileA(path.c_str());
}

void FailedLoadsAreReported(const TESSERAEXPORT& api) {
    const std::string empty = g_folder + "empty.rif";
    CHECK(WriteAll(empty, {}));
    const struct {
        const char* name;
        std::string path;
        std::vector<std::string> lines;
    } cases[] = {
        {"missing file", g_folder + "missing.rif", {"ERROR: LoadRifFile() failed to open file!\n"}},
        {"a folder", g_folder, {"ERROR: LoadRifFile() failed to open file!\n"}},
        {"empty file",
         empty,
         {"ERROR: LoadRifFile() failed to get file size (maybe the file is empty?)\n"}},
        {"empty path", "", {}},
    };
    for (const auto& item : cases) {
        Context c(item.name);
        g_debugLines.clear();
        CHECK(api.LoadRifFile(item.path.c_str()) == nullptr);
        CHECK(g_debugLines == item.lines);
    }
    DeleteFileA(empty.c_str());
}

// What refusing_folder.sh writes into its folder.
constexpr char kOldLevel[] = "old level bytes";

void AFailedSaveLeavesTheOldFile(const TESSERAEXPORT& api) {
    RifItem* level = MakeLevel(api);
    const Bytes old = {'o', 'l', 'd', ' ', 'l', 'e', 'v', 'e', 'l', ' ', 'b', 'y', 't', 'e', 's'};
    const std::string path = g_folder + "kept.rif";
    {
        Context c("read-only target");
        CHECK(WriteAll(path, old));
        CHECK(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
        CHECK(api.SaveRifFile(level, path.c_str()) == 0);
        CHECK(ReadAll(path) == old);
        CHECK(Entries(g_folder) == std::vector<std::string>{"kept.rif"});
        CHECK(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    }
    if (const char* unixPath = std::getenv("TESSERA_TEST_REFUSING_FOLDER")) {
        // A folder that takes no new file (see refusing_folder.sh), reached
        // through Wine's drive Z:, which is the Unix root.
        Context c("a folder that cannot take the temporary file");
        std::string folder = std::string("Z:") + unixPath + "\\";
        for (char& ch : folder) {
            ch = ch == '/' ? '\\' : ch;
        }
        const std::string kept = folder + "old.rif";
        const std::string probe = folder + "probe";
        const HANDLE file =
            CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            DeleteFileA(probe.c_str());
            std::printf("note: %s takes new files here; the refusing folder is not checked\n",
                        folder.c_str());
        } else if (CHECK(ReadAll(kept) == Bytes(kOldLevel, kOldLevel + sizeof kOldLevel - 1))) {
            CHECK(api.SaveRifFile(level, kept.c_str()) == 0);
            CHECK(ReadAll(kept) == Bytes(kOldLevel, kOldLevel + sizeof kOldLevel - 1));
            CHECK(Entries(folder) == std::vector<std::string>{"old.rif"});
        }
    }
    {
        Context c("a folder in the target's place");
        const std::string folder = g_folder + "folder.rif";
        CHECK(CreateDirectoryA(folder.c_str(), nullptr));
        CHECK(api.SaveRifFile(level, folder.c_str()) == 0);
        CHECK(Entries(folder + "\\").empty());
        CHECK(RemoveDirectoryA(folder.c_str()));
    }
    {
        Context c("missing folder");
        CHECK(api.SaveRifFile(level, (g_folder + "absent\\level.rif").c_str()) == 0);
    }
    CHECK(Entries(g_folder) == std::vector<std::string>{"kept.rif"});
    DeleteFileA(path.c_str());
    api.DeleteRifItem(level);
}

// What killed saves left beside a level goes with its next save; the file of
// a save still running (open and locked) and other names stay.
void ASaveRemovesOnlyAbandonedTemporaryFiles(const TESSERAEXPORT& api) {
    RifItem* level = MakeLevel(api);
    const Bytes junk = {'h', 'a', 'l', 'f'};
    const struct {
        const char* name;
        bool running;
        bool removed;
    } cases[] = {
        {".level.rif.k3x9a0bq.tmp", false, true},
        {".level.rif.r2d2c3po.tmp", true, false},
        {".other.rif.k3x9a0bq.tmp", false, false},
        {".level.rif.notes.tmp", false, false},
    };
    std::vector<HANDLE> running;
    for (const auto& item : cases) {
        const std::string path = g_folder + item.name;
        CHECK(WriteAll(path, junk));
        if (item.running) {
            // As a writer holds its file: shared for reading and deleting, locked.
            const HANDLE handle =
                CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            OVERLAPPED at{};
            CHECK(handle != INVALID_HANDLE_VALUE &&
                  LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                             MAXDWORD, MAXDWORD, &at));
            running.push_back(handle);
        }
    }
    const std::string path = g_folder + "level.rif";
    CHECK(api.SaveRifFile(level, path.c_str()) == 1);
    for (const HANDLE handle : running) {
        CloseHandle(handle);
    }
    for (const auto& item : cases) {
        Context c(item.name);
        const std::string name = g_folder + item.name;
        CHECK((GetFileAttributesA(name.c_str()) == INVALID_FILE_ATTRIBUTES) == item.removed);
        DeleteFileA(name.c_str());
    }
    CHECK(Entries(g_folder) == std::vector<std::string>{"level.rif"});
    DeleteFileA(path.c_str());
    api.DeleteRifItem(level);
}

}  // namespace

int main() {
    AddVectoredExceptionHandler(1, &WatchDebugOutput);

    g_library = LoadLibraryA("Tessera.dll");
    if (!CHECK(g_library != nullptr)) {
        return tessera_win_test::Finish("dll_client_test");
    }
    auto init = reinterpret_cast<PFN_TesseraInit>(ByName("TesseraInit"));
    CHECK(init != nullptr);
    CHECK(reinterpret_cast<void*>(init) == ByOrdinal(1));

    ExportTableHasEveryOperationAtItsOrdinal();
    VersionResourceNamesTheLibrary();
    EachFormGetsItsPointersAndNotOneByteMore(init);
    AWrongSizeWritesNothing(init);

    char temp[MAX_PATH];
    CHECK(GetTempPathA(sizeof temp, temp) != 0);
    g_folder = std::string(temp) + "tessera-" + std::to_string(GetCurrentProcessId()) + "\\";
    CHECK(CreateDirectoryA(g_folder.c_str(), nullptr));

    TESSERAEXPORT api{};
    api.dwSize = sizeof api;
    if (CHECK(init(&api) == 1)) {
        ALevelSavesAndLoadsBack(api);
        FailedLoadsAreReported(api);
        AFailedSaveLeavesTheOldFile(api);
        ASaveRemovesOnlyAbandonedTemporaryFiles(api);
    }
    CHECK(RemoveDirectoryA(g_folder.c_str()));
    FreeLibrary(g_library);
    return tessera_win_test::Finish("dll_client_test");
}
