// LoadRif over untrusted bytes in both forms a level can take. The first byte
// picks the form: the rest as given (a plain stream or a raw container), or
// the rest wrapped in a sound container, so that the parser also meets
// arbitrary streams behind a valid code. Every input is copied into a block
// of exactly its length, so that any read past it is caught.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "chunkfile/tessera.h"

namespace {

std::vector<unsigned char> CompileTree(RifItem* root) {
    uint32_t length = 0;
    void* stream = CompileRif(root, &length);
    if (stream == nullptr) {
        std::abort();  // a loaded tree always compiles
    }
    const auto* bytes = static_cast<const unsigned char*>(stream);
    std::vector<unsigned char> result(bytes, bytes + length);
    ReleaseBuffer(stream);
    return result;
}

// A loaded tree compiles. Its stream loads the same whether given plain or
// as the container SaveRif makes of it. (It need not load to the same tree
// as the input: a name cut at a zero byte may now match a folder entry.)
void CheckLoaded(RifItem* root) {
    if (root == nullptr) {
        return;
    }
    const std::vector<unsigned char> stream = CompileTree(root);
    uint32_t length = 0;
    void* container = SaveRif(root, &length);
    DeleteRifItem(root);
    if (container == nullptr) {
        std::abort();
    }
    RifItem* fromStream = LoadRif(stream.data(), static_cast<uint32_t>(stream.size()));
    RifItem* fromContainer = LoadRif(container, length);
    ReleaseBuffer(container);
    if ((fromStream == nullptr) != (fromContainer == nullptr)) {
        std::abort();
    }
    if (fromStream != nullptr && CompileTree(fromStream) != CompileTree(fromContainer)) {
        std::abort();
    }
    DeleteRifItem(fromStream);
    DeleteRifItem(fromContainer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20)) {
        return 0;
    }
    const bool wrap = (data[0] & 1) != 0;
    std::vector<unsigned char> body(data + 1, data + size);
    if (!wrap) {
        // A block of exactly the input's length (one byte for an empty one).
        auto* exact = static_cast<unsigned char*>(std::malloc(body.empty() ? 1 : body.size()));
        if (!body.empty()) {
            std::memcpy(exact, body.data(), body.size());
        }
        CheckLoaded(LoadRif(exact, static_cast<uint32_t>(body.size())));
        std::free(exact);
        return 0;
    }
    if (body.empty()) {
        return 0;
    }
    uint32_t length = 0;
    void* container = CompressRif(body.data(), static_cast<uint32_t>(body.size()), &length);
    if (container == nullptr) {
        return 0;
    }
    unsigned char* exact = static_cast<unsigned char*>(std::malloc(length));
    std::memcpy(exact, container, length);
    ReleaseBuffer(container);
    CheckLoaded(LoadRif(exact, length));
    std::free(exact);
    return 0;
}
