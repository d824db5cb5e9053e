#include "allocator.h"

#include <cstdlib>

namespace tessera {
namespace {

std::uint64_t g_failAt = 0;
std::uint64_t g_calls = 0;

// Counts the call and tells whether an injected failure is due now.
bool InjectedFailure() {
    ++g_calls;
    return g_failAt != 0 && g_calls == g_failAt;
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
    g_failAt = nth;
    g_calls = 0;
}

std::uint64_t AllocationCount() {
    return g_calls;
}

}  // namespace tessera
