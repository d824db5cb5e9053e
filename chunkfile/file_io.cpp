// File and buffer entry points: LoadRifFile, SaveRifFile, LoadRif, SaveRif.
//
// A level travels from disk to tree as: read the whole file (a loop, since one
// read may return less than asked), tell a container from a plain stream by
// its first eight bytes, decode the container bounded by the bytes read, and
// parse the plain stream bounded by its length. Nothing trusts a size field
// beyond the bytes really held.
//
// Saving compiles and compresses first, so that a tree that cannot be written
// never touches the disk. The container then goes to a new file beside the
// target, which is flushed and renamed over the target: a rename within one
// folder is atomic, so the target holds either its old bytes or the complete
// new ones, whatever fails (a full disk, a read-only folder, a crash).
#include "chunkfile/file_io.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "chunkfile/allocator.h"
#include "chunkfile/diagnostics.h"
#include "chunkfile/file_system.h"
#include "chunkfile/huffman.h"
#include "chunkfile/stream.h"

namespace tessera {
namespace {

constexpr std::size_t kChunkHeaderSize = 12;
constexpr char kContainerMagic[8] = {'R', 'E', 'B', 'C', 'R', 'I', 'F', '1'};

// Test hooks, read by every load and save on any thread: atomic, so that a
// program loading levels on several threads at once stays well defined.
std::atomic<FileFault> g_fault{FileFault::kNone};
std::atomic<std::size_t> g_transferLimit{0};
std::atomic<bool> g_unnamedFiles{true};

bool Injected(FileFault step) {
    return g_fault.load(std::memory_order_relaxed) == step;
}

bool Fault(FileFault step, int error) {
    if (!Injected(step)) {
        return false;
    }
    errno = error;
    return true;
}

std::size_t Clamp(std::size_t bytes) {
    const std::size_t limit = g_transferLimit.load(std::memory_order_relaxed);
    return limit != 0 && bytes > limit ? limit : bytes;
}

// ---------------------------------------------------------------------------
// Reading

// The file's bytes in a new block of the library's heap, or null after the
// line that tells why (a read error or a short read has no line of its own).
unsigned char* ReadWholeFile(const char* path, std::size_t* length) {
    // A folder, a device or a pipe is no level file either.
    const os::File file = Fault(FileFault::kOpen, ENOENT) ? os::kNoFile : os::OpenForReading(path);
    if (file == os::kNoFile) {
        Diagnose("ERROR: LoadRifFile() failed to open file!\n");
        return nullptr;
    }
    std::uint64_t fileSize = 0;
    if (!os::SizeOf(file, &fileSize) || fileSize == 0) {
        Diagnose("ERROR: LoadRifFile() failed to get file size (maybe the file is empty?)\n");
        os::Close(file);
        return nullptr;
    }
    // Refused before a byte is read or allocated: a sparse file of
    // gigabytes costs nothing on disk but would cost its size in memory.
    if (fileSize > RIF_MAX_FILE_SIZE) {
        Diagnose("ERROR: LoadRifFile() the file is too large to be a RIF!\n");
        os::Close(file);
        return nullptr;
    }
    const auto size = static_cast<std::size_t>(fileSize);
    if (size < kChunkHeaderSize) {
        Diagnose("ERROR: LoadRifFile() the file is too short to hold a RIF!\n");
        os::Close(file);
        return nullptr;
    }
    auto* block = static_cast<unsigned char*>(AllocateZeroed(size));
    if (block == nullptr) {
        Diagnose("ERROR: Tessera.dll failed to allocate memory!\n");
        os::Close(file);
        return nullptr;
    }
    // An injected short read ends the file half-way, as if it had been cut
    // short since its size was taken.
    const std::size_t end = Injected(FileFault::kShortRead) ? size / 2 : size;
    std::size_t done = 0;
    while (done < end) {
        const std::ptrdiff_t got = os::ReadSome(file, block + done, Clamp(end - done));
        if (got <= 0) {
            break;  // an error, or the file shrank since its size was taken
        }
        done += static_cast<std::size_t>(got);
    }
    os::Close(file);
    if (done != size) {
        Free(block);
        return nullptr;
    }
    *length = size;
    return block;
}

// ---------------------------------------------------------------------------
// Writing

// The temporary file's name: the target's own name, hidden, with a random
// part that no other writer is likely to pick (the exclusive create or link
// settles any clash) and a fixed ending.
struct TemporaryNames {
    std::string folder;  // with its separator, or empty
    std::string prefix;  // "." + the target's name + "."
};

constexpr char kTemporarySuffix[] = ".tmp";
constexpr std::size_t kRandomLength = 8;

TemporaryNames NamesFor(const std::string& target) {
    const std::size_t slash = os::LastSeparator(target);
    TemporaryNames names;
    names.folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    // Shortened so that the name stays within the folder's limit of 255.
    names.prefix =
        "." + (slash == std::string::npos ? target : target.substr(slash + 1)).substr(0, 200) + ".";
    return names;
}

// The temporary file's name with a placeholder for the random part, built
// before the file exists so that nothing allocates while it does.
std::string TemporaryPattern(const TemporaryNames& names) {
    return names.folder + names.prefix + std::string(kRandomLength, 'x') + kTemporarySuffix;
}

// Puts a new random part into the pattern, in place.
void PickTemporaryName(std::string* temporary, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    std::uint64_t mix = os::UniqueSeed() ^ (static_cast<std::uint64_t>(++counter) << 40) ^ attempt;
    const std::size_t at = temporary->size() - (sizeof kTemporarySuffix - 1) - kRandomLength;
    for (std::size_t i = 0; i < kRandomLength; ++i) {
        (*temporary)[at + i] = "abcdefghijklmnopqrstuvwxyz0123456789"[mix % 36];
        mix /= 36;
    }
}

// Creates the new file under a free temporary name, locked as a running
// writer's. kNoFile when no name can be had.
os::File CreateNamedTemporary(std::string* temporary) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        PickTemporaryName(temporary, attempt);
        bool taken = false;
        const os::File file = os::CreateExclusive(*temporary, &taken);
        if (file == os::kNoFile) {
            if (!taken) {
                return os::kNoFile;
            }
            continue;
        }
        if (os::LockAsWriter(file, *temporary)) {
            return file;
        }
        // A cleaner removed it between the create and the lock.
        os::Close(file);
    }
    return os::kNoFile;
}

