// What a check saw, and its verdict: the side, the cause and the one thing
// to do, in words an author understands.
#include "host/core/link_check.h"

#include <algorithm>
#include <cstdio>

namespace parlino::host {
namespace {

std::string millisecondsText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, value < 1 ? "%.2f" : value < 100 ? "%.1f" : "%.0f", value);
    return text;
}

std::string times(std::uint32_t count) { return count == 1 ? "once" : std::to_string(count) + " times"; }

std::string lostText(std::uint64_t lost) { return lost == 0 ? "none lost" : std::to_string(lost) + " lost"; }

} // namespace

std::string secondsText(CheckClock::duration duration) {
    const auto tenths = std::chrono::duration_cast<std::chrono::milliseconds>(duration).count() / 100;
    return std::to_string(tenths / 10) + (tenths % 10 == 0 ? "" : "." + std::to_string(tenths % 10)) + " s";
}

std::string checkCommandThere(const LinkCheckSettings &settings) {
    return "parlino check --port " + std::to_string(settings.peer.port) + " --peer " + endpointText(settings.self);
}

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
    const auto checkThere = checkCommandThere(s);

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
