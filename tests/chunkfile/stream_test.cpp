// Parsing streams into trees and compiling trees into streams.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "chunk_test_support.h"
#include "chunkfile/item_tree.h"
#include "chunkfile/rif_buffer.h"
#include "chunkfile/stream.h"
#include "chunkfile/tessera.h"

namespace {

using tessera_test::Bytes;
using tessera_test::CapturedLines;
using tessera_test::Chunk;
using tessera_test::Folder;
using tessera_test::StreamBytes;

// Compiles root into a vector; an empty vector when compilation failed.
Bytes Compile(RifItem* root) {
    std::uint32_t length = 0xDEADBEEF;
    void* block = CompileRif(root, &length);
    if (block == nullptr) {
        EXPECT_EQ(length, 0u);
        return {};
    }
    const auto* begin = static_cast<const std::uint8_t*>(block);
    Bytes stream(begin, begin + length);
    ReleaseBuffer(block);
    return stream;
}

RifItem* Parse(const Bytes& stream) {
    return tessera::ParseStream(stream.data(), stream.size());
}

std::string Name(RifItem* item) {
    return std::string(GetRifItemName(item), 8);
}

TEST(StreamTest, EmptyRootIsTwelveBytes) {
    const Bytes stream = Folder("REBINFF2", {});
    RifItem* root = Parse(stream);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(IsRifItemFolder(root), 1);
    EXPECT_EQ(GetChildRifItem(root), nullptr);
    EXPECT_EQ(Compile(root), stream);
    DeleteRifItem(root);
}

TEST(StreamTest, FolderTableDecidesByRawIdentifier) {
    struct Case {
        const char identifier[9];
        bool folder;
    } cases[] = {
        {"SOUNDEXD", true},  {"REBENVDT", true},        {"QELENVIR", false},
        {"OBINTDT\0", true}, {"OBINTDTX", false},       {"OBIN\0\0\0\0", true},
        {"OBINXXXX", false}, {"(\0\0\0\0\0\0\0", true}, {"(\0\0\0\0\0\0X", false},
        {"soundexd", false},
    };
    for (const Case& c : cases) {
        // Each chunk carries 12 bytes of payload: children for a folder (one
        // empty data chunk), data otherwise.
        const Bytes stream = Folder("REBINFF2", {Chunk(c.identifier, Chunk("ANYCHILD", {}))});
        RifItem* root = Parse(stream);
        ASSERT_NE(root, nullptr) << c.identifier;
        RifItem* item = GetChildRifItem(root);
        EXPECT_EQ(IsRifItemFolder(item), c.folder ? 1 : 0) << c.identifier;
        std::uint32_t size = 0;
        GetRifItemData(item, &size);
        EXPECT_EQ(size, c.folder ? 0u : 12u);
        EXPECT_EQ(GetChildRifItem(item) != nullptr, c.folder);
        DeleteRifItem(root);
    }
}

TEST(StreamTest, DataItemWithoutDataIsABareHeader) {
    RifItem* root = CreateRifItemFolder("REBINFF2");
    InsertRifItemChild("QELENVIR", nullptr, 0, root, RIF_LAST);
    const Bytes stream = Compile(root);
    EXPECT_EQ(stream, Folder("REBINFF2", {Chunk("QELENVIR", {})}));
    DeleteRifItem(root);

    root = Parse(stream);
    ASSERT_NE(root, nullptr);
    RifItem* item = GetChildRifItem(root);
    EXPECT_EQ(IsRifItemFolder(item), 0);
    std::uint32_t size = 99;
    EXPECT_EQ(GetRifItemData(item, &size), nullptr);
    EXPECT_EQ(size, 0u);
    DeleteRifItem(root);
}

TEST(StreamTest, IdentifierBytesAfterAZeroAreDropped) {
    const Bytes stream = Folder("REBINFF2", {Chunk("AB\0CDEFG", {1, 2, 3})});
    RifItem* root = Parse(stream);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Name(GetChildRifItem(root)), std::string("AB\0\0\0\0\0\0", 8));
    EXPECT_EQ(Compile(root), Folder("REBINFF2", {Chunk("AB\0\0\0\0\0\0", {1, 2, 3})}));
    DeleteRifItem(root);
}

TEST(StreamTest, RootIsAlwaysCompiledAsAFolder) {
    // A data root: its data is not written. Compiling never checks the name.
    RifItem* data = CreateRifItemChild("QELENVIR", "abcdef", 6);
    EXPECT_EQ(Compile(data), Chunk("QELENVIR", {}));
    DeleteRifItem(data);

    // A folder below the root that is named like data stays a folder.
    RifItem* root = CreateRifItemFolder("ANYROOT");
    RifItem* folder = InsertRifItemFolder("QELENVIR", root, RIF_LAST);
    InsertRifItemChild("X", "x", 1, folder, RIF_LAST);
    EXPECT_EQ(Compile(root),
              Folder("ANYROOT\0", {Folder("QELENVIR", {Chunk("X\0\0\0\0\0\0\0", {'x'})})}));
    DeleteRifItem(root);
}

