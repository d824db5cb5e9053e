// The chunk item tree: creating, naming, linking, searching and freeing items.
//
// Every item and every data block comes from the library's heap, so a failed
// allocation is an ordinary null result here, never an exception. Freeing a
// tree walks it through its own links, without recursion and without memory
// of its own, so that a tree of any depth can always be freed.
#include "chunkfile/item_tree.h"

#include <cstring>

#include "chunkfile/allocator.h"
#include "chunkfile/diagnostics.h"

namespace tessera {

void CopyName(char (&field)[kNameLength], const char* name) {
    std::memset(field, 0, kNameLength);
    if (name == nullptr) {
        return;
    }
    for (std::size_t i = 0; i < kNameLength && name[i] != '\0'; ++i) {
        field[i] = name[i];
    }
}

namespace {

constexpr const char kCreationFailure[] =
    "WARNING (Tessera.dll): memory allocation failure during creation of RIF item!\n";
constexpr const char kSetDataFailure[] =
    "WARNING (Tessera.dll): memory allocation failure in SetRifItemData(..)!\n";

// A heap copy of size bytes of data, or null when the heap is exhausted.
void* CopyBlock(const void* data, std::uint32_t size) {
    void* block = Allocate(size);
    if (block != nullptr) {
        std::memcpy(block, data, size);
    }
    return block;
}

bool NamesEqual(const char* a, const char* b) {
    return std::memcmp(a, b, kNameLength) == 0;
}

}  // namespace

RifItem* CreateItem(const char* name, std::uint8_t folder, const void* data, std::uint32_t size) {
    auto* item = static_cast<RifItem*>(AllocateZeroed(sizeof(RifItem)));
    if (item == nullptr) {
        Diagnose(kCreationFailure);
        return nullptr;
    }
    CopyName(item->szName, name);
    item->bFolder = folder;
    if (folder == 0 && data != nullptr && size != 0) {
        item->pData = CopyBlock(data, size);
        if (item->pData == nullptr) {
            Free(item);
            Diagnose(kCreationFailure);
            return nullptr;
        }
        item->dwDataSize = size;
    }
    return item;
}

void DeleteItem(RifItem* item) {
    if (item == nullptr) {
        return;
    }
    // Depth first, children in list order: detach the first child of the
    // current item and descend into it; an item without children is freed
    // and the walk climbs back to its parent. The parent link is set on the
    // way down, so the climb never depends on links the caller could have
    // left stale, and the walk stops when it climbs above the item it began
    // with.
    RifItem* current = item;
    for (;;) {
        RifItem* child = current->pChild;
        if (child != nullptr) {
            current->pChild = child->pNext;
            child->pParent = current;
            current = child;
            continue;
        }
        RifItem* parent = current == item ? nullptr : current->pParent;
        Free(current->pData);
        Free(current);
        if (parent == nullptr) {
            return;
        }
        current = parent;
    }
}

bool SetItemData(RifItem* item, const void* data, std::uint32_t size) {
    if (item == nullptr) {
        return false;
    }
    Free(item->pData);
    item->pData = nullptr;
    item->dwDataSize = 0;
    if (data == nullptr || size == 0) {
        return true;
    }
    if (item->bFolder != 0) {
        return false;
    }
    item->pData = CopyBlock(data, size);
    if (item->pData == nullptr) {
        Diagnose(kSetDataFailure);
        return false;
    }
    item->dwDataSize = size;
    return true;
}

bool InsertItem(RifItem* item, RifItem* parent, RifItem* after) {
    if (item == nullptr || parent == nullptr || parent->bFolder == 0) {
        return false;
    }
    item->pParent = parent;
    if (after == RIF_LAST) {
        after = parent->pChild;
        while (after != nullptr && after->pNext != nullptr) {
            after = after->pNext;
        }
    }
    if (after == nullptr) {
        item->pPrev = nullptr;
        item->pNext = parent->pChild;
        if (item->pNext != nullptr) {
            item->pNext->pPrev = item;
        }
        parent->pChild = item;
    } else {
        item->pPrev = after;
        item->pNext = after->pNext;
        if (item->pNext != nullptr) {
            item->pNext->pPrev = item;
        }
        after->pNext = item;
    }
    return true;
}

RifItem* InsertNewItem(const char* name, std::uint8_t folder, const void* data, std::uint32_t size,
                       RifItem* parent, RifItem* after) {
    if (parent == nullptr || parent->bFolder == 0) {
        return nullptr;
    }
    RifItem* item = CreateItem(name, folder, data, size);
    if (item != nullptr) {
        InsertItem(item, parent, after);
    }
    return item;
}

void RemoveItem(RifItem* item, bool deleteItem) {
    if (item == nullptr) {
        return;
    }
    if (item->pParent != nullptr && item->pParent->pChild == item) {
        item->pParent->pChild = item->pNext;
    }
    if (item->pPrev != nullptr) {
        item->pPrev->pNext = item->pNext;
    }
    if (item->pNext != nullptr) {
        item->pNext->pPrev = item->pPrev;
    }
    item->pParent = nullptr;
    item->pPrev = nullptr;
    item->pNext = nullptr;
    if (deleteItem) {
        DeleteItem(item);
    }
}

RifItem* FindFirstItem(RifItem* folder, const char* name) {
    if (folder == nullptr || name == nullptr || name[0] == '\0') {
        return nullptr;
    }
    char key[kNameLength];
    CopyName(key, name);
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    for (RifItem* child = folder->pChild; child != nullptr; child = child->pNext) {
        if (NamesEqual(child->szName, key)) {
            return child;
        }
    }
    return nullptr;
}

RifItem* FindNextItem(RifItem* item) {
    if (item == nullptr) {
        return nullptr;
    }
    for (RifItem* sibling = item->pNext; sibling != nullptr; sibling = sibling->pNext) {
        if (NamesEqual(sibling->szName, item->szName)) {
            return sibling;
        }
    }
    return nullptr;
}

}  // namespace tessera

