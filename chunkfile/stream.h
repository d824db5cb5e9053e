// The plain chunk stream and its two conversions, inside the library.
//
// A stream is one root chunk "REBINFF2"; a chunk is an 8-byte identifier, a
// 32-bit little-endian size that counts the 12-byte header, and a payload:
// a data chunk's bytes, or a folder's child chunks back to back. Whether a
// chunk is a folder is decided by its identifier alone (IsFolderIdentifier).
//
// Neither conversion recurses: both walk the tree with an explicit stack on
// the library heap, so a stream nested a million folders deep is as safe as a
// flat one, and running out of memory for the stack is one more allocation
// failure reported like the others.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "chunkfile/allocator.h"
#include "chunkfile/item_tree.h"

namespace tessera {

// The bounded parse. Returns the root of a new tree, or null after the
// diagnostic lines, and never reads a byte at or past stream + available:
//   - fewer than 8 bytes, or a first identifier other than "REBINFF2":
//     "WARNING: ParseRif() the buffer does not contain a valid REBINFF2 item";
//   - a chunk whose 12-byte header or whose claimed size does not fit in what
//     is left of the given bytes, or whose size is below 12:
//     "ERROR: ParseRifEx() -> the Rif is corrupt!";
//   - a folder with 1 to 11 bytes left after its last whole child:
//     "ERROR: the Rif is corrupt!";
//   - an allocation failure: the line of the operation that failed, then
//     "ERROR: memory allocation failure!" from every folder that was open
//     around it, innermost first.
// A corrupt chunk is reported once, by the line of the chunk itself; the
// folders around it add nothing. ParseRif is ParseStream(stream, SIZE_MAX).
RifItem* ParseStream(const void* stream, std::size_t available);

// The tree under root as a plain stream in a new block of the library heap,
// its length through length (when given; 0 on failure). Null for a null root
// and, after "WARNING (Tessera.dll): memory allocation failure during
// compilation!", when the heap is exhausted or the stream would pass 4 GiB.
// CompileRif is CompileTree.
void* CompileTree(const RifItem* root, std::uint32_t* length);

// Whether an 8-byte identifier, compared as raw bytes, names a folder.
bool IsFolderIdentifier(const unsigned char* identifier);

// A last-in first-out stack of trivially copyable frames on the library heap.
// Push reports an exhausted heap by its result instead of throwing, so the
// walks can turn it into their own failure line.
template <typename Frame>
class HeapStack {
    static_assert(std::is_trivially_copyable_v<Frame>);

public:
    HeapStack() = default;
    ~HeapStack() { Free(frames_); }
    HeapStack(const HeapStack&) = delete;
    HeapStack& operator=(const HeapStack&) = delete;

    [[nodiscard]] bool Push(const Frame& frame) {
        if (size_ == capacity_) {
            const std::size_t capacity = capacity_ == 0 ? 64 : capacity_ * 2;
            if (capacity > SIZE_MAX / sizeof(Frame)) {
                return false;
            }
            void* grown = Reallocate(frames_, capacity * sizeof(Frame));
            if (grown == nullptr) {
                return false;
            }
            frames_ = static_cast<Frame*>(grown);
            capacity_ = capacity;
        }
        frames_[size_++] = frame;
        return true;
    }
    void Pop() { --size_; }
    Frame& Top() { return frames_[size_ - 1]; }
    bool Empty() const { return size_ == 0; }
    std::size_t Size() const { return size_; }

private:
    Frame* frames_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace tessera
