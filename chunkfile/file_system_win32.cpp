// File calls on Windows: CreateFileA, ReadFile, WriteFile, FlushFileBuffers
// and MoveFileExA. Paths are 8-bit strings in the system code page.
#include <windows.h>

#include <climits>

#include "chunkfile/file_system.h"

namespace tessera::os {
namespace {

HANDLE Handle(File file) {
    return reinterpret_cast<HANDLE>(file);
}

File FromHandle(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<File>(handle);
}

// One ReadFile or WriteFile moves at most a DWORD's worth; a gigabyte keeps
// well clear of the limits of network redirectors.
DWORD Portion(std::size_t size) {
    return static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
}

// Attributes that a rewritten file keeps; the rest describe the old bytes
// (compressed, sparse) or were refused (read-only).
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

File OpenForReading(const char* path) {
    const HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return kNoFile;  // a folder cannot be opened this way either
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);  // a device or a pipe
        return kNoFile;
    }
    return FromHandle(handle);
}

bool SizeOf(File file, std::uint64_t* size) {
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(Handle(file), &length) || length.QuadPart < 0) {
        return false;
    }
    *size = static_cast<std::uint64_t>(length.QuadPart);
    return true;
}

std::ptrdiff_t ReadSome(File file, void* data, std::size_t size) {
    DWORD got = 0;
    if (!ReadFile(Handle(file), data, Portion(size), &got, nullptr)) {
        return -1;
    }
    return static_cast<std::ptrdiff_t>(got);
}

bool InspectTarget(const char* path, Target* target) {
    target->path = path;
    const DWORD attributes = GetFileAttributesA(path);
    target->exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!target->exists) {
        return true;
    }
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        return false;  // never replace a folder or a device
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return false;  // a read-only file stays as it is
    }
    target->attributes = attributes & kKeptAttributes;
    return true;
}

std::size_t LastSeparator(const std::string& path) {
    // "C:level.rif" names a file in drive C's current folder.
    return path.find_last_of("\\/:");
}

std::uint64_t UniqueSeed() {
    LARGE_INTEGER ticks{};
    QueryPerformanceCounter(&ticks);
    return static_cast<std::uint64_t>(ticks.QuadPart) ^
           (static_cast<std::uint64_t>(GetCurrentProcessId()) << 20);
}

File CreateExclusive(const std::string& path, bool* taken) {
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    *taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    return FromHandle(handle);
}

std::ptrdiff_t WriteSome(File file, const void* data, std::size_t size) {
    DWORD put = 0;
    if (!WriteFile(Handle(file), data, Portion(size), &put, nullptr)) {
        return -1;
    }
    return static_cast<std::ptrdiff_t>(put);
}

bool TakeOverAttributes(File file, const Target& target) {
    if (!target.exists || target.attributes == 0) {
        return true;
    }
    FILE_BASIC_INFO info{};
    info.FileAttributes = target.attributes;
    return SetFileInformationByHandle(Handle(file), FileBasicInfo, &info, sizeof info) != 0;
}

bool Flush(File file) {
    return FlushFileBuffers(Handle(file)) != 0;
}

bool Close(File file) {
    return CloseHandle(Handle(file)) != 0;
}

bool MoveOver(const std::string& from, const std::string& to) {
    // Write-through: the call returns once the move is on the disk.
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void Remove(const std::string& path) {
    DeleteFileA(path.c_str());
}

void SyncFolderOf(const std::string& /*path*/) {}

}  // namespace tessera::os
