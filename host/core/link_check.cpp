#include "host/core/link_check.h"

#include "host/core/chat_names.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace parlino::host {

// ---- Addresses ----

std::optional<std::uint32_t> readDottedIpv4(std::string_view text) {
    if (!isDottedIpv4(text))
        return std::nullopt;
    std::uint32_t address = 0, octet = 0;
    for (const char c : text) {
        if (c == '.') {
            address = address << 8 | octet;
            octet = 0;
        } else {
            octet = octet * 10 + static_cast<std::uint32_t>(c - '0');
        }
    }
    return address << 8 | octet;
}

std::string dottedIpv4(std::uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 0xFF) + "." +
           std::to_string(address >> 8 & 0xFF) + "." + std::to_string(address & 0xFF);
}

std::string endpointText(const Ipv4Endpoint &endpoint) {
    return dottedIpv4(endpoint.address) + ":" + std::to_string(endpoint.port);
}

bool isPrivateIpv4(std::uint32_t address) {
    return (address >> 24) == 10 || (address >> 20) == (172u << 4 | 1) || (address >> 16) == (192u << 8 | 168) ||
           (address >> 22) == (100u << 2 | 1);
}

bool isLoopbackIpv4(std::uint32_t address) { return (address >> 24) == 127; }

std::string localAddressText(const system::LocalIpv4 &local) {
    int bits = 0;
    for (std::uint32_t mask = local.netmask; mask & 0x80000000u; mask <<= 1)
        ++bits;
    return dottedIpv4(local.address) + "/" + std::to_string(bits);
}

bool sharesNetwork(const system::LocalIpv4 &local, std::uint32_t address) {
    return (local.address & local.netmask) == (address & local.netmask);
}

// ---- Probe lines ----

namespace {

constexpr std::string_view probeStart = "parlino check probe ";

// Reads a probe line from the front, one expected piece at a time; any
// piece that does not fit makes the whole line no probe.
class ProbeReader {
  public:
    explicit ProbeReader(std::string_view text) : rest_(text) {}

    bool literal(std::string_view piece) {
        if (rest_.substr(0, piece.size()) != piece)
            return false;
        rest_.remove_prefix(piece.size());
        return true;
    }

    // Decimal, no leading zero, at most `largest`.
    bool number(std::uint64_t &value, std::uint64_t largest) {
        std::size_t digits = 0;
        while (digits < rest_.size() && rest_[digits] >= '0' && rest_[digits] <= '9')
            ++digits;
        if (digits == 0 || digits > 10 || (digits > 1 && rest_[0] == '0'))
            return false;
        value = 0;
        for (std::size_t i = 0; i < digits; ++i)
            value = value * 10 + static_cast<std::uint64_t>(rest_[i] - '0');
        rest_.remove_prefix(digits);
        return value <= largest;
    }

    bool number32(std::uint32_t &value) {
        std::uint64_t read = 0;
        if (!number(read, 0xFFFFFFFFu))
            return false;
        value = static_cast<std::uint32_t>(read);
        return true;
    }

    // ADDRESS:PORT up to `end`.
    bool endpoint(Ipv4Endpoint &endpoint, char end) {
        const auto length = rest_.find(end);
        if (length == std::string_view::npos)
            return false;
        const auto peer = parsePeerAddress(rest_.substr(0, length));
        if (!peer)
            return false;
        endpoint = {*readDottedIpv4(peer->address), peer->port};
        rest_.remove_prefix(length);
        return true;
    }

    // 1 to 16 lower-case letters.
    bool word(std::string &text) {
        std::size_t letters = 0;
        while (letters < rest_.size() && rest_[letters] >= 'a' && rest_[letters] <= 'z')
            ++letters;
        if (letters == 0 || letters > 16)
            return false;
        text = rest_.substr(0, letters);
        rest_.remove_prefix(letters);
        return true;
    }

