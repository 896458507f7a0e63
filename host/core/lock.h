// The blocking lock of the reference host and of the test fakes. It is not
// std::mutex because the Windows builds use GCC 12's win32 thread model,
// which has no std::mutex; host/core/posix and host/core/win32 implement it over a
// POSIX mutex and a critical section.
#pragma once

namespace parlino::host::system {

class Mutex {
  public:
    Mutex();
    ~Mutex();
    Mutex(const Mutex &) = delete;
    Mutex &operator=(const Mutex &) = delete;
    void lock();
    void unlock();

  private:
    struct State;
    State *state_;
};

class ScopedLock {
  public:
    explicit ScopedLock(Mutex &mutex) : mutex_(mutex) { mutex_.lock(); }
    ~ScopedLock() { mutex_.unlock(); }
    ScopedLock(const ScopedLock &) = delete;
    ScopedLock &operator=(const ScopedLock &) = delete;

  private:
    Mutex &mutex_;
};

} // namespace parlino::host::system
