#include "tests/codec/reference_codec.h"

#include <cstring>

namespace reference {
namespace {

constexpr int kHeader = 316;

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t Get32(const std::uint8_t* at) {
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

}  // namespace

std::vector<std::uint8_t> Compress(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return {};
    }
    std::vector<std::uint8_t> header(kHeader, 0);
    std::memcpy(header.data(), "REBCRIF1", 8);
    Put32(header, 12, static_cast<std::uint32_t>(size));

    // Weights: occurrences plus one.
    std::uint64_t freq[256] = {};
    for (std::size_t i = 0; i < size; ++i) {
        ++freq[data[i]];
    }
    for (auto& f : freq) {
        f += 1;
    }

    // Ranking: the least weight not yet taken, the lowest value on ties.
    // The k-th value taken goes to offset 60 + k and becomes leaf 511 - k.
    std::uint64_t weight[512] = {};
    int parent[512] = {};
    bool taken[256] = {};
    for (int k = 0; k < 256; ++k) {
        int best = -1;
        for (int v = 0; v < 256; ++v) {
            if (!taken[v] && (best < 0 || freq[v] < freq[best])) {
                best = v;
            }
        }
        taken[best] = true;
        header[60 + k] = static_cast<std::uint8_t>(best);
        weight[511 - k] = freq[best];
    }

    // Tree: node 255 down to 1, each the parent of the two parentless nodes
    // above it of least weight, the higher number first on ties.
    for (int node = 255; node >= 1; --node) {
        int pick[2] = {-1, -1};
        for (int& p : pick) {
            for (int candidate = 511; candidate > node; --candidate) {
                if (parent[candidate] != 0 || candidate == pick[0]) {
                    continue;
                }
                if (p < 0 || weight[candidate] < weight[p]) {
                    p = candidate;
                }
            }
        }
        weight[node] = weight[pick[0]] + weight[pick[1]];
        parent[pick[0]] = node;
        parent[pick[1]] = node;
    }

    // Lengths: each leaf's number of ancestors, at most 11; then the reserved code.
    int c[12] = {};
    for (int leaf = 511; leaf >= 256; --leaf) {
        int depth = 0;
        for (int n = leaf; n != 1; n = parent[n]) {
            ++depth;
        }
        ++c[depth > 11 ? 11 : depth];
    }
    ++c[11];

    // Limiting to 11 bits.
    int room = 2048;
    for (int k = 1; k <= 10; ++k) {
        room -= c[k] * (1 << (11 - k));
    }
    while (c[11] > room) {
        int k = 10;
        while (c[k] == 0) {
            --k;
        }
        c[k] -= 1;
        c[11] += 1;
        room += 1 << (11 - k);
    }
    int spare = room - c[11];
    while (spare > 0 && c[11] != 0) {
        c[11] -= 1;
        spare += 1;
        int p = 1;
        while (p * 2 <= spare && p * 2 <= 1024) {
            p *= 2;
        }
        int log = 0;
        while ((1 << log) != p) {
            ++log;
        }
        c[11 - log] += 1;
        spare -= p;
    }
    for (int k = 1; k <= 11; ++k) {
        Put32(header, 16 + 4 * (k - 1), static_cast<std::uint32_t>(c[k]));
    }

    // Canonical codes: the n-th code goes to the byte at offset 315 - n.
    std::uint32_t codeValue[256] = {};
    int codeLength[256] = {};
    std::uint32_t first = 0;
    int n = 0;
    for (int k = 1; k <= 11; ++k) {
        if (k > 1) {
            first = (first + static_cast<std::uint32_t>(c[k - 1])) * 2;
        }
        for (int i = 0; i < c[k]; ++i, ++n) {
            if (n < 256) {
                int symbol = header[315 - n];
                codeValue[symbol] = first + static_cast<std::uint32_t>(i);
                codeLength[symbol] = k;
            }
        }
    }

