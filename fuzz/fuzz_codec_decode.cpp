// Decoding arbitrary containers gives exactly what the literal bit-by-bit
// decoder gives: the same bytes, or the same refusal with the same messages,
// both sequentially and with the interleaved lanes forced on however small
// the stream.
//
// An input that begins with the container magic is decoded as it is. Any
// other input is first compressed, and the container's stream and plain size
// are then disturbed by the input's own bytes, so that valid code tables meet
// corrupt, short and over-long streams.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "chunkfile/allocator.h"
#include "chunkfile/diagnostics.h"
#include "chunkfile/huffman.h"
#include "tests/codec/reference_codec.h"

namespace {

void Collect(const char* message, void* messages) {
    static_cast<std::vector<std::string>*>(messages)->emplace_back(message);
}

void CheckOnce(const std::vector<std::uint8_t>& bytes) {
    // An exactly sized copy: any read past the end trips the sanitizer.
    auto* copy = static_cast<std::uint8_t*>(std::malloc(bytes.size()));
    std::memcpy(copy, bytes.data(), bytes.size());

    std::vector<std::string> messages;
    tessera::SetDiagnosticHook(&Collect, &messages);
    std::uint32_t outSize = 0xDEADBEEF;
    void* plain = tessera::DecompressContainer(copy, bytes.size(), &outSize);
    tessera::SetDiagnosticHook(nullptr, nullptr);

    const reference::Decoded expected = reference::Decode(copy, bytes.size());
    std::free(copy);
    if (messages != expected.messages) {
        std::abort();
    }
    switch (expected.status) {
        case reference::Status::kRefused:
            if (plain != nullptr || outSize != 0xDEADBEEF) {
                std::abort();
            }
            break;
        case reference::Status::kFailed:
            if (plain != nullptr || outSize != 0) {
                std::abort();
            }
            break;
        case reference::Status::kDecoded:
            if (plain == nullptr || outSize != expected.plain.size() ||
                std::memcmp(plain, expected.plain.data(), outSize) != 0 ||
                std::memcmp(static_cast<std::uint8_t*>(plain) + outSize, "\0\0\0\0", 4) != 0) {
                std::abort();
            }
            break;
    }
    tessera::Free(plain);
}

void Check(const std::vector<std::uint8_t>& bytes) {
    tessera::SetLaneThreshold(0);
    tessera::SetLaneCount(2);
    CheckOnce(bytes);
    tessera::SetLaneCount(3);
    CheckOnce(bytes);
    tessera::SetLaneCount(0);
    tessera::SetLaneThreshold(SIZE_MAX);
    CheckOnce(bytes);
    tessera::SetLaneThreshold(tessera::kDefaultLaneThreshold);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) {
        return 0;
    }
    if (size >= 8 && std::memcmp(data, "REBCRIF1", 8) == 0) {
        Check(std::vector<std::uint8_t>(data, data + size));
        return 0;
    }
    if (size < 4) {
        return 0;
    }
    // Compress the input, then XOR its own bytes (from the fourth on) into the
    // stream, and let the first three choose how much of the stream is kept
    // and how far the plain size is moved. A first byte of 0x10 to 0x1F
    // instead disturbs only that many stream bytes less 0x10, so that long
    // valid stretches, which the lanes decode, meet a few flaws.
    std::uint32_t containerSize = 0;
    void* block =
        tessera::CompressContainer(data + 3, static_cast<std::uint32_t>(size - 3), &containerSize);
    if (block == nullptr) {
        std::abort();
    }
    const auto* bytes = static_cast<const std::uint8_t*>(block);
    std::vector<std::uint8_t> container(bytes, bytes + containerSize);
    tessera::Free(block);
    const std::size_t streamBytes = containerSize - tessera::kContainerHeaderSize;
    const std::size_t disturbed = (data[0] & 0xF0) == 0x10 ? 3 + (data[0] & 0x0F) : size;
    for (std::size_t i = 3, at = data[0] % streamBytes; i < std::min(size, disturbed);
         ++i, at = (at + 97) % streamBytes) {
        container[tessera::kContainerHeaderSize + at] ^= data[i];
    }
    const std::size_t keep = streamBytes - std::min<std::size_t>(streamBytes - 1, data[1] % 8);
    container.resize(tessera::kContainerHeaderSize + keep);
    container[8] = static_cast<std::uint8_t>(keep);
    container[9] = static_cast<std::uint8_t>(keep >> 8);
    container[10] = static_cast<std::uint8_t>(keep >> 16);
    container[11] = static_cast<std::uint8_t>(keep >> 24);
    container[12] = static_cast<std::uint8_t>(container[12] + static_cast<std::int8_t>(data[2]));
    Check(container);
    return 0;
}
