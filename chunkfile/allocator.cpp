#include "chunkfile/allocator.h"

#include <atomic>
#include <cstdlib>

namespace tessera {
namespace {

// The failure injection of the tests. Counting starts with the first
// FailAllocation() call, so a program that never calls it pays one relaxed
// load per allocation and writes nothing shared; once armed, every thread's
// allocations count atomically.
std::atomic<bool> g_armed{false};
std::atomic<std::uint64_t> g_failAt{0};
std::atomic<std::uint64_t> g_calls{0};

// Counts the call and tells whether an injected failure is due now.
bool InjectedFailure() {
    if (!g_armed.load(std::memory_order_relaxed)) {
        return false;
    }
    const std::uint64_t call = g_calls.fetch_add(1, std::memory_order_relaxed) + 1;
    const std::uint64_t failAt = g_failAt.load(std::memory_order_relaxed);
    return failAt != 0 && call == failAt;
}

}  // namespace

void* Allocate(std::size_t size) {
    if (InjectedFailure()) {
        return nullptr;
    }
    return std::malloc(size == 0 ? 1 : size);
}

void* AllocateZeroed(std::size_t size) {
    if (InjectedFailure()) {
        return nullptr;
    }
    return std::calloc(size == 0 ? 1 : size, 1);
}

void* Reallocate(void* block, std::size_t size) {
    if (InjectedFailure()) {
        return nullptr;
    }
    return std::realloc(block, size == 0 ? 1 : size);
}

void Free(void* block) {
    std::free(block);
}

void FailAllocation(std::uint64_t nth) {
    g_failAt.store(nth, std::memory_order_relaxed);
    g_calls.store(0, std::memory_order_relaxed);
    g_armed.store(true, std::memory_order_relaxed);
}

std::uint64_t AllocationCount() {
    return g_calls.load(std::memory_order_relaxed);
}

}  // namespace tessera
