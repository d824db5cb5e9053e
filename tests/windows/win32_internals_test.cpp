// The Win32 side of the library, reached through its internals (the objects
// linked statically): every step of the atomic save failing in turn with the
// real Win32 file calls around it, partial reads and writes, the attributes a
// rewritten file keeps, and TesseraInit's two failures that a client cannot
// cause (no module handle, a module without the exports), whose last line is
// the system's own text.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "chunkfile/export_record.h"
#include "chunkfile/file_io.h"
#include "chunkfile/tessera.h"
#include "tests/support/captured_lines.h"
#include "tests/windows/check.h"

namespace {

using tessera_test::CapturedLines;
using tessera_win_test::Context;
using Bytes = std::vector<unsigned char>;
using Lines = std::vector<std::string>;

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

Bytes Compile(RifItem* root) {
    std::uint32_t length = 0;
    void* stream = CompileRif(root, &length);
    if (stream == nullptr) {
        return {};
    }
    const auto* bytes = static_cast<const unsigned char*>(stream);
    Bytes result(bytes, bytes + length);
    ReleaseBuffer(stream);
    return result;
}

RifItem* MakeLevel() {
    RifItem* root = CreateRifItemFolder("REBINFF2");
    RifItem* env = InsertRifItemFolder("REBENVDT", root, RIF_LAST);
    const unsigned char equipment[8] = {0x3f, 0, 0, 0, 7, 0, 0, 0};
    InsertRifItemChild("QELENVIR", equipment, sizeof equipment, env, RIF_LAST);
    std::string vertices(5000, '\0');
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        vertices[i] = static_cast<char>(i * 7 % 251);
    }
    InsertRifItemChild("SHPRAWVT", vertices.data(), static_cast<std::uint32_t>(vertices.size()),
                       root, RIF_LAST);
    return root;
}

void EveryFailingStepOfASaveLeavesTheOldFile() {
    RifItem* level = MakeLevel();
    const Bytes old = {'o', 'l', 'd', ' ', 'b', 'y', 't', 'e', 's', ' ', 'o', 'f', ' ', 'a'};
    const std::string path = g_folder + "level.rif";
    CHECK(WriteAll(path, old));
    const struct {
        const char* name;
        tessera::FileFault fault;
    } steps[] = {
        {"the folder refuses the temporary file", tessera::FileFault::kCreate},
        {"the disk fills half-way", tessera::FileFault::kWrite},
        {"the attributes cannot be set", tessera::FileFault::kPermissions},
        {"FlushFileBuffers fails", tessera::FileFault::kSync},
        {"closing reports a deferred error", tessera::FileFault::kClose},
        {"MoveFileExA fails", tessera::FileFault::kRename},
    };
    for (const auto& step : steps) {
        Context c(step.name);
        tessera::SetFileFault(step.fault);
        CapturedLines lines;
        CHECK(SaveRifFile(level, path.c_str()) == 0);
        CHECK(ReadAll(path) == old);
        CHECK(Entries(g_folder) == std::vector<std::string>{"level.rif"});
        CHECK(lines.lines().empty());
    }
    tessera::SetFileFault(tessera::FileFault::kNone);
    CHECK(SaveRifFile(level, path.c_str()) == 1);
    RifItem* loaded = LoadRifFile(path.c_str());
    CHECK(loaded != nullptr && Compile(loaded) == Compile(level));
    DeleteRifItem(loaded);
    DeleteRifItem(level);
    DeleteFileA(path.c_str());
}

