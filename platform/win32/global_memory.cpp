#include "platform/platform.h"

#include <windows.h>

namespace parlino::platform {

void *allocateGlobal(std::size_t bytes) { return ::GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, bytes); }

void releaseGlobal(void *block) {
    if (block != nullptr)
        ::GlobalFree(block);
}

} // namespace parlino::platform
