// The item tree: creation, names and data, linking, search and freeing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "chunk_test_support.h"
#include "chunkfile/item_tree.h"
#include "chunkfile/tessera.h"

namespace {

using tessera_test::CapturedLines;

std::string NameBytes(RifItem* item) {
    return std::string(GetRifItemName(item), 8);
}

// The names of a folder's children in list order, checking every link on the
// way: parent, and prev mirroring next.
std::string ChildNames(RifItem* folder) {
    std::string names;
    RifItem* previous = nullptr;
    for (RifItem* child = GetChildRifItem(folder); child != nullptr;
         child = GetNextRifItem(child)) {
        EXPECT_EQ(GetParentRifItem(child), folder);
        EXPECT_EQ(GetPrevRifItem(child), previous);
        names += std::string(GetRifItemName(child), strnlen(GetRifItemName(child), 8)) + " ";
        previous = child;
    }
    return names;
}

TEST(ItemTreeTest, NamesAreEightZeroPaddedBytes) {
    struct Case {
        const char* given;
        std::string stored;
    } cases[] = {
        {"ab", std::string("ab\0\0\0\0\0\0", 8)},
        {"REBENVDTEXTRA", "REBENVDT"},
        {"", std::string(8, '\0')},
        {nullptr, std::string(8, '\0')},
    };
    for (const Case& c : cases) {
        RifItem* item = CreateRifItemChild(c.given, nullptr, 0);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(NameBytes(item), c.stored) << (c.given ? c.given : "(null)");
        // Renaming clears all 8 bytes before copying.
        SetRifItemName(item, "LONGNAME");
        SetRifItemName(item, c.given);
        EXPECT_EQ(NameBytes(item), c.stored);
        EXPECT_EQ(GetRifItemName(item), reinterpret_cast<const char*>(item));
        DeleteRifItem(item);
    }
}

TEST(ItemTreeTest, CreationCopiesDataOnlyIntoDataItems) {
    const char payload[] = "payload";
    RifItem* folder = CreateRifItem("FOLDER", 1, payload, sizeof payload);
    RifItem* data = CreateRifItemChild("DATA", payload, sizeof payload);
    RifItem* empty = CreateRifItemChild("EMPTY", payload, 0);
    std::uint32_t size = 99;

    EXPECT_EQ(IsRifItemFolder(folder), 1);
    EXPECT_EQ(GetRifItemData(folder, &size), nullptr);
    EXPECT_EQ(size, 0u);

    EXPECT_EQ(IsRifItemFolder(data), 0);
    const void* block = GetRifItemData(data, &size);
    ASSERT_NE(block, nullptr);
    EXPECT_NE(block, static_cast<const void*>(payload));  // a copy, not the caller's bytes
    EXPECT_EQ(size, sizeof payload);
    EXPECT_EQ(std::memcmp(block, payload, sizeof payload), 0);

    EXPECT_EQ(GetRifItemData(empty, &size), nullptr);
    EXPECT_EQ(size, 0u);

    // A flag counts by its low byte; the folder shortcut always sets it.
    RifItem* shortcut = CreateRifItemFolder("F");
    EXPECT_EQ(IsRifItemFolder(shortcut), 1);
    for (RifItem* item : {folder, data, empty, shortcut}) {
        DeleteRifItem(item);
    }
}

TEST(ItemTreeTest, SetRifItemDataReplacesOrClears) {
    RifItem* data = CreateRifItemChild("DATA", "abc", 3);
    RifItem* folder = CreateRifItemFolder("FOLDER");
    std::uint32_t size = 0;

    EXPECT_EQ(SetRifItemData(data, "wxyz", 4), 1);
    EXPECT_EQ(std::memcmp(GetRifItemData(data, &size), "wxyz", 4), 0);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(SetRifItemData(data, "wxyz", 0), 1);  // size 0 removes the data
    EXPECT_EQ(GetRifItemData(data, &size), nullptr);
    EXPECT_EQ(size, 0u);

    CapturedLines captured;
    EXPECT_EQ(SetRifItemData(folder, "wxyz", 4), 0);  // a folder refuses data, silently
    EXPECT_EQ(SetRifItemData(folder, nullptr, 4), 1);
    EXPECT_EQ(SetRifItemData(folder, "wxyz", 0), 1);
    EXPECT_EQ(SetRifItemData(nullptr, "wxyz", 4), 0);
    EXPECT_TRUE(captured.lines().empty());
    DeleteRifItem(data);
    DeleteRifItem(folder);
}

TEST(ItemTreeTest, NullHandlesDoNothing) {
    std::uint32_t size = 77;
    EXPECT_EQ(GetRifItemData(nullptr, &size), nullptr);
    EXPECT_EQ(size, 77u);  // untouched for a null item
    EXPECT_EQ(GetRifItemName(nullptr), nullptr);
    EXPECT_EQ(IsRifItemFolder(nullptr), 0);
    EXPECT_EQ(GetParentRifItem(nullptr), nullptr);
    EXPECT_EQ(GetChildRifItem(nullptr), nullptr);
    EXPECT_EQ(GetNextRifItem(nullptr), nullptr);
    EXPECT_EQ(GetPrevRifItem(nullptr), nullptr);
    EXPECT_EQ(InsertRifItem(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(InsertRifItemFolder("F", nullptr, nullptr), nullptr);
    EXPECT_EQ(InsertRifItemChild("D", "x", 1, nullptr, nullptr), nullptr);
    EXPECT_EQ(FindFirstRifItem(nullptr, "X"), nullptr);
    EXPECT_EQ(FindNextRifItem(nullptr), nullptr);
    SetRifItemName(nullptr, "X");
    RemoveRifItem(nullptr, 1);
    DeleteRifItem(nullptr);
}

TEST(ItemTreeTest, InsertionPointsPlaceChildren) {
    RifItem* root = CreateRifItemFolder("ROOT");
    RifItem* b = CreateRifItemChild("B", nullptr, 0);
    ASSERT_EQ(InsertRifItem(b, root, RIF_LAST), 1);  // into an empty folder: the only child
    EXPECT_EQ(ChildNames(root), "B ");
    RifItem* a = InsertRifItemChild("A", "1", 1, root, nullptr);  // null: new first child
    RifItem* d = InsertRifItemFolder("D", root, RIF_LAST);
    RifItem* c = CreateRifItemChild("C", nullptr, 0);
    ASSERT_EQ(InsertRifItem(c, root, b), 1);  // directly after b
    ASSERT_NE(a, nullptr);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(ChildNames(root), "A B C D ");
    EXPECT_EQ(GetNextRifItem(d), nullptr);

    // A data item takes no children; both items stay as they were.
    RifItem* loose = CreateRifItemChild("LOOSE", nullptr, 0);
    EXPECT_EQ(InsertRifItem(loose, a, nullptr), 0);
    EXPECT_EQ(GetParentRifItem(loose), nullptr);
    EXPECT_EQ(GetChildRifItem(a), nullptr);
    EXPECT_EQ(InsertRifItemFolder("X", a, nullptr), nullptr);
    EXPECT_EQ(InsertRifItemChild("X", "x", 1, a, nullptr), nullptr);
    EXPECT_EQ(InsertRifItem(nullptr, root, nullptr), 0);
    DeleteRifItem(loose);
    DeleteRifItem(root);
}

TEST(ItemTreeTest, RemoveUnlinksAndHandsBackTheSubtree) {
    RifItem* root = CreateRifItemFolder("ROOT");
    RifItem* first = InsertRifItemFolder("FIRST", root, RIF_LAST);
    RifItem* second = InsertRifItemChild("SECOND", nullptr, 0, root, RIF_LAST);
    RifItem* third = InsertRifItemChild("THIRD", nullptr, 0, root, RIF_LAST);
    InsertRifItemChild("GRAND", "g", 1, first, RIF_LAST);

    RemoveRifItem(first, 0);
    EXPECT_EQ(GetChildRifItem(root), second);
    EXPECT_EQ(GetPrevRifItem(second), nullptr);
    EXPECT_EQ(GetParentRifItem(first), nullptr);
    EXPECT_EQ(GetNextRifItem(first), nullptr);
    EXPECT_EQ(ChildNames(first), "GRAND ");  // keeps its own children

    ASSERT_EQ(InsertRifItem(first, root, RIF_LAST), 1);  // and can be inserted again
    EXPECT_EQ(ChildNames(root), "SECOND THIRD FIRST ");

    RemoveRifItem(third, 1);  // a middle child, deleted
    EXPECT_EQ(ChildNames(root), "SECOND FIRST ");
    RemoveRifItem(first, 1);  // the last child with its subtree
    EXPECT_EQ(ChildNames(root), "SECOND ");
    DeleteRifItem(root);
}

TEST(ItemTreeTest, FindFirstUpperCasesOnlyTheKey) {
    RifItem* root = CreateRifItemFolder("REBINFF2");
    RifItem* lower = InsertRifItemChild("rebenvdt", nullptr, 0, root, RIF_LAST);
    RifItem* upper = InsertRifItemFolder("REBENVDT", root, RIF_LAST);
    RifItem* data = InsertRifItemChild("QELENVIR", "q", 1, root, RIF_LAST);

    EXPECT_EQ(FindFirstRifItem(root, "rebenvdt"), upper);
    EXPECT_EQ(FindFirstRifItem(root, "REBENVDTX"), upper);  // only 8 characters compared
    EXPECT_EQ(FindFirstRifItem(root, "REBENV"), nullptr);   // no prefix match
    EXPECT_EQ(FindFirstRifItem(root, ""), nullptr);
    EXPECT_EQ(FindFirstRifItem(root, nullptr), nullptr);
    EXPECT_EQ(FindFirstRifItem(data, "QELENVIR"), nullptr);  // a data item has no children
    // The lower-case child is never found by the folded key, only by its twin.
    RifItem* twin = InsertRifItemChild("rebenvdt", nullptr, 0, root, nullptr);
    EXPECT_EQ(FindNextRifItem(twin), lower);
    EXPECT_EQ(FindNextRifItem(lower), nullptr);
    EXPECT_EQ(FindNextRifItem(data), nullptr);  // the last child
    DeleteRifItem(root);
}

TEST(ItemTreeTest, FindNextVisitsEveryNamesake) {
    RifItem* root = CreateRifItemFolder("ROOT");
    for (const char* name : {"SHAPE", "OTHER", "SHAPE", "SHAPE", "OTHER"}) {
        InsertRifItemChild(name, nullptr, 0, root, RIF_LAST);
    }
    int found = 0;
    for (RifItem* item = FindFirstRifItem(root, "shape"); item != nullptr;
         item = FindNextRifItem(item)) {
        EXPECT_EQ(NameBytes(item), std::string("SHAPE\0\0\0", 8));
        ++found;
    }
    EXPECT_EQ(found, 3);
    DeleteRifItem(root);
}

TEST(ItemTreeTest, DataBlockIsEditedInPlace) {
    RifItem* item = CreateRifItemChild("QELENVIR", "\x01\x02", 2);
    auto* block = static_cast<unsigned char*>(GetRifItemData(item, nullptr));
    block[1] = 0x7F;
    EXPECT_EQ(GetRifItemData(item, nullptr), block);  // same address while unchanged
    EXPECT_EQ(static_cast<unsigned char*>(GetRifItemData(item, nullptr))[1], 0x7F);
    DeleteRifItem(item);
}

}  // namespace
