// Round trips over many inputs, each container also compared with the
// literal reference compressor, each decode with the literal decoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <queue>
#include <random>

#include "tests/codec/codec_test_support.h"
#include "tests/codec/reference_codec.h"

namespace {

using codec_test::Bytes;

std::uint32_t Read32(const Bytes& c, std::size_t offset) {
    return c[offset] | c[offset + 1] << 8 | c[offset + 2] << 16 |
           static_cast<std::uint32_t>(c[offset + 3]) << 24;
}

// Compresses, checks the container against the reference byte for byte and
// the header's own invariants, and decodes it both ways.
void ExpectExactRoundTrip(const Bytes& plain) {
    const Bytes container = codec_test::Compress(plain);
    ASSERT_EQ(container, reference::Compress(plain.data(), plain.size()));
    ASSERT_EQ(container.size(), 316 + Read32(container, 8));
    std::uint32_t total = 0;
    std::uint32_t slots = 0;
    for (int k = 1; k <= 11; ++k) {
        total += Read32(container, 16 + 4 * (k - 1));
        slots += Read32(container, 16 + 4 * (k - 1)) << (11 - k);
    }
    EXPECT_EQ(total, 257u);
    EXPECT_LE(slots, 2048u);

    const codec_test::Decoded decoded = codec_test::Decompress(container);
    ASSERT_TRUE(decoded.ok);
    ASSERT_EQ(decoded.plain, plain);
    EXPECT_TRUE(decoded.trailingZeros);
    EXPECT_TRUE(decoded.messages.empty());
    const reference::Decoded expected = reference::Decode(container.data(), container.size());
    ASSERT_EQ(expected.status, reference::Status::kDecoded);
    ASSERT_EQ(expected.plain, plain);
}

// Bytes drawn with weight proportional to weights[value].
Bytes Draw(std::size_t size, const std::vector<double>& weights, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::discrete_distribution<int> pick(weights.begin(), weights.end());
    Bytes out(size);
    for (auto& byte : out) {
        byte = static_cast<std::uint8_t>(pick(random));
    }
    return out;
}

std::vector<double> Geometric(double ratio) {
    std::vector<double> weights(256);
    double w = 1;
    for (auto& weight : weights) {
        weight = w;
        w *= ratio;
    }
    return weights;
}

TEST(CodecRoundTrip, EveryLengthFrom1To300) {
    const std::vector<std::vector<double>> shapes = {Geometric(0.5), Geometric(0.97),
                                                     std::vector<double>(256, 1.0)};
    for (std::size_t length = 1; length <= 300; ++length) {
        SCOPED_TRACE(length);
        const auto& shape = shapes[length % shapes.size()];
        ExpectExactRoundTrip(Draw(length, shape, static_cast<std::uint32_t>(length)));
    }
}

struct Distribution {
    const char* name;
    std::vector<double> weights;
};

TEST(CodecRoundTrip, SeededDistributionsUpToMegabytes) {
    std::vector<double> twoValues(256, 0.0);
    twoValues[0x00] = 3;
    twoValues[0xFF] = 1;
    std::vector<double> oneValue(256, 0.0);
    oneValue[0x41] = 1;
    std::vector<double> text(256, 0.0);  // letters, space and a little punctuation
    const char* letters = "etaoinshrdlcumwfgypbvkjxqz";
    for (int i = 0; i < 26; ++i) {
        text[static_cast<unsigned char>(letters[i])] = 100.0 / (i + 2);
        text[static_cast<unsigned char>(letters[i] - 32)] = 4.0 / (i + 2);
    }
    text[' '] = 60;
    text['.'] = 3;
    text[','] = 4;
    text['\n'] = 1;
    std::vector<double> skewed = Geometric(0.8);
    skewed[0] = 40;

    const std::vector<Distribution> distributions = {
        {"uniform", std::vector<double>(256, 1.0)},
        {"skewed", skewed},
        {"steep", Geometric(0.3)},
        {"text", text},
        {"two_values", twoValues},
        {"one_value", oneValue},
    };
    const std::size_t sizes[] = {1000, 65536, 3 << 20};
    std::uint32_t seed = 1;
    for (const Distribution& distribution : distributions) {
        for (std::size_t size : sizes) {
            SCOPED_TRACE(std::string(distribution.name) + " " + std::to_string(size));
            ExpectExactRoundTrip(Draw(size, distribution.weights, seed++));
        }
    }
}

// Depth of the deepest leaf of a Huffman tree over count + 1 of every value,
// worked out independently of the codec (ties may change it by a level).
int UnlimitedDepth(const Bytes& plain) {
    std::vector<std::uint64_t> counts(256, 1);
    for (std::uint8_t b : plain) {
        ++counts[b];
    }
    using Node = std::pair<std::uint64_t, int>;  // weight, height
    std::priority_queue<Node, std::vector<Node>, std::greater<>> queue;
    for (std::uint64_t c : counts) {
        queue.push({c, 0});
    }
    while (queue.size() > 1) {
        const Node a = queue.top();
        queue.pop();
        const Node b = queue.top();
        queue.pop();
        queue.push({a.first + b.first, std::max(a.second, b.second) + 1});
    }
    return queue.top().second;
}

// Weights (count + 1) that follow the Fibonacci numbers make a tree far
// deeper than 11 levels, so the lengths have to be cut and repaired.
TEST(CodecRoundTrip, FibonacciWeightsNeedLengthLimiting) {
    for (int symbols : {14, 20, 26}) {
        SCOPED_TRACE(symbols);
        Bytes plain;
        std::uint64_t a = 1;
        std::uint64_t b = 2;
        for (int s = 0; s < symbols; ++s) {
            plain.insert(plain.end(), b - 1, static_cast<std::uint8_t>(s * 7));
            const std::uint64_t next = a + b;
            a = b;
            b = next;
        }
        std::shuffle(plain.begin(), plain.end(), std::mt19937(symbols));
        EXPECT_GT(UnlimitedDepth(plain), 11);
        ExpectExactRoundTrip(plain);
    }
}

// Every byte value once and the rest one value: long codes everywhere.
TEST(CodecRoundTrip, AllValuesPresentWithOneDominant) {
    Bytes plain(200000, 0x20);
    for (int v = 0; v < 256; ++v) {
        plain[static_cast<std::size_t>(v) * 700] = static_cast<std::uint8_t>(v);
    }
    ExpectExactRoundTrip(plain);
}

}  // namespace
