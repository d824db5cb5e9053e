#include "allocator.h"

#include <atomic>
#include <cstdlib>

namespace tessera {
namespace {

// Programs call the library from several threads at once (one level per
// thread), so the test hook's counter is atomic: a plain counter would be a
// data race on every allocation. Relaxed order is enough, nothing is
// published through it.
std::atomic<std::uint64_t> g_failAt{0};
std::atomic<std::uint64_t> g_calls{0};

// Counts the call and tells whether an injected failure is due now.
bool InjectedFailure() {
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
}

std::uint64_t AllocationCount() {
    return g_calls.load(std::memory_order_relaxed);
}

}  // namespace tessera
