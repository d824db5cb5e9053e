// Any input compresses to exactly the reference compressor's container and
// decodes back to itself.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "chunkfile/allocator.h"
#include "chunkfile/huffman.h"
#include "tests/codec/reference_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > (1u << 20)) {
        return 0;
    }
    std::uint32_t containerSize = 0;
    void* container =
        tessera::CompressContainer(data, static_cast<std::uint32_t>(size), &containerSize);
    if (container == nullptr) {
        std::abort();
    }
    const auto expected = reference::Compress(data, size);
    if (expected.size() != containerSize ||
        std::memcmp(expected.data(), container, containerSize) != 0) {
        std::abort();
    }
    std::uint32_t plainSize = 0;
    void* plain = tessera::DecompressContainer(container, containerSize, &plainSize);
    if (plain == nullptr || plainSize != size || std::memcmp(plain, data, size) != 0 ||
        std::memcmp(static_cast<std::uint8_t*>(plain) + size, "\0\0\0\0", 4) != 0) {
        std::abort();
    }
    tessera::Free(plain);
    tessera::Free(container);
    return 0;
}