    // MS.FFF, in microseconds.
    bool milliseconds(std::uint64_t &microseconds) {
        std::uint64_t whole = 0, fraction = 0;
        if (!number(whole, 9999999) || !literal("."))
            return false;
        if (rest_.size() < 3)
            return false;
        for (int i = 0; i < 3; ++i) {
            if (rest_[i] < '0' || rest_[i] > '9')
                return false;
            fraction = fraction * 10 + static_cast<std::uint64_t>(rest_[i] - '0');
        }
        rest_.remove_prefix(3);
        microseconds = whole * 1000 + fraction;
        return true;
    }

    bool atEnd() const { return rest_.empty(); }

  private:
    std::string_view rest_;
};

} // namespace

std::string probeText(const Probe &probe) {
    std::string text = std::string(probeStart) + std::to_string(probe.number) + " from " + endpointText(probe.from) +
                       " (" + probe.platform + ") to " + endpointText(probe.to) + ", heard " +
                       std::to_string(probe.heard);
    if (probe.heard == 0)
        return text;
    char held[32];
    std::snprintf(held, sizeof held, "%llu.%03llu", static_cast<unsigned long long>(probe.heldMicroseconds / 1000),
                  static_cast<unsigned long long>(probe.heldMicroseconds % 1000));
    return text + " of " + std::to_string(probe.heardOf) + ", newest " + std::to_string(probe.newest) + " held " +
           held + " ms";
}

std::optional<Probe> parseProbe(std::string_view line) {
    Probe probe;
    ProbeReader reader(line);
    if (!reader.literal(probeStart) || !reader.number32(probe.number) || probe.number == 0 ||
        !reader.literal(" from ") || !reader.endpoint(probe.from, ' ') || !reader.literal(" (") ||
        !reader.word(probe.platform) || !reader.literal(") to ") || !reader.endpoint(probe.to, ',') ||
        !reader.literal(", heard ") || !reader.number32(probe.heard))
        return std::nullopt;
    if (probe.heard == 0)
        return reader.atEnd() ? std::optional<Probe>(probe) : std::nullopt;
    if (!reader.literal(" of ") || !reader.number32(probe.heardOf) || probe.heardOf < probe.heard ||
        !reader.literal(", newest ") || !reader.number32(probe.newest) || probe.newest == 0 ||
        !reader.literal(" held ") || !reader.milliseconds(probe.heldMicroseconds) || !reader.literal(" ms") ||
        !reader.atEnd())
        return std::nullopt;
    return probe;
}

// ---- The check ----

namespace {

// Stop counting the peer's probes beyond this many: a stranger who sends
// probe lines with ever new numbers must not fill the memory.
constexpr std::size_t mostProbesKept = 20000;

double milliseconds(CheckClock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

std::string millisecondsText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, value < 1 ? "%.2f" : value < 100 ? "%.1f" : "%.0f", value);
    return text;
}

std::string secondsText(CheckClock::duration duration) {
    const auto tenths = std::chrono::duration_cast<std::chrono::milliseconds>(duration).count() / 100;
    return std::to_string(tenths / 10) + (tenths % 10 == 0 ? "" : "." + std::to_string(tenths % 10)) + " s";
}

std::string times(std::uint32_t count) { return count == 1 ? "once" : std::to_string(count) + " times"; }

std::string lostText(std::uint64_t lost) { return lost == 0 ? "none lost" : std::to_string(lost) + " lost"; }

} // namespace

std::string firewallCommand(const std::string &platform, std::uint16_t port) {
    const auto number = std::to_string(port);
    const std::string windows = "netsh advfirewall firewall add rule name=\"Parlino chat\" dir=in action=allow "
                                "protocol=UDP localport=" + number + " profile=private (in a Command Prompt run as "
                                "administrator; the network's profile must be Private)";
    const std::string linux = "sudo ufw allow " + number + "/udp (with nftables alone: sudo nft insert rule inet "
                              "filter input udp dport " + number + " accept)";
    if (platform == "windows")
        return windows;
    if (platform == "linux")
        return linux;
    return "on Windows " + windows + "; on Linux " + linux;
}

