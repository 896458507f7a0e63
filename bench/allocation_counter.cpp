// The benchmark programs define the C allocator entry points themselves, so
// that every allocation made anywhere in the process (a dlopen'd module and
// libstdc++ included) passes through here and is counted, and then hand the
// work to glibc's own allocator.
#include "bench/allocation_counter.h"

#include <atomic>
#include <cstddef>

extern "C" {
void *__libc_malloc(std::size_t size);
void *__libc_calloc(std::size_t count, std::size_t size);
void *__libc_realloc(void *block, std::size_t size);
void __libc_free(void *block);
}

namespace {
std::atomic<std::uint64_t> allocations{0};
}

extern "C" {

void *malloc(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}

void *calloc(std::size_t count, std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}

void *realloc(void *block, std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(block, size);
}

void free(void *block) { __libc_free(block); }

} // extern "C"

namespace parlino::bench {

std::uint64_t allocationCount() { return allocations.load(std::memory_order_relaxed); }

} // namespace parlino::bench
