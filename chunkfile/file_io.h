// Files and buffers: the loading and saving entry points' internals.
//
// Loading reads a whole file (or takes a caller's block) and bounds every
// decode and parse by the number of bytes really held. Saving compiles and
// compresses first, then writes a temporary file beside the target, flushes
// it and renames it over the target, so that a failure at any step leaves the
// old file as it was.
#pragma once

#include <cstddef>
#include <cstdint>

#include "chunkfile/tessera.h"

namespace tessera {

// The tree held by length bytes at data, plain stream or container. Never
// reads past data + length. Null on failure (the decoder's and parser's lines
// are sent; a block too short to hold a chunk header is refused silently).
RifItem* LoadBlock(const void* data, std::size_t length);

// LoadRifFile, SaveRifFile and SaveRif, as tessera.h describes them.
RifItem* LoadFile(const char* path);
bool SaveFile(const RifItem* root, const char* path);
void* SaveBlock(const RifItem* root, std::uint32_t* length);

// Replaces the file at path with size bytes of data, as SaveRifFile does:
// the bytes go to a temporary file beside it (unnamed until the end where the
// system allows, locked while it is written), which is flushed and renamed
// over it; the temporary files of killed writers are removed first. False,
// with the file untouched and errno telling why where the system said, when
// the file is not a regular file the user may write or a step fails. The
// command-line programs write their outputs through it too. Building the
// names may throw std::bad_alloc, before anything is created.
bool ReplaceFile(const char* path, const unsigned char* data, std::size_t size);

// Test hooks: make one step of the file operations fail as the system would.
enum class FileFault {
    kNone,
    kOpen,         // LoadRifFile: open() fails (ENOENT)
    kShortRead,    // LoadRifFile: the file ends early (read() returns 0 half-way)
    kCreate,       // SaveRifFile: the temporary file cannot be created (EACCES)
    kWrite,        // SaveRifFile: half the container is written, then ENOSPC
    kSync,         // SaveRifFile: fsync() fails (EIO)
    kClose,        // SaveRifFile: close() reports a deferred write error (EIO)
    kPermissions,  // SaveRifFile: fchmod() fails (EPERM)
    kRename,       // SaveRifFile: rename() fails (EXDEV)
};
void SetFileFault(FileFault fault);

// Test hook: each read() and write() moves at most this many bytes (0: no
// limit), as a pipe, a signal or a network file system may cause.
void SetFileTransferLimit(std::size_t bytes);

// Test hook: false makes saves take the way of systems without unnamed
// temporary files (a named, locked one from the start).
void SetUnnamedTemporaryFiles(bool allowed);

}  // namespace tessera