void PartialTransfersAndAFileCutShort() {
    RifItem* level = MakeLevel();
    const std::string path = g_folder + "partial.rif";
    {
        // ReadFile and WriteFile move a few bytes per call: the loops finish.
        Context c("seven bytes per call");
        tessera::SetFileTransferLimit(7);
        CHECK(SaveRifFile(level, path.c_str()) == 1);
        RifItem* loaded = LoadRifFile(path.c_str());
        CHECK(loaded != nullptr && Compile(loaded) == Compile(level));
        DeleteRifItem(loaded);
        tessera::SetFileTransferLimit(0);
    }
    {
        Context c("the file ends early");
        tessera::SetFileFault(tessera::FileFault::kShortRead);
        CapturedLines lines;
        CHECK(LoadRifFile(path.c_str()) == nullptr);
        CHECK(lines.lines().empty());
        tessera::SetFileFault(tessera::FileFault::kNone);
    }
    {
        Context c("open fails");
        tessera::SetFileFault(tessera::FileFault::kOpen);
        CapturedLines lines;
        CHECK(LoadRifFile(path.c_str()) == nullptr);
        CHECK(lines.lines() == Lines{"ERROR: LoadRifFile() failed to open file!\n"});
        tessera::SetFileFault(tessera::FileFault::kNone);
    }
    DeleteRifItem(level);
    DeleteFileA(path.c_str());
}

void ARewrittenFileKeepsItsAttributes() {
    RifItem* level = MakeLevel();
    const std::string path = g_folder + "hidden.rif";
    CHECK(WriteAll(path, {'x'}));
    CHECK(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
    CHECK(SaveRifFile(level, path.c_str()) == 1);
    const DWORD attributes = GetFileAttributesA(path.c_str());
    CHECK(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN) != 0);
    CHECK(ReadAll(path).size() > 316);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
    DeleteRifItem(level);
}

// The system's text for an error code, as FormatMessageA gives it.
std::string SystemText(DWORD error) {
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, error, 0,
                   reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = text != nullptr ? text : "";
    LocalFree(text);
    return result;
}

void TesseraInitFailuresAClientCannotCause() {
    {
        Context c("no module handle");
        void* previous = tessera::SetModuleHandle(nullptr);
        TESSERAEXPORT record{};
        record.dwSize = sizeof record;
        CapturedLines lines;
        CHECK(TesseraInit(&record) == 0);
        tessera::SetModuleHandle(previous);
        CHECK(lines.lines() == (Lines{"ERROR: Tessera.dll has not been loaded properly.\n",
                                      "(there's no valid HINSTANCE in here)\n"}));
        CHECK(record.dwVersion == 0);
    }
    {
        // A module without the operations: the system's own kernel32.
        Context c("a module without the exports");
        void* previous = tessera::SetModuleHandle(GetModuleHandleA("kernel32.dll"));
        TESSERAEXPORT84 record;
        std::memset(&record, 0xA5, sizeof record);
        record.dwSize = sizeof record;
        CapturedLines lines;
        CHECK(TesseraInit(&record) == 0);
        tessera::SetModuleHandle(previous);
        const std::string text = SystemText(ERROR_PROC_NOT_FOUND);
        CHECK(!text.empty());
        CHECK(lines.lines() ==
              (Lines{"ERROR: Initialization failure in Tessera.dll: TesseraInit(...)\n",
                     "  GetProcAddress(...) returned NULL for one or more exported functions:\n  ",
                     text}));
        // The record keeps what was filled: the version and the nulls.
        CHECK(record.dwVersion == 0x01040000u);
        CHECK(record.ParseRif == nullptr && record.GetRebShapeData == nullptr);
    }
}

}  // namespace

int main() {
    char temp[MAX_PATH];
    CHECK(GetTempPathA(sizeof temp, temp) != 0);
    g_folder =
        std::string(temp) + "tessera-internals-" + std::to_string(GetCurrentProcessId()) + "\\";
    CHECK(CreateDirectoryA(g_folder.c_str(), nullptr));

    EveryFailingStepOfASaveLeavesTheOldFile();
    PartialTransfersAndAFileCutShort();
    ARewrittenFileKeepsItsAttributes();
    TesseraInitFailuresAClientCannotCause();

    CHECK(Entries(g_folder).empty());
    CHECK(RemoveDirectoryA(g_folder.c_str()));
    return tessera_win_test::Finish("win32_internals_test");
}
