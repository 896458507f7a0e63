#include "host/core/lock.h"

#include <windows.h>

namespace parlino::host::system {

struct Mutex::State {
    CRITICAL_SECTION section;
};

Mutex::Mutex() : state_(new State) { ::InitializeCriticalSection(&state_->section); }
Mutex::~Mutex() {
    ::DeleteCriticalSection(&state_->section);
    delete state_;
}
void Mutex::lock() { ::EnterCriticalSection(&state_->section); }
void Mutex::unlock() { ::LeaveCriticalSection(&state_->section); }

} // namespace parlino::host::system
