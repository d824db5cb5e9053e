// The in-memory chunk tree: one RifItem per chunk.
//
// Outside the library an item is an opaque handle; inside, the stages that
// build and walk trees (stream reading and writing, the typed readers) use the
// fields directly. The field order is fixed and the name comes first, so a
// pointer to an item is also a pointer to its name.
#pragma once

#include <cstddef>
#include <cstdint>

#include "chunkfile/tessera.h"

struct RifItem {
    char szName[8];            // identifier, zero-padded, never terminated on its own
    std::uint8_t bFolder;      // nonzero: a folder (children, never data)
    std::uint32_t dwDataSize;  // bytes at pData; 0 when there is none
    void* pData;               // the item's own copy of its payload, or null
    RifItem* pParent;          // the folder whose child list holds the item
    RifItem* pChild;           // first child
    RifItem* pNext;            // next sibling
    RifItem* pPrev;            // previous sibling
};
static_assert(offsetof(RifItem, szName) == 0, "a pointer to an item is a pointer to its name");

namespace tessera {

// Width of a chunk identifier, of its size field, and of the whole header.
inline constexpr std::size_t kNameLength = 8;
inline constexpr std::size_t kSizeLength = 4;
inline constexpr std::size_t kHeaderLength = kNameLength + kSizeLength;

// Copies at most 8 characters of name, stopping at its first zero byte, into
// the 8-byte field and zeroes the rest. A null name leaves the field zero.
void CopyName(char (&field)[kNameLength], const char* name);

// The item operations that the exported functions of the same meaning
// forward to; the library's own stages call these, never the exported names,
// so that a program defining functions of those names cannot take their
// place. Each behaves exactly as its exported counterpart in tessera.h.
RifItem* CreateItem(const char* name, std::uint8_t folder, const void* data, std::uint32_t size);
void DeleteItem(RifItem* item);
bool SetItemData(RifItem* item, const void* data, std::uint32_t size);
bool InsertItem(RifItem* item, RifItem* parent, RifItem* after);
// CreateItem, then InsertItem; null with nothing created when parent is null
// or not a folder.
RifItem* InsertNewItem(const char* name, std::uint8_t folder, const void* data, std::uint32_t size,
                       RifItem* parent, RifItem* after);
void RemoveItem(RifItem* item, bool deleteItem);
RifItem* FindFirstItem(RifItem* folder, const char* name);
RifItem* FindNextItem(RifItem* item);

}  // namespace tessera
