// The process-wide wait point: a mutex and a condition variable that waits
// on the monotonic clock, so that setting the time of day moves no deadline.
#include "platform/platform.h"

#include <cerrno>
#include <ctime>
#include <pthread.h>

namespace parlino::platform {
namespace {

pthread_mutex_t waitLock = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t wokenUp = PTHREAD_COND_INITIALIZER;

std::uint64_t nowMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000 + static_cast<std::uint64_t>(now.tv_nsec) / 1000;
}

} // namespace

bool waitUntil(bool (*ready)(void *context), void *context, std::uint64_t &microsecondsLeft) {
    const std::uint64_t deadline = nowMicroseconds() + microsecondsLeft;
    const timespec until{static_cast<time_t>(deadline / 1000000), static_cast<long>(deadline % 1000000) * 1000};
    pthread_mutex_lock(&waitLock);
    bool isReady = ready(context);
    while (!isReady) {
        const int result = pthread_cond_clockwait(&wokenUp, &waitLock, CLOCK_MONOTONIC, &until);
        isReady = ready(context);
        if (result == ETIMEDOUT)
            break;
    }
    pthread_mutex_unlock(&waitLock);
    const std::uint64_t now = nowMicroseconds();
    microsecondsLeft = now < deadline ? deadline - now : 0;
    return isReady;
}

void wakeWaiters() {
    // Taking the lock orders this wake after any waiter's look at ready():
    // none can look, miss the change and then sleep through the wake.
    pthread_mutex_lock(&waitLock);
    pthread_cond_broadcast(&wokenUp);
    pthread_mutex_unlock(&waitLock);
}

} // namespace parlino::platform
