#include "host/core/lock.h"

#include <pthread.h>

namespace parlino::host::system {

struct Mutex::State {
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
};

Mutex::Mutex() : state_(new State) {}
Mutex::~Mutex() {
    pthread_mutex_destroy(&state_->mutex);
    delete state_;
}
void Mutex::lock() { pthread_mutex_lock(&state_->mutex); }
void Mutex::unlock() { pthread_mutex_unlock(&state_->mutex); }

} // namespace parlino::host::system
