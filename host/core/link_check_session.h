// A link check driven through a ChatLink whose port is open and whose peer
// is set, as each front end runs it: the terminal's `parlino check`, and a
// chat or a window that checks its own link. The front end calls tick()
// from one thread, often (every 20 ms or so), and hands each line that its
// receiving thread got to take(); both may run at once.
#pragma once

#include "host/core/chat_link.h"
#include "host/core/chat_names.h"
#include "host/core/link_check.h"
#include "host/core/system.h"

#include <cstdint>
#include <string>
#include <vector>

namespace parlino::host {

class LinkCheckSession {
  public:
    struct Options {
        PeerAddress peer;        // a dotted address, and the name it was looked up from
        std::uint16_t port = 0;  // the port the link has open
        std::string myIpAddress; // what the module's my-IP gave
        CheckClock::duration exchange = std::chrono::seconds(5);
        CheckClock::duration wait = std::chrono::seconds(60);
    };

    // Connects the check's own socket toward the peer; when the system
    // cannot send there at all, the check is finished at once.
    LinkCheckSession(ChatLink &link, const Options &options, CheckClock::time_point start = CheckClock::now());
    LinkCheckSession(const LinkCheckSession &) = delete;
    LinkCheckSession &operator=(const LinkCheckSession &) = delete;

    // Sends the probe that is due, after an empty datagram of the check's
    // own socket (the peer's machine answers the first datagram it refuses,
    // and may not answer a second one just after); the notes to show.
    std::vector<std::string> tick(CheckClock::time_point now = CheckClock::now());
    // A line the link received: true when it was a probe, which a chat
    // then does not show.
    bool take(const ReceivedLine &line, CheckClock::time_point now = CheckClock::now());
    bool finished(CheckClock::time_point now = CheckClock::now());
    // When tick() has something to do next.
    CheckClock::time_point nextTickAt();
    // Fixed once the session is made.
    const LinkCheckSettings &settings() const { return settings_; }
    // What a front end says as the check starts, unless it has finished
    // already: how long it waits for the peer's check, with `whatRunsThere`
    // (such as checkCommandThere), and how long probes then cross.
    std::string waitingNote(const std::string &whatRunsThere) const;
    LinkReport report(CheckClock::time_point now = CheckClock::now());

  private:
    LinkCheckSettings settingsFor(const Options &options);

    ChatLink &link_;
    system::PeerSocket socket_;
    std::string connectError_;
    const LinkCheckSettings settings_;
    system::Mutex lock_;
    LinkCheck check_; // under lock_
};

} // namespace parlino::host
