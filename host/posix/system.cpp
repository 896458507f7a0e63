// The host's operating-system layer on Linux: dlopen, POSIX threads,
// signals and the C library's clock.
#include "host/system.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>

namespace parlino::host::system {

void *openModuleLibrary(const std::string &path, std::string &error) {
    // RTLD_LOCAL keeps the module's symbols out of the global namespace, as
    // a host that may load several modules would want.
    // A bare file name means the file in the current folder, as on Windows,
    // not a search of the system's library folders.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    void *library = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char *reason = ::dlerror();
        error = reason != nullptr ? reason : "cannot load " + path;
    }
    return library;
}

void closeModuleLibrary(void *library) {
    if (library != nullptr)
        ::dlclose(library);
}

void *findModuleSymbol(void *library, const std::string &exportedName) {
    return ::dlsym(library, exportedName.c_str());
}

std::string hostEntryPointName(const std::string &name, int) { return name; }

// The Linux module allocates these blocks with calloc.
void releaseModuleBlock(char *block) { std::free(block); }

std::string executableDirectory() {
    char path[4096];
    const auto length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return "./";
    const std::string full(path, static_cast<std::size_t>(length));
    return full.substr(0, full.rfind('/') + 1);
}

// ---- Threads ----

struct Thread::State {
    std::function<void()> body;
    pthread_t thread{};
    bool running = false;
    bool detached = false;
};

namespace {
void *runThreadBody(void *state) {
    // Nothing may unwind through the operating system's frames.
    try {
        static_cast<std::function<void()> *>(state)->operator()();
    } catch (...) {
    }
    return nullptr;
}
} // namespace

Thread::Thread(std::function<void()> body) : state_(new State) {
    state_->body = std::move(body);
    state_->running = pthread_create(&state_->thread, nullptr, runThreadBody, &state_->body) == 0;
}

Thread::~Thread() {
    detach();
    // A detached thread may still be running its body, so its state stays
    // until the process ends.
    if (!state_->detached)
        delete state_;
}

bool Thread::started() const { return state_->running; }

void Thread::join() {
    if (state_->running)
        pthread_join(state_->thread, nullptr);
    state_->running = false;
}

void Thread::detach() {
    if (!state_->running)
        return;
    pthread_detach(state_->thread);
    state_->running = false;
    state_->detached = true;
}

void sleepMilliseconds(std::uint32_t milliseconds) {
    timespec remaining{static_cast<time_t>(milliseconds / 1000),
                       static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

// ---- Console ----

namespace {
std::atomic<bool> interruptFlag{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void noteInterrupt(int) { interruptFlag.store(true); }
} // namespace

void catchInterrupt() {
    struct sigaction action {};
    action.sa_handler = noteInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool interruptRequested() { return interruptFlag.load(); }

std::string timeOfDayText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

} // namespace parlino::host::system
