#include "host/console/posix/screen_signals.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace parlino::host {
namespace {

std::atomic<int> wakeUpEnd{-1};
std::atomic<bool> resized{false}, stopAsked{false}, continued{false};

extern "C" void noteResize(int) { resized.store(true), ScreenSignals::wakeUp(); }
extern "C" void noteStop(int) { stopAsked.store(true), ScreenSignals::wakeUp(); }
extern "C" void noteContinue(int) { continued.store(true), ScreenSignals::wakeUp(); }

void handle(int signal, void (*handler)(int), struct sigaction *before = nullptr) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, before);
}

} // namespace

bool ScreenSignals::install(std::string &why) {
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        why = "no pipe for the screen";
        return false;
    }
    wakeRead_ = wake[0];
    wakeUpEnd.store(wake[1]);
    handle(SIGWINCH, noteResize, &resizeBefore_);
    handle(SIGTSTP, noteStop, &stopBefore_);
    handle(SIGCONT, noteContinue, &continueBefore_);
    installed_ = true;
    return true;
}

ScreenSignals::~ScreenSignals() {
    if (installed_) {
        sigaction(SIGWINCH, &resizeBefore_, nullptr);
        sigaction(SIGTSTP, &stopBefore_, nullptr);
        sigaction(SIGCONT, &continueBefore_, nullptr);
    }
    if (const int end = wakeUpEnd.exchange(-1); end >= 0)
        ::close(end);
    if (wakeRead_ >= 0)
        ::close(wakeRead_);
}

void ScreenSignals::drainWakeUps() {
    char bytes[256];
    while (::read(wakeRead_, bytes, sizeof bytes) > 0) {
    }
}

void ScreenSignals::wakeUp() {
    const int saved = errno;
    const char byte = 1;
    if (const int end = wakeUpEnd.load(); end >= 0)
        [[maybe_unused]] const auto written = ::write(end, &byte, 1);
    errno = saved;
}

bool ScreenSignals::takeResize() { return resized.exchange(false); }
bool ScreenSignals::takeStop() { return stopAsked.exchange(false); }
bool ScreenSignals::takeContinue() { return continued.exchange(false); }

void ScreenSignals::stopProcess() {
    struct sigaction ours {};
    handle(SIGTSTP, SIG_DFL, &ours);
    ::raise(SIGTSTP);
    sigaction(SIGTSTP, &ours, nullptr);
}

} // namespace parlino::host
