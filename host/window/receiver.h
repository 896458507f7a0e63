// The receive action waits up to about a second: it runs on a thread of its
// own, never the window's. Lines wait in an inbox until the window takes
// them; the window hears of them by one posted message however many come,
// so that a flood of lines cannot flood its message queue. While the window
// checks the link, the check's probes go to the check, not the inbox.
#pragma once

#include "host/core/chat_link.h"
#include "host/core/link_check_session.h"
#include "host/core/system.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

namespace parlino::host {

struct ReceivedLines {
    std::deque<std::wstring> entries; // conversation lines, oldest first
    std::size_t dropped = 0;          // lines that came before them but were dropped, the window being behind
    bool undecodable = false;         // some line held bytes not valid in the character set
    bool probe = false;               // some line was a probe of a link check there, none running here
    bool more = false;                // more lines wait in the inbox
};

class Receiver {
  public:
    // Posts `message` to `window` when the inbox stops being empty.
    Receiver(ChatLink &link, HWND window, UINT message);
    ~Receiver();
    Receiver(const Receiver &) = delete;
    Receiver &operator=(const Receiver &) = delete;

    // Receives on `port` (already open) until stop(); false when no thread
    // could be started.
    bool start(std::uint16_t port);
    // Ends the receive (a datagram of its own ends the wait at once) and
    // waits for the thread. Safe to call when not started.
    void stop();
    // The oldest `most` lines of the inbox. Once it is empty, the next line
    // that comes posts the message again; while `more` lines wait, the
    // window comes back for them itself.
    ReceivedLines take(std::size_t most);
    // The thread ended on a failure (out of memory for a line): nothing more
    // is received. The message is posted then too.
    bool failed() const { return failed_.load(); }
    // From now until `until`, a line that `check` takes as its probe does
    // not reach the inbox; a null `check` ends that at once. The receiving
    // thread lets go of the check once `until` has passed.
    void divertProbesTo(std::shared_ptr<LinkCheckSession> check,
                        CheckClock::time_point until = CheckClock::time_point::max());

  private:
    void receiveUntilStopped();
    void receiveLines();
    bool takenByCheck(const ReceivedLine &line);

    ChatLink &link_;
    HWND window_;
    UINT message_;
    std::uint16_t port_ = 0;
    std::atomic<bool> receiving_{false};
    std::atomic<bool> failed_{false};
    std::unique_ptr<system::Thread> thread_;
    system::Mutex inboxLock_;
    ReceivedLines inbox_;             // under inboxLock_
    std::size_t inboxCharacters_ = 0; // under inboxLock_
    bool posted_ = false;             // under inboxLock_: the message is on its way, or lines wait
    system::Mutex checkLock_;
    std::shared_ptr<LinkCheckSession> check_; // under checkLock_
    CheckClock::time_point checkUntil_{};     // under checkLock_
};

} // namespace parlino::host
