// A minimal lock for the fakes: the Windows toolchain here has no std::mutex
// (win32 thread model), and the fakes' critical sections are a few stores.
#pragma once

#include <atomic>

namespace parlino::testing {

class SpinLock {
  public:
    void lock() {
        while (flag_.test_and_set(std::memory_order_acquire)) {
        }
    }
    void unlock() { flag_.clear(std::memory_order_release); }

  private:
    std::atomic_flag flag_ = ATOMIC_FLAG_INIT;
};

} // namespace parlino::testing