// Gives an unnamed file, locked already, a free temporary name.
bool NameTemporary(os::File file, std::string* temporary) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        PickTemporaryName(temporary, attempt);
        bool taken = false;
        if (os::GiveName(file, *temporary, &taken)) {
            return true;
        }
        if (!taken) {
            return false;
        }
    }
    return false;
}

bool WriteAll(os::File file, const unsigned char* data, std::size_t size) {
    // An injected full disk takes half the bytes first, as a real one would.
    const std::size_t stopAt = Injected(FileFault::kWrite) ? size / 2 : size;
    std::size_t done = 0;
    while (done < size) {
        if (done >= stopAt) {
            errno = ENOSPC;
            return false;
        }
        const std::ptrdiff_t put = os::WriteSome(file, data + done, Clamp(stopAt - done));
        if (put <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

}  // namespace

// Replaces the file at path with size bytes of data, or leaves it untouched
// and returns false. A file that the user may not write is not replaced,
// although the folder would allow it. The new file takes over what the system
// keeps of the old one (os::Target).
bool ReplaceFile(const char* path, const unsigned char* data, std::size_t size) {
    os::Target target;
    if (!os::InspectTarget(path, &target)) {
        return false;
    }
    if (target.path.empty() || os::LastSeparator(target.path) + 1 == target.path.size()) {
        return false;
    }

    // What interrupted saves of this level left behind goes first; the
    // temporary file of a save that still runs stays.
    const TemporaryNames names = NamesFor(target.path);
    os::RemoveAbandoned(names.folder, names.prefix, kRandomLength, kTemporarySuffix);

    // Every name is made before the temporary file exists, so that nothing
    // can throw while it does.
    std::string temporary = TemporaryPattern(names);
    if (Fault(FileFault::kCreate, EACCES)) {
        return false;
    }
    // Where the system offers it, the new file has no name while it is
    // written, so that a kill leaves nothing; it gets one just before the
    // move. It is locked before it is named, as every writer's file is.
    os::File file = g_unnamedFiles.load(std::memory_order_relaxed) ? os::CreateUnnamed(names.folder)
                                                                   : os::kNoFile;
    const bool unnamed = file != os::kNoFile && os::LockAsWriter(file, "");
    if (file != os::kNoFile && !unnamed) {
        os::Close(file);
        file = os::kNoFile;
    }
    if (!unnamed) {
        file = CreateNamedTemporary(&temporary);
        if (file == os::kNoFile) {
            return false;
        }
    }
    bool named = !unnamed;

    bool ok = WriteAll(file, data, size);
    ok = ok && !Fault(FileFault::kPermissions, EPERM) && os::TakeOverAttributes(file, target);
    ok = ok && !Fault(FileFault::kSync, EIO) && os::Flush(file);
    if (ok && unnamed) {
        ok = named = NameTemporary(file, &temporary);
    }
    // Closing may report a write that a network file system deferred; the
    // lock stays until the move is done.
    os::File keeper = os::kNoFile;
    const bool closed = os::CloseKeepingLock(file, &keeper) && !Fault(FileFault::kClose, EIO);
    ok = ok && closed;
    ok = ok && !Fault(FileFault::kRename, EXDEV) && os::MoveOver(temporary, target.path);
    if (!ok) {
        if (named) {
            os::Remove(temporary);
        }
        os::Release(keeper);
        return false;
    }
    os::Release(keeper);

    // Make the move itself durable; the new file is in place already, so a
    // failure here does not change the result.
    os::SyncFolderOf(target.path);
    return true;
}

void SetFileFault(FileFault fault) {
    g_fault.store(fault, std::memory_order_relaxed);
}

void SetFileTransferLimit(std::size_t bytes) {
    g_transferLimit.store(bytes, std::memory_order_relaxed);
}

void SetUnnamedTemporaryFiles(bool allowed) {
    g_unnamedFiles.store(allowed, std::memory_order_relaxed);
}

RifItem* LoadBlock(const void* data, std::size_t length) {
    if (data == nullptr || length < kChunkHeaderSize) {
        return nullptr;
    }
    if (std::memcmp(data, kContainerMagic, sizeof kContainerMagic) != 0) {
        return ParseStream(data, length);
    }
    std::uint32_t plainSize = 0;
    void* plain = DecompressContainer(data, length, &plainSize);
    if (plain == nullptr) {
        return nullptr;
    }
    RifItem* root = ParseStream(plain, plainSize);
    Free(plain);
    return root;
}

RifItem* LoadFile(const char* path) {
    if (path == nullptr || path[0] == '\0') {
        return nullptr;
    }
    std::size_t length = 0;
    unsigned char* block = ReadWholeFile(path, &length);
    if (block == nullptr) {
        return nullptr;
    }
    if (std::memcmp(block, kContainerMagic, sizeof kContainerMagic) != 0) {
        RifItem* root = ParseStream(block, length);
        Free(block);
        return root;
    }
    // The file's bytes go as soon as the plain stream is out, before the tree
    // is built: at most two copies of the level are held at any time.
    std::uint32_t plainSize = 0;
    void* plain = DecompressContainer(block, length, &plainSize);
    Free(block);
    if (plain == nullptr) {
        return nullptr;
    }
    RifItem* root = ParseStream(plain, plainSize);
    Free(plain);
    return root;
}

bool SaveFile(const RifItem* root, const char* path) {
    if (path == nullptr || path[0] == '\0' || root == nullptr) {
        return false;
    }
    std::uint32_t streamLength = 0;
    void* stream = CompileTree(root, &streamLength);
    if (stream == nullptr || streamLength == 0) {
        Diagnose("ERROR: SaveRifFile() failed to compile RIF\n");
        Free(stream);
        return false;
    }
    std::uint32_t containerLength = 0;
    void* container = CompressContainer(stream, streamLength, &containerLength);
    Free(stream);
    if (container == nullptr || containerLength == 0) {
        Diagnose("ERROR: SaveRifFile() failed to compress RIF!\n");
        Free(container);
        return false;
    }
    bool written = false;
    try {
        written = ReplaceFile(path, static_cast<const unsigned char*>(container), containerLength);
    } catch (...) {
        // Only building the file names can throw, before anything is created.
    }
    Free(container);
    return written;
}

void* SaveBlock(const RifItem* root, std::uint32_t* length) {
    if (root == nullptr) {
        return nullptr;
    }
    std::uint32_t containerLength = 0;
    void* container = nullptr;
    std::uint32_t streamLength = 0;
    void* stream = CompileTree(root, &streamLength);
    if (stream == nullptr || streamLength == 0) {
        Diagnose("ERROR: SaveRif() failed to compile RIF\n");
    } else {
        container = CompressContainer(stream, streamLength, &containerLength);
        if (container == nullptr) {
            containerLength = 0;
        }
    }
    Free(stream);
    if (length != nullptr) {
        *length = containerLength;
    }
    return container;
}

}  // namespace tessera

extern "C" {

TESSERA_API RifItem* LoadRifFile(const char* path) {
    return tessera::LoadFile(path);
}

TESSERA_API RifBool SaveRifFile(RifItem* root, const char* path) {
    return tessera::SaveFile(root, path) ? 1 : 0;
}

TESSERA_API RifItem* LoadRif(const void* data, uint32_t length) {
    return tessera::LoadBlock(data, length);
}

TESSERA_API void* SaveRif(RifItem* root, uint32_t* length) {
    return tessera::SaveBlock(root, length);
}

}  // extern "C"
