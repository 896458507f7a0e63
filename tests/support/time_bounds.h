// How long a test lets an action take, in one place. The native bounds hold
// wherever the code runs on the processor itself. Inside the emulated machine
// that runs the Windows checks where this machine cannot execute 32-bit code
// (scripts/windows/guest-run.sh sets PARLINO_EMULATED), every instruction is
// translated and wine's server round trips cost several times more, while the
// receive's 1.024 s wait is still measured on the wall clock. So work gets
// four times the native bound there, but a bound that tells "did not wait"
// apart from the wait itself stays below 1.024 s.
#pragma once

#include <chrono>
#include <cstdlib>

namespace parlino::testing {

inline bool emulated() {
    const char *flag = std::getenv("PARLINO_EMULATED");
    return flag != nullptr && *flag != '\0' && *flag != '0';
}

// Work that includes no wait of the module's own.
inline std::chrono::milliseconds workBound(std::chrono::milliseconds native) {
    return emulated() ? native * 4 : native;
}

// An action that must return without the receive's 1.024 s wait.
inline std::chrono::milliseconds noWaitBound() {
    return std::chrono::milliseconds(emulated() ? 1000 : 900);
}

} // namespace parlino::testing
