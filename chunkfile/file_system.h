// The operating system's file calls, as the file entry points use them.
//
// file_io.cpp holds the rules (read the whole file, never trust a size beyond
// it, save through a temporary file beside the target); this seam holds the
// calls that carry them out. One implementation per system, chosen by the
// build: file_system_posix.cpp and file_system_win32.cpp. Paths are 8-bit
// strings as the caller gave them (the system code page on Windows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessera::os {

// An open file: a descriptor or a handle, whichever the system uses.
using File = std::intptr_t;
inline constexpr File kNoFile = -1;

// ---------------------------------------------------------------------------
// Reading

// Opens an existing regular file for reading, letting others read it too.
// kNoFile when it cannot be opened or is a folder, a device or a pipe.
File OpenForReading(const char* path);
// The open file's length; false when the system cannot tell.
bool SizeOf(File file, std::uint64_t* size);
// Reads up to size bytes: the count read, 0 at the end, -1 on an error.
// Interrupted calls are repeated.
std::ptrdiff_t ReadSome(File file, void* data, std::size_t size);

// ---------------------------------------------------------------------------
// Writing

// The file that a save replaces.
struct Target {
    std::string path;  // the file itself (a symbolic link resolved where that is done)
    bool exists = false;
    // What the new file takes over from the old one, in the system's terms:
    // permission bits and owner on POSIX, file attributes on Windows.
    std::uint32_t attributes = 0;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
};

// Describes the file at path. False when it must not be replaced: a folder,
// a device, a file the user may not write.
bool InspectTarget(const char* path, Target* target);
// Index of the last path separator in path, or npos.
std::size_t LastSeparator(const std::string& path);
// A number that differs between processes and calls, for temporary names.
std::uint64_t UniqueSeed();
// Creates a new file that did not exist, for writing. kNoFile on failure,
// with *taken set when the name existed already (another name may work).
File CreateExclusive(const std::string& path, bool* taken);
// Creates a file without a name in folder ("" for the current one), for
// writing; kNoFile where the system or the file system offers no such file.
// A kill before GiveName leaves nothing on the disk.
File CreateUnnamed(const std::string& folder);
// Links a file made by CreateUnnamed under path, which must not exist. False
// on failure, with *taken set when the name existed already.
bool GiveName(File file, const std::string& path, bool* taken);

// Temporary files of a save are locked by their writer for as long as it
// runs; the lock goes with the writer, however it ends. Takes that lock on a
// new file and checks that path still names it (a cleaner may have removed
// it between its creation and the lock); an empty path for an unnamed file.
// False when the lock or the name is lost.
bool LockAsWriter(File file, const std::string& path);
// Removes the files in folder named prefix, then middle letters or digits,
// then suffix, whose lock can be taken: what saves that died left behind. A
// file whose writer still runs stays, and so does any other name.
void RemoveAbandoned(const std::string& folder, const std::string& prefix, std::size_t middle,
                     const std::string& suffix);
// Closes file but keeps its writer's lock until Release(*keeper): a close
// may report a deferred write error, which must come before the move.
bool CloseKeepingLock(File file, File* keeper);
void Release(File keeper);
// Writes up to size bytes: the count written or -1 on an error. Interrupted
// calls are repeated.
std::ptrdiff_t WriteSome(File file, const void* data, std::size_t size);
// Gives the new file what it keeps of the old one (see Target).
bool TakeOverAttributes(File file, const Target& target);
// Forces the file's bytes to the disk.
bool Flush(File file);
// Closes the file; false when the system reports a deferred write error.
bool Close(File file);
// Puts from in the place of to in one step, replacing to.
bool MoveOver(const std::string& from, const std::string& to);
void Remove(const std::string& path);
// Makes a completed move durable, where the system needs a call for it.
void SyncFolderOf(const std::string& path);

}  // namespace tessera::os
