#include "host/core/link_check.h"

#include <algorithm>
#include <utility>

namespace parlino::host {
namespace {

// Stop counting the peer's probes beyond this many: a stranger who sends
// probe lines with ever new numbers must not fill the memory.
constexpr std::size_t mostProbesKept = 20000;

double milliseconds(CheckClock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

} // namespace

LinkCheck::LinkCheck(LinkCheckSettings settings, CheckClock::time_point start)
    : settings_(std::move(settings)), start_(start), nextProbeAt_(start) {}

std::string LinkCheck::nextProbe(CheckClock::time_point now) {
    sentAt_.push_back(now);
    // The schedule stays even; after a stall (a message box, a busy
    // machine) it starts again from now rather than catching up in a burst.
    nextProbeAt_ += probeInterval;
    if (nextProbeAt_ <= now)
        nextProbeAt_ = now + probeInterval;
    // Said once: a late probe and the next one may both fall in the
    // quarter second after the port has been quiet long enough.
    if (lastRefusalAt_ && !firstHeardAt_ && !releasedAt_ && !heldNoted_ &&
        now - *lastRefusalAt_ >= portHeldAfter && now - *lastRefusalAt_ < portHeldAfter + probeInterval) {
        heldNoted_ = true;
        note("a program now holds port " + std::to_string(settings_.peer.port) + " at " +
             dottedIpv4(settings_.peer.address));
    }

    Probe probe;
    probe.number = static_cast<std::uint32_t>(sentAt_.size());
    probe.from = settings_.self;
    probe.platform = settings_.platform;
    probe.to = settings_.peer;
    probe.heard = tallies_.heard;
    if (tallies_.heard > 0) {
        probe.heardOf = tallies_.heardOf;
        probe.newest = newestHeardNumber_;
        probe.heldMicroseconds = static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(now - newestHeardAt_).count());
    }
    tallies_.sent = probe.number;
    return probeText(probe);
}

bool LinkCheck::takeLine(std::string_view line, CheckClock::time_point now) {
    const auto probe = parseProbe(line);
    if (!probe) {
        ++tallies_.otherLines;
        return false;
    }
    if (probe->from == settings_.self && probe->to == settings_.peer) {
        ++tallies_.ownProbesBack;
        if (!ownProbeBackAt_)
            ownProbeBackAt_ = now;
        return true;
    }
    if (heardNumbers_.size() >= mostProbesKept && !heardNumbers_.contains(probe->number))
        return true;
    if (heardNumbers_.insert(probe->number).second) {
        ++tallies_.heard;
        if (!firstHeardAt_) {
            firstHeardAt_ = now;
            firstHeardNumber_ = probe->number;
            note("a check answers from " + endpointText(probe->from) + "; probes cross for " +
                 secondsText(settings_.exchange));
        }
        firstHeardNumber_ = std::min(firstHeardNumber_, probe->number);
        if (probe->number > newestHeardNumber_) {
            newestHeardNumber_ = probe->number;
            newestHeardAt_ = now;
        }
        tallies_.heardOf = newestHeardNumber_ - firstHeardNumber_ + 1;
    }
    if (!tallies_.peerLatest || probe->number >= tallies_.peerLatest->number)
        tallies_.peerLatest = *probe;
    // The round trip of our probe that the peer names as the newest it
    // heard: from sending it to hearing this, less the time the peer held it.
    if (probe->newest > lastTimedProbe_ && probe->newest <= sentAt_.size()) {
        lastTimedProbe_ = probe->newest;
        const auto trip = now - sentAt_[probe->newest - 1] - std::chrono::microseconds(probe->heldMicroseconds);
        if (trip >= CheckClock::duration::zero())
            tallies_.roundTripsMs.push_back(milliseconds(trip));
    }
    return true;
}

void LinkCheck::takeAnswer(system::PeerAnswer answer, CheckClock::time_point now) {
    const auto peer = dottedIpv4(settings_.peer.address);
    switch (answer) {
    case system::PeerAnswer::portUnreachable: {
        ++tallies_.portUnreachable;
        const auto quietSince = lastRefusalAt_ ? *lastRefusalAt_ : sentAt_.empty() ? start_ : sentAt_.front();
        const auto quiet = now - quietSince;
        if (quiet >= portHeldAfter) {
            // Something held the port, and has let it go: when nothing of
            // it arrived here, waiting longer tells nothing more.
            longestHeld_ = std::max(longestHeld_, quiet);
            if (!firstHeardAt_ && !releasedAt_) {
                releasedAt_ = now;
                note("port " + std::to_string(settings_.peer.port) + " at " + peer + " was held for " +
                     secondsText(quiet) + " and is closed again");
            }
        } else if (!lastRefusalAt_ && !firstHeardAt_) {
            note(peer + " answers that no program holds port " + std::to_string(settings_.peer.port) +
                 ": waiting for the check there to start");
        }
        lastRefusalAt_ = now;
        break;
    }
    case system::PeerAnswer::hostUnreachable:
        if (tallies_.hostUnreachable++ == 0 && !firstHeardAt_)
            note("this PC's network says " + peer + " is unreachable");
        break;
    case system::PeerAnswer::networkUnreachable:
        if (tallies_.networkUnreachable++ == 0 && !firstHeardAt_)
            note("this PC's network says the network of " + peer + " is unreachable");
        break;
    case system::PeerAnswer::otherError:
        ++tallies_.otherErrors;
        break;
    }
}

void LinkCheck::cannotSend(std::string reason) {
    cannotSendReason_ = reason.empty() ? "the system refuses" : std::move(reason);
}

std::vector<std::string> LinkCheck::takeNotes() { return std::exchange(notes_, {}); }

CheckClock::time_point LinkCheck::endsAt() const {
    if (!cannotSendReason_.empty())
        return start_;
    if (firstHeardAt_)
        return *firstHeardAt_ + settings_.exchange;
    // Talking to itself: nothing else can arrive on that port.
    if (ownProbeBackAt_)
        return *ownProbeBackAt_;
    if (releasedAt_)
        return *releasedAt_;
    return start_ + std::max({settings_.wait, settings_.exchange, shortestWait});
}

} // namespace parlino::host
