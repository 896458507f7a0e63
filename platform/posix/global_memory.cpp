// Blocks handed to a Linux host come from calloc, so the host frees them with free().
#include "platform/platform.h"

#include <cstdlib>

namespace parlino::platform {

void *allocateGlobal(std::size_t bytes) { return std::calloc(bytes, 1); }

void releaseGlobal(void *block) { std::free(block); }

} // namespace parlino::platform