// The exported operations: each one forwards to the library's own function,
// so that no call inside the library goes through an exported name.
extern "C" {

TESSERA_API RifItem* CreateRifItem(const char* name, RifBool folder, const void* data,
                                   std::uint32_t size) {
    return tessera::CreateItem(name, folder, data, size);
}

TESSERA_API RifItem* CreateRifItemFolder(const char* name) {
    return tessera::CreateItem(name, 1, nullptr, 0);
}

TESSERA_API RifItem* CreateRifItemChild(const char* name, const void* data, std::uint32_t size) {
    return tessera::CreateItem(name, 0, data, size);
}

TESSERA_API void DeleteRifItem(RifItem* item) {
    tessera::DeleteItem(item);
}

TESSERA_API void SetRifItemName(RifItem* item, const char* name) {
    if (item != nullptr) {
        tessera::CopyName(item->szName, name);
    }
}

TESSERA_API const char* GetRifItemName(RifItem* item) {
    return item == nullptr ? nullptr : item->szName;
}

TESSERA_API RifBool SetRifItemData(RifItem* item, const void* data, std::uint32_t size) {
    return tessera::SetItemData(item, data, size) ? 1 : 0;
}

TESSERA_API void* GetRifItemData(RifItem* item, std::uint32_t* size) {
    if (item == nullptr) {
        return nullptr;
    }
    if (size != nullptr) {
        *size = item->dwDataSize;
    }
    return item->pData;
}

TESSERA_API RifBool IsRifItemFolder(RifItem* item) {
    return item == nullptr ? 0 : item->bFolder;
}

TESSERA_API RifItem* GetParentRifItem(RifItem* item) {
    return item == nullptr ? nullptr : item->pParent;
}

TESSERA_API RifItem* GetChildRifItem(RifItem* item) {
    return item == nullptr ? nullptr : item->pChild;
}

TESSERA_API RifItem* GetNextRifItem(RifItem* item) {
    return item == nullptr ? nullptr : item->pNext;
}

TESSERA_API RifItem* GetPrevRifItem(RifItem* item) {
    return item == nullptr ? nullptr : item->pPrev;
}

TESSERA_API RifBool InsertRifItem(RifItem* item, RifItem* parent, RifItem* after) {
    return tessera::InsertItem(item, parent, after) ? 1 : 0;
}

TESSERA_API RifItem* InsertRifItemFolder(const char* name, RifItem* parent, RifItem* after) {
    return tessera::InsertNewItem(name, 1, nullptr, 0, parent, after);
}

TESSERA_API RifItem* InsertRifItemChild(const char* name, const void* data, std::uint32_t size,
                                        RifItem* parent, RifItem* after) {
    return tessera::InsertNewItem(name, 0, data, size, parent, after);
}

TESSERA_API void RemoveRifItem(RifItem* item, RifBool deleteItem) {
    tessera::RemoveItem(item, deleteItem != 0);
}

TESSERA_API RifItem* FindFirstRifItem(RifItem* folder, const char* name) {
    return tessera::FindFirstItem(folder, name);
}

TESSERA_API RifItem* FindNextRifItem(RifItem* item) {
    return tessera::FindNextItem(item);
}

}  // extern "C"
