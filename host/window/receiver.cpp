#include "host/window/receiver.h"

#include "host/window/conversation.h"

namespace parlino::host {

Receiver::Receiver(ChatLink &link, HWND window, UINT message) : link_(link), window_(window), message_(message) {}

Receiver::~Receiver() { stop(); }

bool Receiver::start(std::uint16_t port) {
    stop();
    port_ = port;
    receiving_.store(true);
    thread_ = std::make_unique<system::Thread>([this] { receiveUntilStopped(); });
    if (!thread_->started()) {
        receiving_.store(false);
        thread_.reset();
        return false;
    }
    return true;
}

void Receiver::stop() {
    if (!thread_)
        return;
    receiving_.store(false);
    ChatLink::wakeReceive(port_);
    thread_->join();
    thread_.reset();
}

ReceivedLines Receiver::take(std::size_t most) {
    system::ScopedLock lock(inboxLock_);
    ReceivedLines taken;
    taken.dropped = inbox_.dropped;
    taken.undecodable = inbox_.undecodable;
    taken.probe = inbox_.probe;
    inbox_.dropped = 0;
    inbox_.undecodable = false;
    inbox_.probe = false;
    while (!inbox_.entries.empty() && taken.entries.size() < most) {
        inboxCharacters_ -= inbox_.entries.front().size();
        taken.entries.push_back(std::move(inbox_.entries.front()));
        inbox_.entries.pop_front();
    }
    taken.more = !inbox_.entries.empty();
    posted_ = taken.more;
    return taken;
}

void Receiver::divertProbesTo(std::shared_ptr<LinkCheckSession> check, CheckClock::time_point until) {
    system::ScopedLock lock(checkLock_);
    check_ = std::move(check);
    checkUntil_ = until;
}

bool Receiver::takenByCheck(const ReceivedLine &line) {
    system::ScopedLock lock(checkLock_);
    if (!check_)
        return false;
    if (CheckClock::now() >= checkUntil_) {
        check_.reset();
        return false;
    }
    return line.arrived && check_->take(line);
}

void Receiver::receiveUntilStopped() {
    try {
        receiveLines();
    } catch (...) {
        failed_.store(true);
        ::PostMessageW(window_, message_, 0, 0);
    }
}

void Receiver::receiveLines() {
    while (receiving_.load()) {
        const auto line = link_.receive(ControlNotation::codePoint);
        // The wake-up of stop() is an empty datagram: it shows as nothing.
        if (takenByCheck(line) || !line.arrived)
            continue;
        auto entry = conversationEntry(system::timeOfDayText(), Speaker::peer, line.shown);
        system::ScopedLock lock(inboxLock_);
        inboxCharacters_ += entry.size();
        inbox_.entries.push_back(std::move(entry));
        inbox_.undecodable = inbox_.undecodable || line.undecodable;
        inbox_.probe = inbox_.probe || parseProbe(line.shown).has_value();
        // Lines the window is too slow to take would be trimmed from the
        // conversation at once: they are dropped here already.
        while (inbox_.entries.size() > 1 &&
               (inbox_.entries.size() > Conversation::mostLines || inboxCharacters_ > Conversation::mostCharacters)) {
            inboxCharacters_ -= inbox_.entries.front().size();
            inbox_.entries.pop_front();
            ++inbox_.dropped;
        }
        if (!posted_)
            posted_ = ::PostMessageW(window_, message_, 0, 0) != FALSE;
    }
}

} // namespace parlino::host
