// Huffman encoding: plain bytes to a "REBCRIF1" container.
//
// The container fixes every bit of the output, so the code is built exactly
// one way: byte values ranked by weight, a Huffman tree with fixed tie rules,
// its depths cut to 11 bits and repaired, and canonical codes handed out from
// the end of the ranking (huffman.h has the layout). Only the counting and the
// packing see every input byte, so they are where the time goes:
//
//   - counting spreads the bytes over eight histograms, one per byte of an
//     8-byte load, so that runs of one value do not wait on the increment of
//     the same counter;
//   - packing keeps a 64-bit accumulator, adds five codes (at most 55 bits)
//     between flushes and stores whole bytes with one unaligned 8-byte write;
//     where the processor has them (x86-64 with BMI2, chosen at run time), its
//     variable shifts take one instruction instead of three;
//   - the exact output size follows from the histogram and the code lengths,
//     so the result is allocated once and never grows.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "chunkfile/allocator.h"
#include "chunkfile/byte_order.h"
#include "chunkfile/cpu_dispatch.h"
#include "chunkfile/huffman.h"
#include "chunkfile/tessera.h"

namespace tessera {
namespace {

constexpr int kMaxLength = 11;
constexpr int kSymbols = 256;
// Leaves are tree nodes 256 to 511, internal nodes 255 down to 1 (the root);
// node 0 stands for "no parent".
constexpr int kNodes = 512;
constexpr int kFirstLeaf = 256;

struct Code {
    std::uint64_t bits[kSymbols];
    std::uint8_t length[kSymbols];
};

// Bytes of slack after the stream, so that the packer may always store a
// whole 64-bit word.
constexpr std::size_t kPackSlack = 8;

// ---------------------------------------------------------------------------
// Counting
// ---------------------------------------------------------------------------

// Occurrences of every byte value. Each byte position of an 8-byte word has
// its own table, so a run of one value never makes an increment wait on the
// one just before it; each table sees at most an eighth of a 32-bit input.
void CountBytes(const std::uint8_t* data, std::size_t size, std::uint64_t* counts) {
    std::uint32_t tables[8][kSymbols] = {};
    const std::uint8_t* p = data;
    const std::uint8_t* end = data + size;
    while (end - p >= 8) {
        const std::uint64_t word = LoadLe64(p);
        ++tables[0][word & 0xFF];
        ++tables[1][(word >> 8) & 0xFF];
        ++tables[2][(word >> 16) & 0xFF];
        ++tables[3][(word >> 24) & 0xFF];
        ++tables[4][(word >> 32) & 0xFF];
        ++tables[5][(word >> 40) & 0xFF];
        ++tables[6][(word >> 48) & 0xFF];
        ++tables[7][word >> 56];
        p += 8;
    }
    while (p < end) {
        ++tables[0][*p++];
    }
    for (int s = 0; s < kSymbols; ++s) {
        std::uint64_t sum = 0;
        for (const auto& table : tables) {
            sum += table[s];
        }
        counts[s] = sum;
    }
}

// ---------------------------------------------------------------------------
// Code construction
// ---------------------------------------------------------------------------

// Ranks the byte values by ascending weight (count + 1), ties by ascending
// value: order[k] is the k-th value taken, rankWeight[k] its weight. Weights
// are 64-bit: a 32-bit weight would wrap for inputs near 4 GiB.
void Rank(const std::uint64_t* counts, std::uint8_t* order, std::uint64_t* rankWeight) {
    std::array<std::uint16_t, kSymbols> values;
    for (int s = 0; s < kSymbols; ++s) {
        values[s] = static_cast<std::uint16_t>(s);
    }
    std::stable_sort(values.begin(), values.end(),
                     [counts](std::uint16_t a, std::uint16_t b) { return counts[a] < counts[b]; });
    for (int k = 0; k < kSymbols; ++k) {
        order[k] = static_cast<std::uint8_t>(values[k]);
        rankWeight[k] = counts[values[k]] + 1;
    }
}

// Builds the tree and counts the codes of each length (index 1 to 11), the
// reserved code included. Each merge takes the two parentless nodes of least
// weight, the higher node number first on equal weights. Leaves are numbered
// in ranking order and internal nodes are made in order of non-decreasing
// weight, so two queues (leaves, internal nodes) hold the candidates sorted by
// exactly that rule, and a leaf wins every tie with an internal node.
bool CountLengths(const std::uint64_t* rankWeight, int* lengthCount) {
    std::uint64_t weight[kNodes] = {};
    std::uint16_t parent[kNodes] = {};
    for (int k = 0; k < kSymbols; ++k) {
        weight[kNodes - 1 - k] = rankWeight[k];
    }
    int nextLeaf = kNodes - 1;
    int nextInternal = kFirstLeaf - 1;
    for (int node = kFirstLeaf - 1; node >= 1; --node) {
        int picked[2];
        for (int& pick : picked) {
            const bool leafLeft = nextLeaf >= kFirstLeaf;
            const bool internalLeft = nextInternal > node;
            if (leafLeft && (!internalLeft || weight[nextLeaf] <= weight[nextInternal])) {
                pick = nextLeaf--;
            } else {
                pick = nextInternal--;
            }
        }
        weight[node] = weight[picked[0]] + weight[picked[1]];
        parent[picked[0]] = static_cast<std::uint16_t>(node);
        parent[picked[1]] = static_cast<std::uint16_t>(node);
    }
    // A parent always has a lower number than its children, so one upward
    // sweep gives every node its depth.
    std::uint8_t depth[kNodes] = {};
    for (int node = 2; node < kNodes; ++node) {
        if (parent[node] == 0) {
            return false;
        }
        depth[node] = static_cast<std::uint8_t>(std::min<int>(depth[parent[node]] + 1, 255));
    }
    std::fill(lengthCount, lengthCount + kMaxLength + 1, 0);
    for (int leaf = kNodes - 1; leaf >= kFirstLeaf; --leaf) {
        ++lengthCount[std::min<int>(depth[leaf], kMaxLength)];
    }
    ++lengthCount[kMaxLength];  // the reserved code
    return true;
}

// Moves codes so that the 257 of them fit in 11 bits: first push codes from
// the longest shorter length down to 11 until the 11-bit codes fit, then hand
// the 11-bit slots left over back as shorter codes, largest first.
bool LimitLengths(int* c) {
    int room = 1 << kMaxLength;
    for (int k = 1; k < kMaxLength; ++k) {
        room -= c[k] << (kMaxLength - k);
    }
    while (c[kMaxLength] > room) {
        int k = kMaxLength - 1;
        while (k >= 1 && c[k] == 0) {
            --k;
        }
        if (k < 1) {
            return false;
        }
        --c[k];
        ++c[kMaxLength];
        room += 1 << (kMaxLength - k);
    }
    int spare = room - c[kMaxLength];
    while (spare > 0 && c[kMaxLength] != 0) {
        --c[kMaxLength];
        ++spare;
        int shift = 0;
        while (shift < 10 && (2 << shift) <= spare) {
            ++shift;
        }
        ++c[kMaxLength - shift];
        spare -= 1 << shift;
    }
    return true;
}

// Canonical codes: bits[s] holds the code of byte value s in stream order
// (its most significant bit in bit 0), length[s] its length.
bool AssignCodes(const int* c, const std::uint8_t* order, Code& code) {
    std::uint32_t next = 0;
    int n = 0;
    for (int length = 1; length <= kMaxLength; ++length) {
        next <<= 1;
        // Codes past the 256th (the reserved one) belong to no byte value but
        // must still fit.
        for (int i = 0; i < c[length]; ++i, ++next) {
            if (next >= (1u << length)) {
                return false;
            }
            if (n == kSymbols) {
                continue;
            }
            std::uint32_t reversed = 0;
            for (int bit = 0; bit < length; ++bit) {
                reversed |= ((next >> bit) & 1u) << (length - 1 - bit);
            }
            const std::uint8_t symbol = order[kSymbols - 1 - n];
            code.bits[symbol] = reversed;
            code.length[symbol] = static_cast<std::uint8_t>(length);
            ++n;
        }
    }
    return n == kSymbols;
}

// ---------------------------------------------------------------------------
// Packing
// ---------------------------------------------------------------------------

// Writes the codes of every input byte from out on, least significant bit
// first, and returns the end of the last partly filled byte. Up to five codes
// (55 bits) join at most 7 pending bits before whole bytes are flushed.
TESSERA_ALWAYS_INLINE inline std::uint8_t* PackLoop(const std::uint8_t* data, std::size_t size,
                                                    const Code& code, std::uint8_t* out) {
    std::uint64_t bits = 0;
    unsigned count = 0;
    const std::uint8_t* p = data;
    const std::uint8_t* end = data + size;
    auto add = [&](std::uint8_t symbol) {
        bits |= code.bits[symbol] << count;
        count += code.length[symbol];
    };
    auto flush = [&] {
        StoreLe64(out, bits);
        out += count >> 3;
        bits >>= count & ~7u;
        count &= 7;
    };
    while (end - p >= 5) {
        add(p[0]);
        add(p[1]);
        add(p[2]);
        add(p[3]);
        add(p[4]);
        p += 5;
        flush();
    }
    while (p < end) {
        add(*p++);
        flush();
    }
    StoreLe64(out, bits);
    return out + (count + 7) / 8;
}

#if TESSERA_X86_DISPATCH
// The same loop where variable shifts take one instruction (shlx).
__attribute__((target("bmi2"))) std::uint8_t* PackBmi2(const std::uint8_t* data, std::size_t size,
                                                       const Code& code, std::uint8_t* out) {
    return PackLoop(data, size, code, out);
}
#endif

std::uint8_t* Pack(const std::uint8_t* data, std::size_t size, const Code& code,
                   std::uint8_t* out) {
#if TESSERA_X86_DISPATCH
    if (__builtin_cpu_supports("bmi2")) {
        return PackBmi2(data, size, code, out);
    }
#endif
    return PackLoop(data, size, code, out);
}

}  // namespace

// ---------------------------------------------------------------------------
// Container
// ---------------------------------------------------------------------------

void* CompressContainer(const void* data, std::uint32_t size, std::uint32_t* outSize) {
    if (data == nullptr || size == 0) {
        return nullptr;
    }
    if (outSize != nullptr) {
        *outSize = 0;
    }
    const auto* input = static_cast<const std::uint8_t*>(data);

    std::uint64_t counts[kSymbols];
    CountBytes(input, size, counts);
    std::uint8_t order[kSymbols];
    std::uint64_t rankWeight[kSymbols];
    Rank(counts, order, rankWeight);
    int lengthCount[kMaxLength + 1];
    if (!CountLengths(rankWeight, lengthCount) || !LimitLengths(lengthCount)) {
        return nullptr;
    }
    Code code;
    if (!AssignCodes(lengthCount, order, code)) {
        return nullptr;
    }

    // The stream is every code bit plus at least one bit of padding, rounded
    // up to whole words: a stream that ends on a word boundary gets one more
    // all-zero word.
    std::uint64_t totalBits = 0;
    for (int s = 0; s < kSymbols; ++s) {
        totalBits += counts[s] * code.length[s];
    }
    const std::uint64_t streamSize = 4 * (totalBits / 32 + 1);
    if (streamSize > UINT32_MAX - kContainerHeaderSize ||
        streamSize > SIZE_MAX - kContainerHeaderSize - kPackSlack) {
        return nullptr;  // the container's length would not fit its 32-bit fields
    }
    auto* container = static_cast<std::uint8_t*>(
        Allocate(kContainerHeaderSize + static_cast<std::size_t>(streamSize) + kPackSlack));
    if (container == nullptr) {
        return nullptr;
    }

    std::memcpy(container, "REBCRIF1", 8);
    StoreLe32(container + 8, static_cast<std::uint32_t>(streamSize));
    StoreLe32(container + 12, size);
    for (int k = 1; k <= kMaxLength; ++k) {
        StoreLe32(container + 16 + 4 * (k - 1), static_cast<std::uint32_t>(lengthCount[k]));
    }
    std::memcpy(container + 60, order, kSymbols);

    std::uint8_t* stream = container + kContainerHeaderSize;
    std::uint8_t* written = Pack(input, size, code, stream);
    std::memset(written, 0, static_cast<std::size_t>(stream + streamSize - written));

    const auto total = static_cast<std::uint32_t>(kContainerHeaderSize + streamSize);
    if (outSize != nullptr) {
        *outSize = total;
    }
    return container;
}

}  // namespace tessera

extern "C" TESSERA_API void* CompressRif(const void* data, uint32_t size, uint32_t* outSize) {
    return tessera::CompressContainer(data, size, outSize);
}
