// Containers that must be refused, built field by field from a valid one,
// and the codec's behaviour at its boundaries: outSize, allocation failure,
// the length the caller knows.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "chunkfile/tessera.h"
#include "tests/codec/codec_test_support.h"
#include "tests/codec/reference_codec.h"

namespace {

using codec_test::Bytes;

constexpr const char* kFileCorrupt = "ERROR: The file is corrupt!";
constexpr const char* kTableFailed = "ERROR: Failed to build Huffman table!\n";
constexpr const char* kDataCorrupt = "ERROR: Input data is corrupt!";

void Set32(Bytes& container, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        container[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}
constexpr std::size_t kStreamSize = 8;
constexpr std::size_t kPlainSize = 12;
std::size_t CountOffset(int length) {
    return 16 + 4 * (length - 1);
}

enum class Expect { kRefused, kFailed, kDecoded };

struct Case {
    const char* name;
    // Changes the "abc" container: 255 codes of 8 bits (0x63, 0x62, 0x61
    // take 0, 1, 2), then 0x00 with the 9-bit code 510 and the reserved 511.
    std::function<void(Bytes&)> change;
    Expect expect;
    std::vector<std::string> messages;
    std::optional<std::size_t> available = {};  // default: the container's length
    Bytes plain = {};                           // for kDecoded
};

std::vector<Case> Cases() {
    return {
        {"wrong_first_magic_word", [](Bytes& c) { c[3] = 'X'; }, Expect::kRefused, {}},
        {"wrong_second_magic_word", [](Bytes& c) { c[7] = '2'; }, Expect::kRefused, {}},
        {"stream_size_zero", [](Bytes& c) { Set32(c, kStreamSize, 0); }, Expect::kRefused, {}},
        {"plain_size_zero", [](Bytes& c) { Set32(c, kPlainSize, 0); }, Expect::kRefused, {}},
        {"header_cut_short", [](Bytes& c) { c.resize(315); }, Expect::kRefused, {}},
        {"stream_size_beyond_the_bytes_held",
         [](Bytes& c) { Set32(c, kStreamSize, 8); },
         Expect::kRefused,
         {}},
        {"stream_size_beyond_the_length_the_caller_knows",
         [](Bytes&) {},
         Expect::kRefused,
         {},
         319},
        // Length 1 has two codes free.
        {"three_codes_of_one_bit",
         [](Bytes& c) { Set32(c, CountOffset(1), 3); },
         Expect::kFailed,
         {kFileCorrupt, kTableFailed}},
        // After 255 codes of 8 bits, 2 of the 512 9-bit codes are left.
        {"three_codes_of_nine_bits",
         [](Bytes& c) { Set32(c, CountOffset(9), 3); },
         Expect::kFailed,
         {kFileCorrupt, kTableFailed}},
        {"count_near_the_32_bit_limit",
         [](Bytes& c) { Set32(c, CountOffset(2), 0xFFFFFFFF); },
         Expect::kFailed,
         {kFileCorrupt, kTableFailed}},
        {"fewer_than_256_codes",
         [](Bytes& c) {
             Set32(c, CountOffset(8), 200);
             Set32(c, CountOffset(9), 0);
         },
         Expect::kFailed,
         {kTableFailed}},
        {"no_codes_at_all",
         [](Bytes& c) {
             for (int k = 1; k <= 11; ++k) {
                 Set32(c, CountOffset(k), 0);
             }
         },
         Expect::kFailed,
         {kTableFailed}},
        // Building stops once 256 values have codes: later counts are not read.
        {"counts_after_the_256th_code_are_ignored",
         [](Bytes& c) { Set32(c, CountOffset(11), 0xFFFFFFFF); },
         Expect::kDecoded,
         {},
         {},
         {'a', 'b', 'c'}},
        // 24 bits of "abc", then the 4th byte's code 00000000 (0x63) in the
        // last 8 zero bits; a 5th byte finds the stream used up.
        {"plain_size_beyond_the_stream",
         [](Bytes& c) { Set32(c, kPlainSize, 5); },
         Expect::kFailed,
         {}},
        {"plain_size_of_every_stream_bit_and_more",
         [](Bytes& c) { Set32(c, kPlainSize, 0xFFFFFFFF); },
         Expect::kFailed,
         {}},
        // The reserved code, 111111111, and two more bits: no symbol.
        {"reserved_code_in_the_stream",
         [](Bytes& c) {
             c[316] = 0xFF;
             c[317] = 0x01;
         },
         Expect::kFailed,
         {kDataCorrupt}},
        {"reserved_code_and_a_huge_plain_size",
         [](Bytes& c) {
             c[316] = 0xFF;
             c[317] = 0x01;
             Set32(c, kPlainSize, 0xFFFFFFFF);
         },
         Expect::kFailed,
         {kDataCorrupt}},
        // Eight 1 bits in the last byte start a 9-bit code that the stream
        // cannot finish: used up, not corrupt.
        {"code_cut_off_by_the_stream_end",
         [](Bytes& c) {
             c[319] = 0xFF;
             Set32(c, kPlainSize, 4);
         },
         Expect::kFailed,
         {}},
        // Only whole words are read: the two bytes after the first word are
        // no part of the stream, and "abc" lies inside the first word.
        {"stream_size_not_a_multiple_of_four",
         [](Bytes& c) {
             Set32(c, kStreamSize, 6);
             c.push_back(0xFF);
             c.push_back(0xFF);
         },
         Expect::kDecoded,
         {},
         {},
         {'a', 'b', 'c'}},
        {"stream_size_not_a_multiple_of_four_used_up",
         [](Bytes& c) {
             Set32(c, kStreamSize, 7);
             Set32(c, kPlainSize, 5);
             c.insert(c.end(), {0, 0, 0});
         },
         Expect::kFailed,
         {}},
    };
}

TEST(CodecInvalid, RefusedContainersTable) {
    const Bytes base = codec_test::Compress({'a', 'b', 'c'});
    for (const Case& test : Cases()) {
        SCOPED_TRACE(test.name);
        Bytes container = base;
        test.change(container);
        const codec_test::Decoded decoded = codec_test::Decompress(container, test.available);
        EXPECT_EQ(decoded.messages, test.messages);
        switch (test.expect) {
            case Expect::kRefused:
                EXPECT_FALSE(decoded.ok);
                EXPECT_EQ(decoded.outSize, 0xDEADBEEF) << "outSize must stay untouched";
                break;
            case Expect::kFailed:
                EXPECT_FALSE(decoded.ok);
                EXPECT_EQ(decoded.outSize, 0u);
                break;
            case Expect::kDecoded:
                EXPECT_TRUE(decoded.ok);
                EXPECT_EQ(decoded.plain, test.plain);
                break;
        }
        // The literal decoder agrees on every case.
        const reference::Decoded expected =
            reference::Decode(container.data(), test.available.value_or(container.size()));
        EXPECT_EQ(static_cast<int>(expected.status), static_cast<int>(test.expect));
        EXPECT_EQ(expected.messages, test.messages);
    }
}

// 1000 zero bytes need 1000 bits (32 words); a stream size that cuts any
// of them off fails without a message, however much is cut.
TEST(CodecInvalid, StreamSizeTooSmallForThePlainSize) {
    const Bytes full = codec_test::Compress(Bytes(1000, 0));
    ASSERT_EQ(full.size(), 316u + 128);
    for (std::uint32_t streamSize : {124u, 64u, 4u}) {
        SCOPED_TRACE(streamSize);
        Bytes container(full.begin(), full.begin() + 316 + streamSize);
        Set32(container, kStreamSize, streamSize);
        const codec_test::Decoded decoded = codec_test::Decompress(container);
        EXPECT_FALSE(decoded.ok);
        EXPECT_EQ(decoded.outSize, 0u);
        EXPECT_TRUE(decoded.messages.empty());
        EXPECT_EQ(reference::Decode(container.data(), container.size()).status,
                  reference::Status::kFailed);
    }
}

// A plain size that no stream of this length can reach is refused without
// allocating its buffer.
TEST(CodecInvalid, ImpossiblePlainSizeAllocatesNothing) {
    Bytes container = codec_test::Compress({'a', 'b', 'c'});
    Set32(container, kPlainSize, 0xFFFFFFF0);
    tessera::FailAllocation(0);
    EXPECT_FALSE(codec_test::Decompress(container).ok);
    EXPECT_EQ(tessera::AllocationCount(), 0u);
}

TEST(CodecInvalid, AllocationFailureGivesNullAndZeroSize) {
    const Bytes plain(5000, 7);
    const Bytes container = codec_test::Compress(plain);

    tessera::FailAllocation(1);
    std::uint32_t size = 0xDEADBEEF;
    EXPECT_EQ(tessera::CompressContainer(plain.data(), 5000, &size), nullptr);
    EXPECT_EQ(size, 0u);

    tessera::FailAllocation(1);
    const codec_test::Decoded decoded = codec_test::Decompress(container);
    tessera::FailAllocation(0);
    EXPECT_FALSE(decoded.ok);
    EXPECT_EQ(decoded.outSize, 0u);
    EXPECT_TRUE(decoded.messages.empty());
}

TEST(CodecInvalid, NullOrEmptyInputLeavesOutSizeAlone) {
    std::uint32_t size = 0xDEADBEEF;
    const std::uint8_t byte = 1;
    EXPECT_EQ(CompressRif(nullptr, 10, &size), nullptr);
    EXPECT_EQ(CompressRif(&byte, 0, &size), nullptr);
    EXPECT_EQ(DecompressRif(nullptr, &size), nullptr);
    EXPECT_EQ(size, 0xDEADBEEF);
}

// The exported pair trusts the header for the length and frees through the
// library heap like every other block.
TEST(CodecInvalid, ExportedOperationsRoundTrip) {
    const Bytes plain = {'R', 'E', 'B', 'I', 'N', 'F', 'F', '2', 12, 0, 0, 0};
    std::uint32_t containerSize = 0;
    void* container = CompressRif(plain.data(), 12, &containerSize);
    ASSERT_NE(container, nullptr);
    std::uint32_t plainSize = 0;
    void* decoded = DecompressRif(container, &plainSize);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(Bytes(static_cast<std::uint8_t*>(decoded), static_cast<std::uint8_t*>(decoded) + 12),
              plain);
    EXPECT_EQ(plainSize, 12u);
    void* again = DecompressRif(container, nullptr);  // outSize is optional
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(std::memcmp(again, decoded, 12), 0);
    tessera::Free(again);
    tessera::Free(decoded);
    tessera::Free(container);
}

}  // namespace
