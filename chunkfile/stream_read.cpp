// Reading a plain chunk stream into a tree.
//
// The stream is untrusted: every size in it is checked against the bytes
// that are really there before anything is read, through one guard
// (Fits, in bounds.h). The walk is a loop over an explicit stack of open folders; each
// chunk becomes an item as soon as its header is read, and is linked behind
// its elder sibling at once, so that on any failure deleting the root frees
// everything made so far.
//
// A folder ends where its size says. Its children follow one another from
// its payload's start; when the cursor reaches or passes the folder's end
// (a last child may run past it), the folder is complete. One to eleven
// bytes left over cannot hold a chunk header, and make the stream corrupt.
#include <cstring>
#include <iterator>

#include "chunkfile/bounds.h"
#include "chunkfile/byte_order.h"
#include "chunkfile/diagnostics.h"
#include "chunkfile/stream.h"

namespace tessera {
namespace {

constexpr char kNotAStream[] =
    "WARNING: ParseRif() the buffer does not contain a valid REBINFF2 item\n";
constexpr char kCorruptChunk[] = "ERROR: ParseRifEx() -> the Rif is corrupt!\n";
constexpr char kCorruptFolder[] = "ERROR: the Rif is corrupt!\n";
constexpr char kAllocationFailure[] = "ERROR: memory allocation failure!\n";

constexpr unsigned char kRootIdentifier[kNameLength] = {'R', 'E', 'B', 'I', 'N', 'F', 'F', '2'};

// Identifiers of folder chunks; the short ones are zero-padded and match only
// identifiers that carry those zero bytes.
// clang-format off
constexpr char kFolderTable[][kNameLength + 1] = {
    "RBOBJECT", "OBINTDT\0", "REBSHAPE", "MODULEDT", "SUBSHAPE", "OBJPRJDT", "OBJCHIER",
    "VIOBJECT", "SHPFRAGS", "OBANSEQC", "SHPEXTFL", "QELGENEX", "SHPMORPH", "PARGENER",
    "FRAGTYPE", "REBINFF2", "REBENVDT", "LIGHTSET", "OBANSEQS", "SPECLOBJ", "GAMEMODE",
    "RSPRITES", "PLACHIER", "OBIN\0\0\0\0", "(\0\0\0\0\0\0\0", "SOUNDEXD",
};
// clang-format on
static_assert(std::size(kFolderTable) == 26);

enum class Outcome { kParsed, kCorrupt, kNoMemory };

// One chunk read from the stream: its item (a folder still without children)
// and where its payload and the chunk itself end.
struct Chunk {
    RifItem* item;
    std::size_t payload;
    std::size_t end;
};

// Reads the header at offset and makes its item, with its data for a data
// chunk. On failure nothing is left allocated and the line has been sent.
Outcome ReadChunk(const unsigned char* stream, std::size_t available, std::size_t offset,
                  Chunk& chunk) {
    if (!Fits(offset, kHeaderLength, available)) {
        Diagnose(kCorruptChunk);
        return Outcome::kCorrupt;
    }
    const unsigned char* header = stream + offset;
    // CreateItem stops copying the name at its first zero byte and never
    // reads more than 8 bytes, so the raw identifier can be passed as is.
    RifItem* item = CreateItem(reinterpret_cast<const char*>(header),
                               IsFolderIdentifier(header) ? 1 : 0, nullptr, 0);
    if (item == nullptr) {
        return Outcome::kNoMemory;
    }
    const std::uint32_t size = LoadLe32(header + kNameLength);
    if (size < kHeaderLength || !Fits(offset, size, available)) {
        DeleteItem(item);
        Diagnose(kCorruptChunk);
        return Outcome::kCorrupt;
    }
    const std::size_t payload = offset + kHeaderLength;
    if (item->bFolder == 0 &&
        !SetItemData(item, header + kHeaderLength, size - std::uint32_t{kHeaderLength})) {
        DeleteItem(item);
        return Outcome::kNoMemory;
    }
    chunk = Chunk{item, payload, offset + size};
    return Outcome::kParsed;
}

// A folder whose children are being read.
struct OpenFolder {
    RifItem* folder;
    RifItem* lastChild;
    std::size_t end;
};

// Reads the children of root, level by level. On failure the lines have been
// sent except those of the open folders, which the caller adds.
Outcome ReadChildren(const unsigned char* stream, std::size_t available, const Chunk& root,
                     HeapStack<OpenFolder>& open) {
    if (!open.Push(OpenFolder{root.item, nullptr, root.end})) {
        Diagnose(kAllocationFailure);
        return Outcome::kNoMemory;
    }
    std::size_t cursor = root.payload;
    while (!open.Empty()) {
        OpenFolder& top = open.Top();
        const std::size_t remaining = cursor < top.end ? top.end - cursor : 0;
        if (remaining == 0) {
            open.Pop();
            continue;
        }
        if (remaining < kHeaderLength) {
            Diagnose(kCorruptFolder);
            return Outcome::kCorrupt;
        }
        Chunk child;
        const Outcome outcome = ReadChunk(stream, available, cursor, child);
        if (outcome != Outcome::kParsed) {
            return outcome;
        }
        InsertItem(child.item, top.folder, top.lastChild);
        top.lastChild = child.item;
        if (child.item->bFolder != 0) {
            // The child's own line: it could not be opened for want of memory.
            if (!open.Push(OpenFolder{child.item, nullptr, child.end})) {
                Diagnose(kAllocationFailure);
                return Outcome::kNoMemory;
            }
            cursor = child.payload;
        } else {
            cursor = child.end;
        }
    }
    return Outcome::kParsed;
}

}  // namespace

bool IsFolderIdentifier(const unsigned char* identifier) {
    for (const char* entry : kFolderTable) {
        if (std::memcmp(identifier, entry, kNameLength) == 0) {
            return true;
        }
    }
    return false;
}

RifItem* ParseStream(const void* stream, std::size_t available) {
    if (stream == nullptr) {
        return nullptr;
    }
    const auto* bytes = static_cast<const unsigned char*>(stream);
    if (!Fits(0, kNameLength, available) || std::memcmp(bytes, kRootIdentifier, kNameLength) != 0) {
        Diagnose(kNotAStream);
        return nullptr;
    }
    Chunk root;
    if (ReadChunk(bytes, available, 0, root) != Outcome::kParsed) {
        return nullptr;
    }
    HeapStack<OpenFolder> open;
    const Outcome outcome = ReadChildren(bytes, available, root, open);
    if (outcome == Outcome::kParsed) {
        return root.item;
    }
    if (outcome == Outcome::kNoMemory) {
        for (std::size_t level = open.Size(); level > 0; --level) {
            Diagnose(kAllocationFailure);
        }
    }
    DeleteItem(root.item);
    return nullptr;
}

}  // namespace tessera

extern "C" TESSERA_API RifItem* ParseRif(const void* stream) {
    return tessera::ParseStream(stream, SIZE_MAX);
}