TEST(StreamTest, CompileLengthPointerIsOptional) {
    RifItem* root = CreateRifItemFolder("REBINFF2");
    void* block = CompileRif(root, nullptr);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::memcmp(block, Folder("REBINFF2", {}).data(), 12), 0);
    ReleaseBuffer(block);
    ReleaseBuffer(nullptr);

    std::uint32_t length = 5;
    EXPECT_EQ(CompileRif(nullptr, &length), nullptr);
    EXPECT_EQ(length, 5u);  // a null root leaves the length alone
    DeleteRifItem(root);
}

TEST(StreamTest, BytesAfterTheRootAreIgnored) {
    const Bytes stream = Folder("REBINFF2", {Chunk("QELENVIR", {9, 8, 7})});
    Bytes padded = stream;
    padded.insert(padded.end(), {'R', 'E', 'B', 'I', 'N', 'F', 'F', '2', 0xFF});
    RifItem* root = Parse(padded);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Compile(root), stream);
    DeleteRifItem(root);
}

TEST(StreamTest, LastChildMayRunPastItsFolder) {
    // The folder claims 12 payload bytes; its only child, 20. The folder is
    // complete once the cursor passes its end, and its next sibling follows
    // the child.
    StreamBytes stream;
    stream.Id("REBINFF2")
        .Size(12 + 12 + 20 + 12)  // root: all the chunks below
        .Id("REBENVDT")
        .Size(24)  // folder claiming 12 payload bytes
        .Id("CHILDDAT")
        .Size(20)
        .Fill(8)  // its child, 8 bytes past the folder
        .Id("SIBLING\0")
        .Size(12);  // the folder's next sibling
    RifItem* root = Parse(stream.bytes());
    ASSERT_NE(root, nullptr);
    RifItem* folder = GetChildRifItem(root);
    EXPECT_EQ(Name(GetChildRifItem(folder)), "CHILDDAT");
    EXPECT_EQ(Name(GetNextRifItem(folder)), std::string("SIBLING\0", 8));
    DeleteRifItem(root);
}

TEST(StreamTest, TrustedParseReadsWhatTheSizesClaim) {
    const Bytes stream =
        Folder("REBINFF2", {Folder("REBENVDT", {Chunk("QELENVIR", {1, 2, 3, 4})})});
    RifItem* root = ParseRif(stream.data());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Compile(root), stream);
    DeleteRifItem(root);

    CapturedLines captured;
    EXPECT_EQ(ParseRif(nullptr), nullptr);
    EXPECT_EQ(tessera::ParseStream(nullptr, 100), nullptr);
    EXPECT_TRUE(captured.lines().empty());
}

// Random trees, written as canonical streams: parsing and compiling must give
// back every byte.
class RandomStream {
public:
    explicit RandomStream(std::uint32_t seed) : random_(seed) {}

    Bytes Make() {
        Bytes children;
        const int count = Below(6);
        for (int i = 0; i < count; ++i) {
            Append(children, Make(0));
        }
        return Wrap("REBINFF2", children);
    }

private:
    static constexpr const char* kFolderNames[] = {"REBENVDT", "LIGHTSET", "SOUNDEXD",
                                                   "OBIN\0\0\0\0", "(\0\0\0\0\0\0\0"};

    Bytes Make(int depth) {
        if (depth < 6 && Below(3) == 0) {
            const char* name = kFolderNames[Below(std::size(kFolderNames))];
            Bytes children;
            const int count = Below(5);
            for (int i = 0; i < count; ++i) {
                Append(children, Make(depth + 1));
            }
            return Wrap(name, children);
        }
        char name[9] = {};
        const int letters = 1 + Below(8);  // shorter names are zero-padded
        do {
            for (int i = 0; i < letters; ++i) {
                name[i] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"[Below(36)];
            }
        } while (tessera::IsFolderIdentifier(reinterpret_cast<const unsigned char*>(name)));
        Bytes data(Below(3) == 0 ? 0 : Below(200));
        for (auto& byte : data) {
            byte = static_cast<std::uint8_t>(random_());
        }
        return Wrap(name, data);
    }

    static Bytes Wrap(const char* name, const Bytes& payload) {
        char identifier[9] = {};
        std::memcpy(identifier, name, 8);
        return Chunk(identifier, payload);
    }
    static void Append(Bytes& to, const Bytes& from) {
        to.insert(to.end(), from.begin(), from.end());
    }
    int Below(std::size_t bound) { return static_cast<int>(random_() % bound); }

    std::mt19937 random_;
};

