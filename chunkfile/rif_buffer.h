// RifBuffer: the growable block that compiled streams are written into.
//
// It grows linearly, by a fixed step and only when a write does not fit, and
// every size in it is 32-bit like the stream's own size fields: a write that
// would carry the content past 4 GiB is refused, never wrapped.
#pragma once

#include <cstdint>

namespace tessera {

class RifBuffer {
public:
    // A grow step of 0 means 65536 bytes.
    explicit RifBuffer(std::uint32_t growBy);
    virtual ~RifBuffer();

    RifBuffer(const RifBuffer&) = delete;
    RifBuffer& operator=(const RifBuffer&) = delete;

    // Copies length bytes of source to the cursor, enlarging the block in
    // steps of dwGrowBy as needed, and returns the number of bytes written:
    // length, or 0 when source is null, length is 0, the block cannot be
    // enlarged (it then stays as it was, owned by the buffer) or the content
    // would pass 4 GiB. Callers compare the result with length.
    std::uint32_t Write(const void* source, std::uint32_t length);
    // Moves the cursor; a position beyond dwLength moves it to dwLength and
    // returns false.
    bool Seek(std::uint32_t position);
    // Hands the block to the caller (free it with tessera::Free) and empties
    // the buffer; dwGrowBy stays.
    void* Detach();

    std::uint32_t dwCapacity = 0;  // bytes allocated
    std::uint32_t dwLength = 0;    // high-water mark of the cursor: the valid content
    std::uint32_t dwPosition = 0;  // write cursor
    std::uint32_t dwGrowBy;        // bytes added at each enlargement
    void* pData = nullptr;         // the block, or null
};

}  // namespace tessera
