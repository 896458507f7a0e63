#include "host/core/link_check_session.h"

#include <algorithm>

namespace parlino::host {

LinkCheckSession::LinkCheckSession(ChatLink &link, const Options &options, CheckClock::time_point start)
    : link_(link), settings_(settingsFor(options)), check_(settings_, start) {
    if (!connectError_.empty())
        check_.cannotSend(connectError_);
}

LinkCheckSettings LinkCheckSession::settingsFor(const Options &options) {
    LinkCheckSettings settings;
    settings.peer = {readDottedIpv4(options.peer.address).value_or(0), options.peer.port};
    settings.peerName = options.peer.name;
    settings.myIpAddress = options.myIpAddress;
    settings.platform = system::platformName();
    settings.localAddresses = system::localIpv4Addresses();
    settings.exchange = options.exchange;
    settings.wait = options.wait;
    // The address the probes name as their sender is the one this machine
    // really sends from toward the peer, which my-IP need not give (it
    // names one adapter of several).
    std::uint32_t self = readDottedIpv4(options.myIpAddress).value_or(0);
    if (socket_.connect(settings.peer.address, settings.peer.port, connectError_) && socket_.localAddress() != 0)
        self = socket_.localAddress();
    settings.self = {self, options.port};
    return settings;
}

std::string LinkCheckSession::waitingNote(const std::string &whatRunsThere) const {
    return "waiting up to " + secondsText(std::max({settings_.wait, settings_.exchange, LinkCheck::shortestWait})) +
           " for the check at " + endpointText(settings_.peer) + " (there: " + whatRunsThere +
           "); once it answers, probes cross for " + secondsText(settings_.exchange);
}

std::vector<std::string> LinkCheckSession::tick(CheckClock::time_point now) {
    std::string probe;
    std::vector<std::string> notes;
    {
        system::ScopedLock lock(lock_);
        if (check_.finished(now) || now < check_.nextProbeAt())
            return check_.takeNotes();
        const auto sent = socket_.sendEmptyDatagram();
        for (const auto answer : sent.answers)
            check_.takeAnswer(answer, now);
        if (!sent.sent && !sent.answers.empty() && sent.answers.back() != system::PeerAnswer::portUnreachable) {
            // The system refuses at once what goes there: the module would
            // refuse each probe too, each with its message box.
            switch (sent.answers.back()) {
            case system::PeerAnswer::hostUnreachable:
                check_.cannotSend("host unreachable");
                break;
            case system::PeerAnswer::networkUnreachable:
                check_.cannotSend("network unreachable");
                break;
            default:
                check_.cannotSend("the system refuses to send there; a firewall of this PC?");
                break;
            }
            return check_.takeNotes();
        }
        probe = check_.nextProbe(now);
        notes = check_.takeNotes();
    }
    link_.send(link_.prepare(probe));
    return notes;
}

bool LinkCheckSession::take(const ReceivedLine &line, CheckClock::time_point now) {
    system::ScopedLock lock(lock_);
    return line.arrived && check_.takeLine(line.shown, now);
}

bool LinkCheckSession::finished(CheckClock::time_point now) {
    system::ScopedLock lock(lock_);
    return check_.finished(now);
}

CheckClock::time_point LinkCheckSession::nextTickAt() {
    system::ScopedLock lock(lock_);
    return std::min(check_.nextProbeAt(), check_.endsAt());
}

LinkReport LinkCheckSession::report(CheckClock::time_point now) {
    system::ScopedLock lock(lock_);
    return check_.report(now);
}

} // namespace parlino::host
