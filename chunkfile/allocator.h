// The library's heap.
//
// Items, data blocks and every buffer handed out to callers come from here,
// and ReleaseBuffer returns them here. Tests can make the n-th allocation from
// now on fail, to walk every failure path of an operation in turn.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessera {

// Null on failure (or when an injected failure is due). Never throws.
void* Allocate(std::size_t size);
void* AllocateZeroed(std::size_t size);
// Null on failure; the old block then stays valid and owned by the caller.
void* Reallocate(void* block, std::size_t size);
void Free(void* block);

// Test hook: the nth call of Allocate/AllocateZeroed/Reallocate from now on
// (1 for the very next) fails; 0 turns injection off. Resets the count. Safe
// to call while other threads allocate; the count is then theirs too.
void FailAllocation(std::uint64_t nth);
// Allocation calls made since the last FailAllocation() (0 before the first).
std::uint64_t AllocationCount();

}  // namespace tessera
