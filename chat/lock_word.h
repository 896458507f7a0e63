// The busy-wait lock of the endpoint layer: -1 exchanged in takes the word,
// 0 stored releases it. A busy wait suits it because every section it guards
// is a few loads and stores (a table search, an insert, an unlink, a use
// count), never a socket call; and the shipped 32-bit DLL is built with
// GCC 12's win32 thread model, which has no std::mutex. A wait that may last
// (a second receive on one endpoint) sleeps in platform::waitUntil instead.
#pragma once

#include <atomic>
#include <cstdint>

namespace parlino {

class LockWord {
  public:
    void take() {
        while (word_.exchange(-1, std::memory_order_acquire) != 0) {
        }
    }
    void release() { word_.store(0, std::memory_order_release); }

  private:
    std::atomic<std::int32_t> word_{0};
};

// Holds a lock word for the lifetime of a scope.
class Held {
  public:
    explicit Held(LockWord &lock) : lock_(lock) { lock_.take(); }
    ~Held() { lock_.release(); }
    Held(const Held &) = delete;
    Held &operator=(const Held &) = delete;

  private:
    LockWord &lock_;
};

} // namespace parlino
