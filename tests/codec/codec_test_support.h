// Helpers of the codec tests: calling the codec with vectors, capturing its
// messages, and building containers field by field.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "chunkfile/allocator.h"
#include "chunkfile/diagnostics.h"
#include "chunkfile/huffman.h"
#include "tests/support/captured_lines.h"

namespace codec_test {

using Bytes = std::vector<std::uint8_t>;

using tessera_test::CapturedLines;

inline Bytes Compress(const Bytes& plain) {
    std::uint32_t size = 0xDEADBEEF;
    void* block =
        tessera::CompressContainer(plain.data(), static_cast<std::uint32_t>(plain.size()), &size);
    if (block == nullptr) {
        return {};
    }
    const auto* bytes = static_cast<const std::uint8_t*>(block);
    Bytes result(bytes, bytes + size);
    tessera::Free(block);
    return result;
}

// The outcome of one DecompressContainer call on an exactly sized copy of
// the container (so that a read past its end trips the address sanitizer).
struct Decoded {
    bool ok = false;
    std::uint32_t outSize = 0xDEADBEEF;  // stays so when the decoder leaves it alone
    Bytes plain;
    bool trailingZeros = false;  // the four bytes after the plain bytes are zero
    std::vector<std::string> messages;
};

inline Decoded Decompress(const Bytes& container, std::optional<std::size_t> available = {}) {
    Decoded result;
    auto* copy = static_cast<std::uint8_t*>(std::malloc(container.empty() ? 1 : container.size()));
    if (!container.empty()) {
        std::memcpy(copy, container.data(), container.size());
    }
    CapturedLines capture;
    void* block =
        tessera::DecompressContainer(copy, available.value_or(container.size()), &result.outSize);
    std::free(copy);
    result.messages = capture.lines();
    if (block != nullptr) {
        const auto* bytes = static_cast<const std::uint8_t*>(block);
        result.ok = true;
        result.plain.assign(bytes, bytes + result.outSize);
        result.trailingZeros = std::memcmp(bytes + result.outSize, "\0\0\0\0", 4) == 0;
        tessera::Free(block);
    }
    return result;
}

// A container's fields, written out in order by Build().
struct Fields {
    char magic[9] = "REBCRIF1";
    std::uint32_t streamSize = 0;  // 0: the stream's length
    std::uint32_t plainSize = 0;
    std::array<std::uint32_t, 11> counts{};  // counts[k - 1]: codes of length k
    std::array<std::uint8_t, 256> order{};   // offsets 60 to 315
    Bytes stream;
};

inline void Put32(Bytes& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

inline Bytes Build(const Fields& fields) {
    Bytes out(fields.magic, fields.magic + 8);
    Put32(out, fields.streamSize != 0 ? fields.streamSize
                                      : static_cast<std::uint32_t>(fields.stream.size()));
    Put32(out, fields.plainSize);
    for (std::uint32_t count : fields.counts) {
        Put32(out, count);
    }
    out.insert(out.end(), fields.order.begin(), fields.order.end());
    out.insert(out.end(), fields.stream.begin(), fields.stream.end());
    return out;
}

// Writes codes most significant bit first into a stream filled from bit 0
// of each byte, then pads it to whole words plus one more when it ends on a
// word boundary.
class StreamWriter {
public:
    void Code(std::uint32_t value, int length) {
        for (int bit = length - 1; bit >= 0; --bit) {
            if (bits_ % 8 == 0) {
                bytes_.push_back(0);
            }
            bytes_.back() |= static_cast<std::uint8_t>(((value >> bit) & 1) << (bits_ % 8));
            ++bits_;
        }
    }
    Bytes Finish() const {
        Bytes out = bytes_;
        out.resize(4 * (bits_ / 32 + 1), 0);
        return out;
    }

private:
    Bytes bytes_;
    std::size_t bits_ = 0;
};

}  // namespace codec_test
