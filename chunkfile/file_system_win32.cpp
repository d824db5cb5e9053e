// File calls on Windows: CreateFileA, ReadFile, WriteFile, FlushFileBuffers
// and MoveFileExA; LockFileEx for the locks that tell a running save's
// temporary file from an abandoned one. Paths are 8-bit strings in the
// system code page.
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
    // Shared for deleting, so that the file can be moved over the target
    // while it is still open and locked, and a cleaner can open it to try
    // the lock.
    const HANDLE handle =
        CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    *taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    return FromHandle(handle);
}

File CreateUnnamed(const std::string& /*folder*/) {
    return kNoFile;  // every file has a name here
}

bool GiveName(File /*file*/, const std::string& /*path*/, bool* taken) {
    *taken = false;
    return false;
}

namespace {

bool LockWhole(HANDLE handle) {
    OVERLAPPED at{};
    return LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                      MAXDWORD, &at) != 0;
}

}  // namespace

bool LockAsWriter(File file, const std::string& /*path*/) {
    if (!LockWhole(Handle(file))) {
        return false;  // a cleaner holds it for the instant it checks
    }
    // A cleaner that had the lock before marks the file for deletion.
    FILE_STANDARD_INFO info{};
    return GetFileInformationByHandleEx(Handle(file), FileStandardInfo, &info, sizeof info) != 0 &&
           !info.DeletePending;
}

void RemoveAbandoned(const std::string& folder, const std::string& prefix, std::size_t middle,
                     const std::string& suffix) {
    WIN32_FIND_DATAA found{};
    const HANDLE search =
        FindFirstFileA((folder + prefix + std::string(middle, '?') + suffix).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        // "?" also matches fewer letters, and any letter.
        const std::string name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
            name.size() != prefix.size() + middle + suffix.size() ||
            name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789", prefix.size()) !=
                prefix.size() + middle) {
            continue;
        }
        const HANDLE handle = CreateFileA(
            (folder + name).c_str(), GENERIC_READ | DELETE,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            continue;
        }
        // The lock is free: no writer holds the file any more.
        if (GetFileType(handle) == FILE_TYPE_DISK && LockWhole(handle)) {
            FILE_DISPOSITION_INFO dispose{};
            dispose.DeleteFile = TRUE;
            SetFileInformationByHandle(handle, FileDispositionInfo, &dispose, sizeof dispose);
        }
        CloseHandle(handle);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

bool CloseKeepingLock(File file, File* keeper) {
    // A handle reports no deferred write errors on closing once it is
    // flushed; it stays open, and locked, until the move is done.
    *keeper = file;
    return true;
}

void Release(File keeper) {
    if (keeper != kNoFile) {
        CloseHandle(Handle(keeper));
    }
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
