// Counts every heap allocation the process makes (malloc, calloc, realloc,
// and so operator new, which is built on malloc), the module's included.
#pragma once

#include <cstdint>

namespace parlino::bench {

// Allocations since the program started, from every thread.
std::uint64_t allocationCount();

} // namespace parlino::bench
