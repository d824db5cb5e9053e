// Writing a tree out as a plain chunk stream.
//
// One pass over the tree: a folder's size is not known until its children
// are written, so its header gets the placeholder 12 and is patched when the
// walk leaves the folder. The walk keeps an explicit stack of the folders it
// is inside, with where each one's header starts; the root is always written
// as a folder, whatever its flag, and every other item as its flag says.
//
// Every size is 32-bit. A tree whose stream would pass 4 GiB, like a heap
// that cannot grow, ends the compilation with one warning and no output.
#include <cstring>
#include <limits>

#include "chunkfile/byte_order.h"
#include "chunkfile/diagnostics.h"
#include "chunkfile/rif_buffer.h"
#include "chunkfile/stream.h"

namespace tessera {
namespace {

constexpr char kCompileFailure[] =
    "WARNING (Tessera.dll): memory allocation failure during compilation!\n";

// Compiled streams grow in steps of 256 KiB.
constexpr std::uint32_t kCompileGrowBy = 0x40000;

// A folder whose children are being written.
struct OpenFolder {
    const RifItem* folder;
    std::uint32_t start;
};

bool WriteSize(RifBuffer& buffer, std::uint64_t size) {
    if (size > std::numeric_limits<std::uint32_t>::max()) {
        return false;
    }
    std::uint8_t bytes[kSizeLength];
    StoreLe32(bytes, static_cast<std::uint32_t>(size));
    return buffer.Write(bytes, kSizeLength) == kSizeLength;
}

bool WriteName(RifBuffer& buffer, const RifItem* item) {
    return buffer.Write(item->szName, kNameLength) == kNameLength;
}

// Opens a folder: its name, the placeholder size, and a frame to patch it.
bool OpenFolderHeader(RifBuffer& buffer, HeapStack<OpenFolder>& open, const RifItem* folder) {
    const std::uint32_t start = buffer.dwPosition;
    return WriteName(buffer, folder) && WriteSize(buffer, kHeaderLength) &&
           open.Push(OpenFolder{folder, start});
}

// Patches the size of the innermost open folder and closes it.
bool CloseFolder(RifBuffer& buffer, HeapStack<OpenFolder>& open) {
    const std::uint32_t start = open.Top().start;
    open.Pop();
    const std::uint32_t end = buffer.dwLength;
    return buffer.Seek(start + static_cast<std::uint32_t>(kNameLength)) &&
           WriteSize(buffer, end - start) && buffer.Seek(end);
}

bool WriteDataItem(RifBuffer& buffer, const RifItem* item) {
    if (!WriteName(buffer, item)) {
        return false;
    }
    if (item->pData == nullptr || item->dwDataSize == 0) {
        return WriteSize(buffer, kHeaderLength);
    }
    return WriteSize(buffer, std::uint64_t{item->dwDataSize} + kHeaderLength) &&
           buffer.Write(item->pData, item->dwDataSize) == item->dwDataSize;
}

// Writes root and its subtree into buffer; false when the buffer or the
// stack could not grow or a size would not fit in 32 bits.
bool WriteTree(RifBuffer& buffer, const RifItem* root) {
    HeapStack<OpenFolder> open;
    if (!OpenFolderHeader(buffer, open, root)) {
        return false;
    }
    const RifItem* next = root->pChild;
    while (!open.Empty()) {
        if (next == nullptr) {
            const RifItem* finished = open.Top().folder;
            if (!CloseFolder(buffer, open)) {
                return false;
            }
            next = open.Empty() ? nullptr : finished->pNext;
            continue;
        }
        if (next->bFolder != 0) {
            if (!OpenFolderHeader(buffer, open, next)) {
                return false;
            }
            next = next->pChild;
        } else {
            if (!WriteDataItem(buffer, next)) {
                return false;
            }
            next = next->pNext;
        }
    }
    return true;
}

}  // namespace

void* CompileTree(const RifItem* root, std::uint32_t* length) {
    if (root == nullptr) {
        return nullptr;
    }
    if (length != nullptr) {
        *length = 0;
    }
    RifBuffer buffer(kCompileGrowBy);
    if (!WriteTree(buffer, root)) {
        Diagnose(kCompileFailure);
        return nullptr;
    }
    const std::uint32_t total = buffer.dwLength;
    if (length != nullptr) {
        *length = total;
    }
    return buffer.Detach();
}

}  // namespace tessera

extern "C" TESSERA_API void* CompileRif(RifItem* root, std::uint32_t* length) {
    return tessera::CompileTree(root, length);
}
