// RifBuffer: linear growth, 32-bit sizes, failures as results.
#include "chunkfile/rif_buffer.h"

#include <cstring>
#include <limits>

#include "chunkfile/allocator.h"
#include "chunkfile/tessera.h"

namespace tessera {

namespace {
constexpr std::uint32_t kDefaultGrowBy = 0x10000;
constexpr std::uint64_t kMaxSize = std::numeric_limits<std::uint32_t>::max();
}  // namespace

RifBuffer::RifBuffer(std::uint32_t growBy) : dwGrowBy(growBy == 0 ? kDefaultGrowBy : growBy) {}

RifBuffer::~RifBuffer() {
    Free(pData);
}

std::uint32_t RifBuffer::Write(const void* source, std::uint32_t length) {
    if (source == nullptr || length == 0) {
        return 0;
    }
    const std::uint64_t end = std::uint64_t{dwPosition} + length;
    if (end > kMaxSize) {
        return 0;
    }
    if (end > dwCapacity) {
        // Enough whole steps to hold the write, in one reallocation; the last
        // step is cut short at the 32-bit limit rather than refused.
        const std::uint64_t shortfall = end - dwCapacity;
        const std::uint64_t steps = (shortfall + dwGrowBy - 1) / dwGrowBy;
        std::uint64_t capacity = dwCapacity + steps * dwGrowBy;
        if (capacity > kMaxSize) {
            capacity = kMaxSize;
        }
        void* block = Reallocate(pData, static_cast<std::size_t>(capacity));
        if (block == nullptr) {
            return 0;
        }
        pData = block;
        dwCapacity = static_cast<std::uint32_t>(capacity);
    }
    std::memcpy(static_cast<unsigned char*>(pData) + dwPosition, source, length);
    dwPosition = static_cast<std::uint32_t>(end);
    if (dwLength < dwPosition) {
        dwLength = dwPosition;
    }
    return length;
}

bool RifBuffer::Seek(std::uint32_t position) {
    if (position > dwLength) {
        dwPosition = dwLength;
        return false;
    }
    dwPosition = position;
    return true;
}

void* RifBuffer::Detach() {
    void* block = pData;
    pData = nullptr;
    dwCapacity = 0;
    dwLength = 0;
    dwPosition = 0;
    return block;
}

}  // namespace tessera

extern "C" TESSERA_API void ReleaseBuffer(void* block) {
    tessera::Free(block);
}
