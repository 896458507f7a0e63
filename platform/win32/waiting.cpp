// The process-wide wait point: a slim reader/writer lock and a condition
// variable, both usable from their all-zero start, so nothing is created at
// load and nothing is left to destroy at unload.
#include "platform/platform.h"

#include <windows.h>

namespace parlino::platform {
namespace {

SRWLOCK waitLock = SRWLOCK_INIT;
CONDITION_VARIABLE wokenUp = CONDITION_VARIABLE_INIT;

} // namespace

bool waitUntil(bool (*ready)(void *context), void *context, std::uint64_t &microsecondsLeft) {
    // GetTickCount wraps after 49.7 days; differences of it do not.
    const DWORD start = ::GetTickCount();
    const std::uint64_t wholeMs = (microsecondsLeft + 999) / 1000;
    const DWORD limit = wholeMs >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(wholeMs);
    ::AcquireSRWLockExclusive(&waitLock);
    bool isReady = ready(context);
    for (DWORD waited = 0; !isReady && waited < limit; waited = ::GetTickCount() - start) {
        ::SleepConditionVariableSRW(&wokenUp, &waitLock, limit - waited, 0);
        isReady = ready(context);
    }
    ::ReleaseSRWLockExclusive(&waitLock);
    const std::uint64_t waitedUs = static_cast<std::uint64_t>(::GetTickCount() - start) * 1000;
    microsecondsLeft = waitedUs < microsecondsLeft ? microsecondsLeft - waitedUs : 0;
    return isReady;
}

void wakeWaiters() {
    // Taking the lock orders this wake after any waiter's look at ready():
    // none can look, miss the change and then sleep through the wake.
    ::AcquireSRWLockExclusive(&waitLock);
    ::WakeAllConditionVariable(&wokenUp);
    ::ReleaseSRWLockExclusive(&waitLock);
}

} // namespace parlino::platform