LinkCheck::LinkCheck(LinkCheckSettings settings, CheckClock::time_point start)
    : settings_(std::move(settings)), start_(start), nextProbeAt_(start) {}

std::string LinkCheck::nextProbe(CheckClock::time_point now) {
    sentAt_.push_back(now);
    // The schedule stays even; after a stall (a message box, a busy
    // machine) it starts again from now rather than catching up in a burst.
    nextProbeAt_ += probeInterval;
    if (nextProbeAt_ <= now)
        nextProbeAt_ = now + probeInterval;
    if (lastRefusalAt_ && !firstHeardAt_ && !releasedAt_ && now - *lastRefusalAt_ >= portHeldAfter &&
        now - *lastRefusalAt_ < portHeldAfter + probeInterval)
        note("a program now holds port " + std::to_string(settings_.peer.port) + " at " +
             dottedIpv4(settings_.peer.address));

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

LinkReport LinkCheck::report(CheckClock::time_point now) const {
    LinkReport report;
    report.tallies = tallies_;
    const auto &t = tallies_;
    const auto &s = settings_;
    const auto peerAddress = dottedIpv4(s.peer.address);
    const auto peerPort = std::to_string(s.peer.port);
    const auto selfPort = std::to_string(s.self.port);
    const auto peerText = endpointText(s.peer);
    // Where the other side sends: this machine's address toward it.
    const auto selfText = endpointText(s.self);
    const auto checkThere = "parlino check --port " + peerPort + " --peer " + selfText;

    std::vector<system::LocalIpv4> sharing, others;
    for (const auto &local : s.localAddresses) {
        if (sharesNetwork(local, s.peer.address))
            sharing.push_back(local);
        else if (!isLoopbackIpv4(local.address))
            others.push_back(local);
    }
    const auto addressList = [](const std::vector<system::LocalIpv4> &list) {
        std::string text;
        for (const auto &local : list)
            text += (text.empty() ? "" : ", ") + localAddressText(local);
        return text;
    };
    const bool heldNow = lastRefusalAt_ && now - *lastRefusalAt_ >= portHeldAfter;

    // ---- What it saw ----
    auto &seen = report.seen;
    if (!cannotSendReason_.empty() && t.sent == 0)
        seen.push_back("sent: nothing: this PC cannot send to " + peerText + " (" + cannotSendReason_ + ")");
    else if (!cannotSendReason_.empty())
        seen.push_back("sent: " + std::to_string(t.sent) + (t.sent == 1 ? " probe" : " probes") + " to " + peerText +
                       ", then this PC could no longer send there (" + cannotSendReason_ + ")");
    else
        seen.push_back("sent: " + std::to_string(t.sent) + (t.sent == 1 ? " probe" : " probes") + " to " + peerText +
                       " from " + selfText);
    if (t.peerLatest) {
        const auto &latest = *t.peerLatest;
        if (latest.heard == 0)
            seen.push_back("the peer heard: none of them (its probe " + std::to_string(latest.number) + " says so)");
        else
            seen.push_back("the peer heard: " + std::to_string(latest.heard) + " of the " +
                           std::to_string(latest.heardOf) + " it could have (" +
                           lostText(latest.heardOf - latest.heard) + ")");
        seen.push_back("heard: " + std::to_string(t.heard) + (t.heard == 1 ? " probe" : " probes") + " from " +
                       endpointText(latest.from) + " (" + latest.platform + "), sent to " + endpointText(latest.to) +
                       " (" + lostText(t.heardOf - t.heard) + ")");
    } else {
        seen.push_back("heard: no probe from " + peerText);
    }
    if (t.ownProbesBack > 0)
        seen.push_back("own probes back: " + std::to_string(t.ownProbesBack));
    if (t.otherLines > 0)
        seen.push_back("other lines: " + std::to_string(t.otherLines) + " that " +
                       (t.otherLines == 1 ? "is no probe" : "are no probes"));
    std::vector<double> trips = t.roundTripsMs;
    std::sort(trips.begin(), trips.end());
    double median = 0;
    if (!trips.empty()) {
        const auto middle = trips.size() / 2;
        median = trips.size() % 2 == 1 ? trips[middle] : (trips[middle - 1] + trips[middle]) / 2;
        seen.push_back("round trip: min " + millisecondsText(trips.front()) + " ms, median " +
                       millisecondsText(median) + " ms, max " + millisecondsText(trips.back()) + " ms (" +
                       std::to_string(trips.size()) + " measured)");
    }
    std::string network;
    const auto said = [&](std::uint32_t count, const std::string &what) {
        if (count > 0)
            network += (network.empty() ? "" : ", ") + what + " " + times(count);
    };
    said(t.portUnreachable, "\"port unreachable\"");
    said(t.hostUnreachable, "\"host unreachable\"");
    said(t.networkUnreachable, "\"network unreachable\"");
    said(t.otherErrors, "other errors");
    if (!network.empty()) {
        if (longestHeld_ >= portHeldAfter)
            network += "; the port was held for " + secondsText(longestHeld_) + " in between";
        seen.push_back("network: " + network);
    }
    if (s.localAddresses.empty())
        seen.push_back("this PC: its addresses are unknown");
    else if (!sharing.empty())
        seen.push_back("this PC: " + addressList(sharing) + " shares a network with " + peerAddress);
    else
        seen.push_back("this PC: none of its addresses (" + (others.empty() ? std::string("loopback only") : addressList(others)) +
                       ") shares a network with " + peerAddress);
    if (const auto myIp = readDottedIpv4(s.myIpAddress);
        myIp && s.self.address != 0 && *myIp != s.self.address && !isLoopbackIpv4(s.self.address))
        seen.push_back("my-IP: gives " + s.myIpAddress + ", but lines to the peer leave from " +
                       dottedIpv4(s.self.address) + ": the other side sends to " + dottedIpv4(s.self.address));
    if (t.peerLatest) {
        const auto &to = t.peerLatest->to;
        const bool mine = std::any_of(s.localAddresses.begin(), s.localAddresses.end(),
                                      [&](const system::LocalIpv4 &local) { return local.address == to.address; });
        if ((!mine && !s.localAddresses.empty() && !isLoopbackIpv4(to.address)) || to.port != s.self.port)
            seen.push_back("forwarded: the peer sends to " + endpointText(to) +
                           ", not to this PC's own address and port: a router forwards it here");
    }

    // ---- The verdict ----
    const auto firewallHere = "this PC's firewall blocks UDP to port " + selfPort + "; allow it: " +
                              firewallCommand(s.platform, s.self.port) + ".";
    const auto networks = [&]() -> std::string {
        if (!sharing.empty())
            return "this PC's " + addressList(sharing) + " shares a network with it: check the address (my-IP there "
                   "shows it).";
        return "none of this PC's addresses (" + (others.empty() ? std::string("loopback only") : addressList(others)) +
               ") shares a network with it: the two machines are on different networks; put them on one, or join "
               "both to one VPN.";
    };
    std::string &text = report.verdictText;
    if (t.ownProbesBack > 0 && t.heard == 0) {
        report.verdict = LinkVerdict::ownPort;
        text = "--peer " + peerText + " is this check's own port: its probes come back to itself. Give the other "
               "side's address and port.";
    } else if (!cannotSendReason_.empty()) {
        report.verdict = LinkVerdict::cannotSend;
        text = "This PC cannot send to " + peerText + " (" + cannotSendReason_ + "): " + networks();
    } else if (t.heard > 0) {
        const auto &latest = *t.peerLatest;
        const auto &from = latest.from;
        // A loopback or unknown address says nothing about where the peer is.
        const bool fromTells = from.address != 0 && (!isLoopbackIpv4(from.address) || isLoopbackIpv4(s.peer.address));
        const bool otherAddress = fromTells && from.address != s.peer.address;
        if (latest.heard > 0) {
            report.verdict = LinkVerdict::bothWays;
            const auto lost = std::uint64_t{latest.heardOf - latest.heard} + (t.heardOf - t.heard);
            const auto all = std::uint64_t{latest.heardOf} + t.heardOf;
            text = "Lines cross both ways" + (trips.empty() ? std::string() : ": " + millisecondsText(median) +
                                                                                  " ms round trip") +
                   ", " + (lost == 0 ? std::string("none lost.") : std::to_string(lost) + " of " +
                                                                       std::to_string(all) + " lost.");
            if (otherAddress && isPrivateIpv4(from.address) && !isPrivateIpv4(s.peer.address))
                seen.push_back("translated: the peer's own address is " + dottedIpv4(from.address) +
                               ": a router translates addresses between the two");
            else if (otherAddress)
                seen.push_back("the peer's own address: " + dottedIpv4(from.address) + ", reached as " +
                               peerAddress);
        } else if (otherAddress && isPrivateIpv4(from.address) && !isPrivateIpv4(s.peer.address)) {
            report.verdict = LinkVerdict::addressTranslated;
            text = "Lines come from " + endpointText(from) + ", a private address behind a router that translates "
                   "addresses, and nothing this PC sends to " + peerText + " reaches it: that router must forward "
                   "UDP port " + std::to_string(from.port) + " to " + dottedIpv4(from.address) +
                   ", or join both machines to one VPN.";
        } else if (otherAddress || from.port != s.peer.port) {
            report.verdict = LinkVerdict::wrongPeer;
            const Ipv4Endpoint meant{otherAddress ? from.address : s.peer.address, from.port};
            text = "Lines come from " + endpointText(meant) + ", not " + peerText + ": is that the peer? Then give "
                   "--peer " + endpointText(meant) + "; nothing this PC sends to " + peerText + " reaches a check.";
        } else {
            report.verdict = LinkVerdict::peerHearsNothing;
            text = "The peer hears nothing from this PC while its lines arrive here: the firewall at " + peerAddress +
                   " blocks UDP to its port " + peerPort + ". Allow it there: " +
                   firewallCommand(latest.platform, s.peer.port) + ".";
        }
    } else if (t.otherLines > 0) {
        report.verdict = LinkVerdict::notACheck;
        text = "Lines arrive, but none is a probe: a chat or a publication, not a check, holds port " + peerPort +
               " at " + peerAddress + ", or another program sends here. Run the check there too: " + checkThere + ".";
    } else if (t.portUnreachable > 0 && longestHeld_ < portHeldAfter && !heldNow) {
        report.verdict = LinkVerdict::noProgram;
        text = "No program holds port " + peerPort + " at " + peerAddress + ": its machine answers \"port "
               "unreachable\". Start the check there (" + checkThere + "), or give the port it uses.";
    } else if (t.portUnreachable == 0 && (t.hostUnreachable > 0 || t.networkUnreachable > 0 || sharing.empty())) {
        report.verdict = LinkVerdict::nothingAnswers;
        text = "Nothing answers at " + peerAddress +
               (t.hostUnreachable + t.networkUnreachable > 0 ? " (this PC's network says it is unreachable)" : "") +
               ": no machine has that address, or a firewall on the way drops everything; " + networks();
    } else {
        report.verdict = LinkVerdict::thisSideHearsNothing;
        const auto whyHeld = heldNow ? std::string(", though a program now holds that port")
                             : longestHeld_ >= portHeldAfter
                                 ? ", though a program held that port for " + secondsText(longestHeld_)
                                 : std::string(", and its machine does not say the port is closed");
        text = "Nothing arrives here from " + peerText + whyHeld + ": " + firewallHere +
               " Else the check there sends elsewhere (its --peer must be " + selfText +
               "), or, if it is not running, its firewall drops what this PC sends.";
    }
    return report;
}

} // namespace parlino::host