TEST(StreamTest, RandomStreamsRoundTripExactly) {
    RandomStream generator(20261210);
    for (int i = 0; i < 300; ++i) {
        const Bytes stream = generator.Make();
        RifItem* root = Parse(stream);
        ASSERT_NE(root, nullptr) << "stream " << i;
        ASSERT_EQ(Compile(root), stream) << "stream " << i;
        DeleteRifItem(root);
    }
}

TEST(StreamTest, MillionNestedFoldersParseCompileAndFree) {
    // REBINFF2 > RBOBJECT > RBOBJECT > ... : each header's size counts every
    // header inside it. Nothing may recurse once per level.
    constexpr std::uint32_t kDepth = 1'000'000;
    Bytes stream(std::size_t{kDepth} * 12);
    for (std::uint32_t level = 0; level < kDepth; ++level) {
        std::uint8_t* header = stream.data() + std::size_t{level} * 12;
        std::memcpy(header, level == 0 ? "REBINFF2" : "RBOBJECT", 8);
        const std::uint32_t size = (kDepth - level) * 12;
        for (int i = 0; i < 4; ++i) {
            header[8 + i] = static_cast<std::uint8_t>(size >> (8 * i));
        }
    }
    RifItem* root = Parse(stream);
    ASSERT_NE(root, nullptr);
    RifItem* deepest = root;
    std::uint32_t levels = 1;
    while (GetChildRifItem(deepest) != nullptr) {
        deepest = GetChildRifItem(deepest);
        ++levels;
    }
    EXPECT_EQ(levels, kDepth);
    EXPECT_TRUE(Compile(root) == stream);
    DeleteRifItem(root);
}

// ---------------------------------------------------------------------------
// The growable buffer and 32-bit sizes

TEST(RifBufferTest, GrowsLinearlyByItsStep) {
    tessera::RifBuffer buffer(16);
    const char bytes[40] = "0123456789";
    EXPECT_EQ(buffer.Write(bytes, 1), 1u);
    EXPECT_EQ(buffer.dwCapacity, 16u);
    EXPECT_EQ(buffer.Write(bytes, 20), 20u);
    EXPECT_EQ(buffer.dwCapacity, 32u);
    EXPECT_EQ(buffer.Write(bytes, 40), 40u);
    EXPECT_EQ(buffer.dwCapacity, 64u);  // enough whole steps, never doubling
    EXPECT_EQ(buffer.dwLength, 61u);
    EXPECT_EQ(buffer.Write(nullptr, 4), 0u);
    EXPECT_EQ(buffer.Write(bytes, 0), 0u);

    EXPECT_TRUE(buffer.Seek(3));
    EXPECT_EQ(buffer.Write("xy", 2), 2u);  // overwrites; the length stays
    EXPECT_EQ(buffer.dwLength, 61u);
    EXPECT_EQ(buffer.dwPosition, 5u);
    EXPECT_FALSE(buffer.Seek(62));
    EXPECT_EQ(buffer.dwPosition, 61u);

    void* block = buffer.Detach();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::memcmp(block, "001xy", 5), 0);
    EXPECT_EQ(buffer.pData, nullptr);
    EXPECT_EQ(buffer.dwCapacity + buffer.dwLength + buffer.dwPosition, 0u);
    EXPECT_EQ(buffer.dwGrowBy, 16u);
    ReleaseBuffer(block);

    EXPECT_EQ(tessera::RifBuffer(0).dwGrowBy, 0x10000u);
}

TEST(RifBufferTest, RefusesToPassFourGibibytes) {
    tessera::RifBuffer buffer(16);
    const char bytes[16] = {};
    ASSERT_EQ(buffer.Write(bytes, 16), 16u);
    // Refused before a byte of the (imaginary) source is read.
    EXPECT_EQ(buffer.Write(bytes, 0xFFFFFFF0u), 0u);
    EXPECT_EQ(buffer.dwLength, 16u);
    EXPECT_EQ(buffer.dwCapacity, 16u);
}

TEST(StreamTest, StreamsPastFourGibibytesFailCleanly) {
    // The data item claims far more bytes than it holds; compilation must
    // refuse on the sizes alone, before it reads the block: the first claim
    // does not fit the item's own size field, the second fits it but not the
    // root's (header 12 + name 8 + size 4 before the data).
    for (std::uint32_t claimed : {0xFFFFFFF4u, 0xFFFFFFF0u}) {
        RifItem* root = CreateRifItemFolder("REBINFF2");
        RifItem* item = InsertRifItemChild("HUGE", "0123456789abcdef", 16, root, RIF_LAST);
        item->dwDataSize = claimed;
        CapturedLines captured;
        EXPECT_TRUE(Compile(root).empty());
        EXPECT_EQ(captured.lines(), std::vector<std::string>{tessera_test::kCompileFailure});
        item->dwDataSize = 16;
        DeleteRifItem(root);
    }
}

}  // namespace
