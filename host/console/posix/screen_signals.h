// The signals the chat's screen acts on (a resize, Ctrl-Z's stop, the
// continue after fg) and the pipe that wakes the screen's thread: for them,
// and for lines other threads hand it to show. The handlers only set flags
// and write a byte into the pipe; the screen's thread does the rest.
#pragma once

#include <csignal>
#include <string>

namespace parlino::host {

class ScreenSignals {
  public:
    ScreenSignals() = default;
    ScreenSignals(const ScreenSignals &) = delete;
    ScreenSignals &operator=(const ScreenSignals &) = delete;
    // The handlers as they were, the pipe closed.
    ~ScreenSignals();

    // Makes the pipe and installs the handlers (before curses starts, which
    // then leaves the signals to us); false with the reason.
    bool install(std::string &why);

    // The end to poll for a wake-up, and to empty once woken.
    int wakeEnd() const { return wakeRead_; }
    void drainWakeUps();
    // Wakes the screen's thread: from any thread, or a signal handler.
    static void wakeUp();

    // Whether the signal came since the last call.
    static bool takeResize();
    static bool takeStop();
    static bool takeContinue();

    // Stops the process as Ctrl-Z would have without the screen; returns
    // after SIGCONT.
    static void stopProcess();

  private:
    int wakeRead_ = -1;
    bool installed_ = false;
    struct sigaction resizeBefore_ {}, stopBefore_{}, continueBefore_{};
};

} // namespace parlino::host
