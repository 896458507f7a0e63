// The link check: two checks, one on each machine, send each other numbered
// probe lines through the module for a few seconds, each telling how many
// of the other's it has heard, and each then judges the link from what it
// saw: both ways, one way (and which side's firewall), the wrong address,
// no program on the peer's port, nothing at all.
//
// Everything here is pure: times come in as arguments and nothing is sent.
// LinkCheckSession (link_check_session.h) drives it through a ChatLink; a
// front end shows its notes, its report and its verdict. The probes are
// counted in link_check.cpp; what the check saw and its verdict are put in
// words in link_check_report.cpp.
#pragma once

#include "host/core/ipv4_endpoint.h"
#include "host/core/probe_line.h"
#include "host/core/system.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace parlino::host {

using CheckClock = std::chrono::steady_clock;

// What a check concludes, in the order it looks for them.
enum class LinkVerdict {
    bothWays,             // probes crossed in both directions
    peerHearsNothing,     // the peer's probes arrive, ours do not reach it: its firewall
    wrongPeer,            // the peer's probes come from another address or port than --peer
    addressTranslated,    // they come from a private address behind a router that translates addresses
    thisSideHearsNothing, // nothing arrives though the peer's port is held, or nothing says otherwise: our firewall
    noProgram,            // the peer's machine says no program holds its port
    nothingAnswers,       // no machine answers at the address, or the networks differ
    cannotSend,           // this machine cannot send to the address at all
    ownPort,              // --peer is this check's own port
    notACheck,            // lines arrive, but none is a probe
};

struct LinkCheckSettings {
    Ipv4Endpoint self;       // this machine's address toward the peer, and the check's port
    std::string myIpAddress; // what the module's my-IP gave
    Ipv4Endpoint peer;       // --peer
    std::string peerName;    // the host name --peer gave, when it gave one
    std::string platform;    // "linux" or "windows": this machine's firewall
    std::vector<system::LocalIpv4> localAddresses;
    CheckClock::duration exchange = std::chrono::seconds(5); // how long probes cross once the peer's check answers
    CheckClock::duration wait = std::chrono::seconds(60);    // how long to wait for it to answer
};

struct LinkTallies {
    std::uint32_t sent = 0;
    std::uint32_t heard = 0;   // the peer's probes heard, each once
    std::uint32_t heardOf = 0; // sent by the peer from the first heard to the newest heard
    std::optional<Probe> peerLatest; // the peer's newest probe heard, with its report of ours
    std::uint32_t ownProbesBack = 0; // our own probes that came back
    std::uint32_t otherLines = 0;    // lines that are no probe
    std::vector<double> roundTripsMs; // in the order measured
    std::uint32_t portUnreachable = 0, hostUnreachable = 0, networkUnreachable = 0, otherErrors = 0;
};

struct LinkReport {
    LinkVerdict verdict = LinkVerdict::nothingAnswers;
    LinkTallies tallies;
    std::vector<std::string> seen; // what the check saw, a line each
    std::string verdictText;       // the last line: the side, the cause and the one thing to do
    int exitCode() const { return verdict == LinkVerdict::bothWays ? 0 : 1; }
};

class LinkCheck {
  public:
    static constexpr CheckClock::duration probeInterval = std::chrono::milliseconds(250);
    // A machine that is not there shows on its own network only after its
    // address resolution gives up, about 3 s after the first datagram: the
    // check waits at least this long before it judges silence.
    static constexpr CheckClock::duration shortestWait = std::chrono::seconds(5);
    // So long with no "port unreachable" while datagrams go there every
    // probeInterval means that a program holds the port: replies come at
    // least once a second even where the peer limits them.
    static constexpr CheckClock::duration portHeldAfter = std::chrono::seconds(2);

    LinkCheck(LinkCheckSettings settings, CheckClock::time_point start);

    const LinkCheckSettings &settings() const { return settings_; }

    // When the next probe is due.
    CheckClock::time_point nextProbeAt() const { return nextProbeAt_; }
    // The probe to send now, counted as sent at `now`.
    std::string nextProbe(CheckClock::time_point now);

    // A line the module received at `now`, as the chat shows it: true when
    // it was a probe (of the peer, or our own come back), which a chat then
    // does not show.
    bool takeLine(std::string_view line, CheckClock::time_point now);
    // What the network said of the check's datagrams to the peer.
    void takeAnswer(system::PeerAnswer answer, CheckClock::time_point now);
    // This machine cannot send to the peer at all (`reason` from the system):
    // the check ends at once.
    void cannotSend(std::string reason);
    bool sendingImpossible() const { return !cannotSendReason_.empty(); }

    // Progress to show a person since the last call: the peer's check
    // answers, its machine says its port is closed, and the like.
    std::vector<std::string> takeNotes();

    CheckClock::time_point endsAt() const;
    bool finished(CheckClock::time_point now) const { return now >= endsAt(); }

    LinkReport report(CheckClock::time_point now) const;

  private:
    void note(std::string text) { notes_.push_back(std::move(text)); }

    LinkCheckSettings settings_;
    CheckClock::time_point start_;
    CheckClock::time_point nextProbeAt_;
    std::vector<CheckClock::time_point> sentAt_; // of probe n at [n - 1]
    std::set<std::uint32_t> heardNumbers_;
    std::uint32_t firstHeardNumber_ = 0, newestHeardNumber_ = 0;
    std::optional<CheckClock::time_point> firstHeardAt_;
    CheckClock::time_point newestHeardAt_{};
    std::uint32_t lastTimedProbe_ = 0; // the newest of ours whose round trip was measured
    LinkTallies tallies_;
    std::optional<CheckClock::time_point> lastRefusalAt_;
    CheckClock::duration longestHeld_{}; // the longest time the peer's port was held between refusals
    std::optional<CheckClock::time_point> releasedAt_; // the port was held, then refused again
    bool heldNoted_ = false; // "a program now holds port" has been said
    std::optional<CheckClock::time_point> ownProbeBackAt_;
    std::string cannotSendReason_;
    std::vector<std::string> notes_;
};

// The command that lets UDP to `port` through the firewall of `platform`
// ("windows", "linux"; anything else gives both).
std::string firewallCommand(const std::string &platform, std::uint16_t port);
// The command that runs the check on the peer's machine, toward this one.
std::string checkCommandThere(const LinkCheckSettings &settings);
// A time as the check tells it: "2 s", "2.5 s".
std::string secondsText(CheckClock::duration duration);

} // namespace parlino::host
