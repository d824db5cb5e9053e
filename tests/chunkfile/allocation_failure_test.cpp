// Every allocation of creating, parsing and compiling fails in turn: each
// failure gives null or false, its diagnostic lines, and leaks nothing (the
// sanitizer build's leak checker judges the last part).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "chunk_test_support.h"
#include "chunkfile/allocator.h"
#include "chunkfile/stream.h"
#include "chunkfile/tessera.h"

namespace {

using tessera_test::Bytes;
using tessera_test::CapturedLines;
using tessera_test::Chunk;
using tessera_test::Folder;
using tessera_test::kAllocationFailure;
using tessera_test::kCompileFailure;
using tessera_test::kCreationFailure;
using tessera_test::kSetDataFailure;

using Lines = std::vector<std::string>;

// Turns injection off however a test ends.
class AllocationFailureTest : public ::testing::Test {
protected:
    void TearDown() override { tessera::FailAllocation(0); }
};

// A tree with data, empty data, empty folders, a chain of folders deeper than
// the walks' first stack block, and data large enough to make the compile
// buffer grow several times.
Bytes SampleStream() {
    Bytes chain = Chunk("DEEPDATA", {1, 2, 3});
    for (int level = 0; level < 70; ++level) {
        chain = Folder("RBOBJECT", {chain});
    }
    const Bytes large(200 * 1024, 0x5A);
    return Folder("REBINFF2",
                  {
                      Folder("REBENVDT", {Chunk("QELENVIR", Bytes(30, 7)), Chunk("EMPTYDAT", {}),
                                          Folder("LIGHTSET", {})}),
                      chain,
                      Chunk("LARGE001", large),
                      Chunk("LARGE002", large),
                      Chunk("LARGE003", large),
                  });
}

Bytes Compiled(RifItem* root, std::uint32_t* length) {
    void* block = CompileRif(root, length);
    if (block == nullptr) {
        return {};
    }
    Bytes bytes(static_cast<std::uint8_t*>(block), static_cast<std::uint8_t*>(block) + *length);
    ReleaseBuffer(block);
    return bytes;
}

TEST_F(AllocationFailureTest, CreationFreesWhatItMade) {
    for (std::uint64_t nth : {1, 2}) {  // the item, then its data block
        tessera::FailAllocation(nth);
        CapturedLines captured;
        EXPECT_EQ(CreateRifItemChild("DATA", "abcd", 4), nullptr) << nth;
        EXPECT_EQ(captured.lines(), Lines{kCreationFailure}) << nth;
    }
    tessera::FailAllocation(0);

    RifItem* folder = CreateRifItemFolder("FOLDER");
    tessera::FailAllocation(1);
    CapturedLines captured;
    EXPECT_EQ(InsertRifItemChild("DATA", "abcd", 4, folder, RIF_LAST), nullptr);
    tessera::FailAllocation(1);
    EXPECT_EQ(InsertRifItemFolder("SUB", folder, RIF_LAST), nullptr);
    EXPECT_EQ(captured.lines(), (Lines{kCreationFailure, kCreationFailure}));
    EXPECT_EQ(GetChildRifItem(folder), nullptr);
    tessera::FailAllocation(0);
    DeleteRifItem(folder);
}

TEST_F(AllocationFailureTest, SetDataLeavesTheItemWithoutData) {
    RifItem* item = CreateRifItemChild("DATA", "abcd", 4);
    tessera::FailAllocation(1);
    CapturedLines captured;
    EXPECT_EQ(SetRifItemData(item, "wxyz", 4), 0);
    tessera::FailAllocation(0);
    EXPECT_EQ(captured.lines(), Lines{kSetDataFailure});
    std::uint32_t size = 99;
    EXPECT_EQ(GetRifItemData(item, &size), nullptr);
    EXPECT_EQ(size, 0u);
    DeleteRifItem(item);
}

// The lines of a failed parse name the failed operation, then come once from
// every folder that was open around it, innermost first.
TEST_F(AllocationFailureTest, ParseReportsEveryEnclosingFolder) {
    const Bytes stream = Folder("REBINFF2", {Folder("REBENVDT", {Chunk("QELENVIR", {1})})});
    // The allocations in order: root item, stack of open folders, REBENVDT
    // item, QELENVIR item, QELENVIR data.
    const Lines expected[] = {
        {kCreationFailure},
        {kAllocationFailure},
        {kCreationFailure, kAllocationFailure},
        {kCreationFailure, kAllocationFailure, kAllocationFailure},
        {kSetDataFailure, kAllocationFailure, kAllocationFailure},
    };
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        tessera::FailAllocation(i + 1);
        CapturedLines captured;
        EXPECT_EQ(tessera::ParseStream(stream.data(), stream.size()), nullptr) << i + 1;
        EXPECT_EQ(captured.lines(), expected[i]) << "allocation " << i + 1;
    }
    tessera::FailAllocation(std::size(expected) + 1);
    RifItem* root = tessera::ParseStream(stream.data(), stream.size());
    EXPECT_NE(root, nullptr);
    DeleteRifItem(root);
}

TEST_F(AllocationFailureTest, EveryParseAllocationFailsCleanly) {
    const Bytes stream = SampleStream();
    std::uint64_t failures = 0;
    for (std::uint64_t nth = 1;; ++nth) {
        tessera::FailAllocation(nth);
        CapturedLines captured;
        RifItem* root = tessera::ParseStream(stream.data(), stream.size());
        const bool injected = tessera::AllocationCount() >= nth;
        tessera::FailAllocation(0);
        if (!injected) {
            ASSERT_NE(root, nullptr);
            std::uint32_t length = 0;
            EXPECT_EQ(Compiled(root, &length), stream);
            DeleteRifItem(root);
            break;
        }
        ++failures;
        ASSERT_EQ(root, nullptr) << "allocation " << nth;
        const Lines& lines = captured.lines();
        ASSERT_FALSE(lines.empty()) << "allocation " << nth;
        EXPECT_TRUE(lines[0] == kCreationFailure || lines[0] == kSetDataFailure ||
                    lines[0] == kAllocationFailure)
            << lines[0];
        for (std::size_t i = 1; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i], kAllocationFailure) << "allocation " << nth;
        }
        // No more enclosing folders than the deepest chunk has.
        EXPECT_LE(lines.size(), 72u + 1u) << "allocation " << nth;
    }
    // Every item, every data block and the stack's growth were tried.
    EXPECT_GT(failures, 80u);
}

TEST_F(AllocationFailureTest, EveryCompileAllocationFailsCleanly) {
    const Bytes stream = SampleStream();
    RifItem* root = tessera::ParseStream(stream.data(), stream.size());
    ASSERT_NE(root, nullptr);
    std::uint64_t failures = 0;
    for (std::uint64_t nth = 1;; ++nth) {
        tessera::FailAllocation(nth);
        CapturedLines captured;
        std::uint32_t length = 12345;
        const Bytes compiled = Compiled(root, &length);
        const bool injected = tessera::AllocationCount() >= nth;
        tessera::FailAllocation(0);
        if (!injected) {
            EXPECT_EQ(compiled, stream);
            EXPECT_TRUE(captured.lines().empty());
            break;
        }
        ++failures;
        EXPECT_TRUE(compiled.empty()) << "allocation " << nth;
        EXPECT_EQ(length, 0u) << "allocation " << nth;
        EXPECT_EQ(captured.lines(), Lines{kCompileFailure}) << "allocation " << nth;
    }
    // The buffer grew more than once, and so did the stack of open folders.
    EXPECT_GE(failures, 4u);
    DeleteRifItem(root);
}

}  // namespace
