// Long streams are decoded in two or three interleaved lanes; whatever the
// stream, valid or flawed anywhere (before, at or after the points where the
// later lanes start), the result must be the literal decoder's: the same
// bytes, or the same refusal with the same messages. Each case is decoded
// with two and with three lanes forced on, at the default threshold and
// lane count, and with the lanes switched off.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "chunkfile/huffman.h"
#include "tests/codec/codec_test_support.h"
#include "tests/codec/reference_codec.h"

namespace {

using codec_test::Bytes;

// Bytes drawn by the weights of each part in turn, the parts of equal
// length.
Bytes Draw(std::size_t size, const std::vector<const std::vector<double>*>& parts,
           std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes out(size);
    for (std::size_t p = 0; p < parts.size(); ++p) {
        std::discrete_distribution<int> pick(parts[p]->begin(), parts[p]->end());
        for (std::size_t i = size * p / parts.size(); i < size * (p + 1) / parts.size(); ++i) {
            out[i] = static_cast<std::uint8_t>(pick(random));
        }
    }
    return out;
}

void Put32(Bytes& container, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        container[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t Get32(const Bytes& container, std::size_t offset) {
    return container[offset] | container[offset + 1] << 8 | container[offset + 2] << 16 |
           static_cast<std::uint32_t>(container[offset + 3]) << 24;
}

void ExpectAsReference(const Bytes& container) {
    const reference::Decoded expected = reference::Decode(container.data(), container.size());
    const struct {
        std::size_t threshold;
        unsigned lanes;
    } ways[] = {{0, 2}, {0, 3}, {tessera::kDefaultLaneThreshold, 0}, {SIZE_MAX, 0}};
    for (const auto& way : ways) {
        SCOPED_TRACE("threshold " + std::to_string(way.threshold) + ", lanes " +
                     std::to_string(way.lanes));
        tessera::SetLaneThreshold(way.threshold);
        tessera::SetLaneCount(way.lanes);
        const codec_test::Decoded decoded = codec_test::Decompress(container);
        tessera::SetLaneThreshold(tessera::kDefaultLaneThreshold);
        tessera::SetLaneCount(0);
        EXPECT_EQ(decoded.messages, expected.messages);
        ASSERT_EQ(decoded.ok, expected.status == reference::Status::kDecoded);
        if (decoded.ok) {
            EXPECT_EQ(decoded.plain, expected.plain);
            EXPECT_TRUE(decoded.trailingZeros);
        } else {
            EXPECT_EQ(decoded.outSize, 0u);
        }
    }
}

TEST(CodecLanes, FlawsAnywhereGiveTheLiteralDecodersResult) {
    std::vector<double> skewed(256);
    for (int i = 0; i < 256; ++i) {
        skewed[i] = i == 0 ? 40 : 60.0 * 0.55 * std::pow(0.45, i);
    }
    std::vector<double> text(256, 0.0);
    const char* letters = "etaoinshrdlcumwfgypbvkjxqz";
    for (int i = 0; i < 26; ++i) {
        text[static_cast<unsigned char>(letters[i])] = 100.0 / (i + 2);
    }
    text[' '] = 60;
    text['\n'] = 2;
    std::vector<double> oneValue(256, 0.0);
    oneValue[0x41] = 1;
    std::vector<double> twoValues(256, 0.0);
    twoValues[0] = 3;
    twoValues[0xFF] = 1;
    const std::vector<double> uniform(256, 1.0);
    std::vector<double> spacedText = text;
    spacedText[' '] = 120;
    // Parts that compress differently put more of the output in some lanes'
    // bits than their share: a lane fills its part of the output before it
    // reaches the next lane, and goes on into the room the lanes before it
    // left, or the rest is decoded from where it stopped.
    const struct {
        const char* name;
        std::vector<const std::vector<double>*> parts;
    } shapes[] = {{"skewed", {&skewed}},
                  {"text", {&text}},
                  {"one value", {&oneValue}},
                  {"two values", {&twoValues}},
                  {"uniform", {&uniform}},
                  {"text, more spaces in the middle", {&text, &spacedText, &text}},
                  {"text, skewed in the middle", {&text, &skewed, &text}},
                  {"skewed, then text", {&skewed, &text, &text}}};

    // Where the stream is disturbed, as a share of its length, and how.
    enum class Flaw { kNone, kFlipByte, kDropLastWord, kPlainSizeUp, kPlainSizeDown };
    const struct {
        const char* name;
        Flaw flaw;
        double at;
    } flaws[] = {{"intact", Flaw::kNone, 0},
                 {"flaw early", Flaw::kFlipByte, 0.1},
                 {"flaw just before a third", Flaw::kFlipByte, 0.332},
                 {"flaw just after a third", Flaw::kFlipByte, 0.335},
                 {"flaw just before the middle", Flaw::kFlipByte, 0.499},
                 {"flaw at the middle", Flaw::kFlipByte, 0.5},
                 {"flaw just after the middle", Flaw::kFlipByte, 0.503},
                 {"flaw at two thirds", Flaw::kFlipByte, 0.6667},
                 {"flaw late", Flaw::kFlipByte, 0.9},
                 {"flaw in the last word", Flaw::kFlipByte, 0.9999},
                 {"last word missing", Flaw::kDropLastWord, 0},
                 {"one byte more wanted", Flaw::kPlainSizeUp, 0},
                 {"one byte fewer wanted", Flaw::kPlainSizeDown, 0}};

    std::uint32_t seed = 1;
    for (const auto& shape : shapes) {
        // Too short for the lanes but when forced, two lanes by default,
        // and three.
        for (const std::size_t size :
             {std::size_t{3000}, std::size_t{90000}, std::size_t{300000}}) {
            const Bytes plain = Draw(size, shape.parts, seed++);
            const Bytes intact = codec_test::Compress(plain);
            const std::size_t streamBytes = intact.size() - tessera::kContainerHeaderSize;
            for (const auto& flaw : flaws) {
                SCOPED_TRACE(std::string(shape.name) + ", " + std::to_string(size) + " bytes, " +
                             flaw.name);
                Bytes container = intact;
                switch (flaw.flaw) {
                    case Flaw::kNone:
                        break;
                    case Flaw::kFlipByte:
                        container[tessera::kContainerHeaderSize +
                                  static_cast<std::size_t>(flaw.at * (streamBytes - 1))] ^= 0xA5;
                        break;
                    case Flaw::kDropLastWord:
                        container.resize(container.size() - 4);
                        Put32(container, 8, Get32(container, 8) - 4);
                        break;
                    case Flaw::kPlainSizeUp:
                        Put32(container, 12, Get32(container, 12) + 1);
                        break;
                    case Flaw::kPlainSizeDown:
                        Put32(container, 12, Get32(container, 12) - 1);
                        break;
                }
                ExpectAsReference(container);
            }
        }
    }
}

}  // namespace
