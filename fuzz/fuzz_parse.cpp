// Arbitrary bytes into the bounded parser. Whatever it accepts must compile,
// and when the bytes are already in the form the compiler writes (names
// zero-padded after their first zero byte, every folder exactly filled by its
// children), compiling must give back the root chunk byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "chunkfile/item_tree.h"
#include "chunkfile/stream.h"
#include "chunkfile/tessera.h"

namespace {

std::uint32_t ReadSize(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

// Walks the tree and the bytes it came from side by side: true when every
// item's name equals its chunk's raw identifier and every folder ends exactly
// where its last child ends. The parser has already checked that every chunk
// lies inside the bytes.
bool IsCompiledForm(const std::uint8_t* data, const RifItem* root) {
    struct Frame {
        const RifItem* next;
        std::size_t end;
    };
    std::vector<Frame> open;
    std::size_t cursor = 0;
    const RifItem* item = root;
    for (;;) {
        if (std::memcmp(data + cursor, item->szName, 8) != 0) {
            return false;
        }
        const std::uint32_t size = ReadSize(data + cursor + 8);
        if (item->bFolder != 0) {
            open.push_back(Frame{item->pChild, cursor + size});
            cursor += 12;
        } else {
            cursor += size;
        }
        for (;;) {
            if (open.empty()) {
                return true;
            }
            Frame& top = open.back();
            if (top.next != nullptr) {
                item = top.next;
                top.next = item->pNext;
                break;
            }
            if (cursor != top.end) {
                return false;
            }
            open.pop_back();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RifItem* root = tessera::ParseStream(data, size);
    if (root == nullptr) {
        return 0;
    }
    std::uint32_t length = 0;
    void* compiled = CompileRif(root, &length);
    if (compiled == nullptr) {
        std::abort();  // a parsed tree always fits in 32-bit sizes
    }
    if (IsCompiledForm(data, root)) {
        const std::uint32_t rootSize = ReadSize(data + 8);
        if (length != rootSize || std::memcmp(compiled, data, length) != 0) {
            std::abort();
        }
    }
    ReleaseBuffer(compiled);
    DeleteRifItem(root);
    return 0;
}