    // Packing: a 32-bit accumulator, words stored as they fill, and one more
    // word at the end even when it is empty.
    std::vector<std::uint8_t> out = header;
    std::uint32_t accumulator = 0;
    int b = 0;
    auto storeWord = [&out](std::uint32_t word) {
        for (int i = 0; i < 4; ++i) {
            out.push_back(static_cast<std::uint8_t>(word >> (8 * i)));
        }
    };
    for (std::size_t i = 0; i < size; ++i) {
        const int length = codeLength[data[i]];
        std::uint64_t p = 0;  // code bits in stream order
        for (int bit = 0; bit < length; ++bit) {
            p |= static_cast<std::uint64_t>((codeValue[data[i]] >> (length - 1 - bit)) & 1) << bit;
        }
        if (b + length < 32) {
            accumulator |= static_cast<std::uint32_t>(p << b);
            b += length;
        } else {
            storeWord(static_cast<std::uint32_t>(p << b) | accumulator);
            accumulator = static_cast<std::uint32_t>(p >> (32 - b));
            b = b + length - 32;
        }
    }
    storeWord(accumulator);
    Put32(out, 8, static_cast<std::uint32_t>(out.size() - kHeader));
    return out;
}

Decoded Decode(const std::uint8_t* container, std::size_t available) {
    Decoded result;
    if (container == nullptr || available < kHeader) {
        return result;
    }
    if (std::memcmp(container, "REBC", 4) != 0 || std::memcmp(container + 4, "RIF1", 4) != 0) {
        return result;
    }
    const std::uint32_t streamSize = Get32(container + 8);
    const std::uint32_t plainSize = Get32(container + 12);
    if (streamSize == 0 || plainSize == 0 || streamSize > available - kHeader) {
        return result;
    }
    result.status = Status::kFailed;

    // The implicit tree: root 2048, the k-th bit steps by 2^(11 - k), a 1 bit
    // down and a 0 bit up; leaves hold 256 + symbol.
    std::uint32_t table[4096] = {};
    std::uint32_t free = 1;
    int n = 0;
    for (int k = 1; k <= 11 && n < 256; ++k) {
        free *= 2;
        const std::uint32_t count = Get32(container + 16 + 4 * (k - 1));
        if (count > free) {
            result.messages.push_back("ERROR: The file is corrupt!");
            result.messages.push_back("ERROR: Failed to build Huffman table!\n");
            return result;
        }
        for (std::uint32_t i = 0; i < count && n < 256; ++i) {
            const std::uint32_t v = (1u << k) - free;
            const std::uint32_t index = 4096 - (1u << (11 - k)) - v * (1u << (12 - k));
            table[index] = 256 + container[315 - n];
            ++n;
            --free;
        }
    }
    if (n < 256) {
        result.messages.push_back("ERROR: Failed to build Huffman table!\n");
        return result;
    }

    // The walk: one bit at a time from bit 0 of the first word; a word is
    // read only when all of its four bytes lie inside the stream.
    std::uint32_t consumed = 0;
    std::size_t word = 0;
    int bit = 0;
    while (result.plain.size() < plainSize) {
        if (consumed >= streamSize) {
            return result;
        }
        int index = 2048;
        int step = 1024;
        bool found = false;
        for (int k = 0; k < 11; ++k) {
            if (4 * word + 4 > streamSize) {
                return result;  // the code runs past the stream
            }
            const std::uint32_t w = Get32(container + kHeader + 4 * word);
            const int value = (w >> bit) & 1;
            if (++bit == 32) {
                bit = 0;
                ++word;
                consumed += 4;
            }
            index += value ? -step : step;
            if (table[index] != 0) {
                result.plain.push_back(static_cast<std::uint8_t>(table[index]));
                found = true;
                break;
            }
            step /= 2;
        }
        if (!found) {
            result.messages.push_back("ERROR: Input data is corrupt!");
            return result;
        }
    }
    result.status = Status::kDecoded;
    return result;
}

}  // namespace reference
