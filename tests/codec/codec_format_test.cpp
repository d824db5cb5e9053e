// The container's exact bytes for inputs whose code can be worked out by
// hand, and the details of the stream's end.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "tests/codec/codec_test_support.h"
#include "tests/codec/reference_codec.h"

namespace {

using codec_test::Build;
using codec_test::Bytes;
using codec_test::Fields;
using codec_test::StreamWriter;

// The order table with the given values moved, in this order, to its end and
// every other value ascending before them.
std::array<std::uint8_t, 256> OrderEndingWith(const Bytes& last) {
    std::array<std::uint8_t, 256> order{};
    std::size_t at = 0;
    for (int v = 0; v < 256; ++v) {
        if (std::find(last.begin(), last.end(), v) == last.end()) {
            order[at++] = static_cast<std::uint8_t>(v);
        }
    }
    for (std::uint8_t v : last) {
        order[at++] = v;
    }
    return order;
}

struct WorkedExample {
    const char* name;
    Bytes plain;
    Fields expected;
};

std::vector<WorkedExample> WorkedExamples() {
    std::vector<WorkedExample> cases;

    // "abc": three values of weight 2 rank last; 255 codes of 8 bits and 2 of
    // 9; 0x63, 0x62, 0x61 get codes 0, 1, 2.
    Fields abc;
    abc.plainSize = 3;
    abc.counts[7] = 255;
    abc.counts[8] = 2;
    abc.order = OrderEndingWith({0x61, 0x62, 0x63});
    abc.stream = {0x40, 0x80, 0x00, 0x00};
    cases.push_back({"abc", {'a', 'b', 'c'}, abc});

    // A single "a": the same lengths, 0x61 alone at the end with code 0.
    Fields a = abc;
    a.plainSize = 1;
    a.order = OrderEndingWith({0x61});
    a.stream = {0, 0, 0, 0};
    cases.push_back({"single_a", {'a'}, a});

    // 1000 zero bytes: the zero byte takes the one 1-bit code, 0; 1000 bits
    // make 31 words and a part, so 32 words.
    Fields zeros;
    zeros.plainSize = 1000;
    zeros.counts[0] = 1;
    zeros.counts[7] = 1;
    zeros.counts[8] = 253;
    zeros.counts[9] = 2;
    zeros.order = OrderEndingWith({0x00});
    zeros.stream.assign(128, 0);
    cases.push_back({"zeros_1000", Bytes(1000, 0), zeros});

    // Each value four times: equal weights keep the order ascending; 0xFF
    // gets the first 8-bit code, 0x00 the first 9-bit code (510).
    Fields flat;
    flat.plainSize = 1024;
    flat.counts[7] = 255;
    flat.counts[8] = 2;
    std::iota(flat.order.begin(), flat.order.end(), 0);
    Bytes flatPlain(1024);
    StreamWriter writer;
    for (std::size_t i = 0; i < flatPlain.size(); ++i) {
        const auto value = static_cast<std::uint8_t>(i);
        flatPlain[i] = value;
        if (value == 0) {
            writer.Code(510, 9);
        } else {
            writer.Code(255u - value, 8);
        }
    }
    flat.stream = writer.Finish();
    EXPECT_EQ(flat.stream.size(), 1028u);
    cases.push_back({"each_value_four_times", flatPlain, flat});
    return cases;
}

TEST(CodecFormat, WorkedExamplesGiveTheirExactContainer) {
    for (const WorkedExample& example : WorkedExamples()) {
        SCOPED_TRACE(example.name);
        const Bytes expected = Build(example.expected);
        EXPECT_EQ(codec_test::Compress(example.plain), expected);
        EXPECT_EQ(reference::Compress(example.plain.data(), example.plain.size()), expected);

        const codec_test::Decoded decoded = codec_test::Decompress(expected);
        ASSERT_TRUE(decoded.ok);
        EXPECT_EQ(decoded.plain, example.plain);
        EXPECT_EQ(decoded.outSize, example.plain.size());
        EXPECT_TRUE(decoded.trailingZeros);
        EXPECT_TRUE(decoded.messages.empty());
    }
}

TEST(CodecFormat, ContainerLengthIsReportedThroughOutSize) {
    const Bytes plain = {'a', 'b', 'c'};
    std::uint32_t size = 0;
    void* block = tessera::CompressContainer(plain.data(), 3, &size);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(size, 320u);
    tessera::Free(block);
    block = tessera::CompressContainer(plain.data(), 3, nullptr);  // outSize is optional
    ASSERT_NE(block, nullptr);
    tessera::Free(block);
}

// 320 zero bytes take 320 one-bit codes: exactly ten words, followed by one
// more, all-zero word that the stream size counts. Without that word the
// container still decodes, since the last code ends inside the stream.
TEST(CodecFormat, StreamEndingOnAWordBoundaryGetsAnExtraZeroWord) {
    const Bytes plain(320, 0);
    const Bytes container = codec_test::Compress(plain);
    ASSERT_EQ(container.size(), 316u + 44);
    EXPECT_EQ(container[8], 44);
    EXPECT_EQ(Bytes(container.begin() + 316, container.end()), Bytes(44, 0));

    Bytes trimmed(container.begin(), container.end() - 4);
    trimmed[8] = 40;
    const codec_test::Decoded decoded = codec_test::Decompress(trimmed);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.plain, plain);

    // One more zero byte than the stream holds bits for: used up, no message.
    trimmed[12] = 65;  // 321 = 0x141
    trimmed[13] = 1;
    const codec_test::Decoded tooLong = codec_test::Decompress(trimmed);
    EXPECT_FALSE(tooLong.ok);
    EXPECT_EQ(tooLong.outSize, 0u);
    EXPECT_TRUE(tooLong.messages.empty());
}

// Container length is 316 + 4 * (floor(B / 32) + 1) for B code bits, checked
// where B crosses word boundaries (from 300 on, a zero byte codes as 1 bit).
TEST(CodecFormat, StreamSizeFollowsTheNumberOfCodeBits) {
    for (std::size_t zeros = 300; zeros <= 360; ++zeros) {
        SCOPED_TRACE(zeros);
        const Bytes container = codec_test::Compress(Bytes(zeros, 0));
        EXPECT_EQ(container.size(), 316 + 4 * (zeros / 32 + 1));
    }
}

TEST(CodecFormat, CompressionIsDeterministicAndDecodingRepeatable) {
    Bytes plain;
    for (int i = 0; i < 5000; ++i) {
        plain.push_back(static_cast<std::uint8_t>((i * i) % 97));
    }
    const Bytes container = codec_test::Compress(plain);
    EXPECT_EQ(codec_test::Compress(plain), container);
    const Bytes before = container;
    EXPECT_EQ(codec_test::Decompress(container).plain, plain);
    EXPECT_EQ(codec_test::Decompress(container).plain, plain);
    EXPECT_EQ(container, before);
}

}  // namespace
