// The link check's logic on a made-up timeline: its probe lines, when it
// ends, what it counts, and the verdict each cause gets, with the address,
// port and command a person then needs. The namespaces test makes the
// causes for real; the socket of the check's own is tested over loopback.
#include "host/core/link_check.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>

namespace parlino::host {
namespace {

using namespace std::chrono_literals;
using system::PeerAnswer;
using testing::AllOf;
using testing::HasSubstr;

Ipv4Endpoint endpoint(std::string_view text) {
    const auto colon = text.rfind(':');
    return {*readDottedIpv4(text.substr(0, colon)),
            static_cast<std::uint16_t>(std::stoi(std::string(text.substr(colon + 1))))};
}

system::LocalIpv4 local(std::string_view address, std::string_view netmask) {
    return {*readDottedIpv4(address), *readDottedIpv4(netmask)};
}

TEST(LinkCheckProbe, TextAndBack) {
    const std::pair<Probe, std::string_view> cases[] = {
        {{1, endpoint("198.18.0.1:40001"), "linux", endpoint("198.18.0.2:40002"), 0, 0, 0, 0},
         "parlino check probe 1 from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 0"},
        {{7, endpoint("10.0.0.5:1"), "windows", endpoint("203.0.113.9:65535"), 6, 6, 12, 120403},
         "parlino check probe 7 from 10.0.0.5:1 (windows) to 203.0.113.9:65535, heard 6 of 6, newest 12 held "
         "120.403 ms"},
        {{4294967295u, endpoint("255.255.255.255:9"), "other", endpoint("0.0.0.0:80"), 1, 4294967295u, 4294967295u, 7},
         "parlino check probe 4294967295 from 255.255.255.255:9 (other) to 0.0.0.0:80, heard 1 of 4294967295, "
         "newest 4294967295 held 0.007 ms"},
    };
    for (const auto &[probe, text] : cases) {
        EXPECT_EQ(probeText(probe), text);
        EXPECT_EQ(parseProbe(text), probe) << text;
    }
}

TEST(LinkCheckProbe, AnyOtherLineIsNoProbe) {
    const std::string_view good = "parlino check probe 7 from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 6 "
                                  "of 6, newest 12 held 0.403 ms";
    ASSERT_TRUE(parseProbe(good));
    const std::string_view lines[] = {
        "",
        "hello",
        "parlino check probe 0 from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 0",
        "parlino check probe 07 from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 0",
        "parlino check probe 4294967296 from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 0",
        "parlino check probe 1 from 198.18.0.1:0 (linux) to 198.18.0.2:40002, heard 0",
        "parlino check probe 1 from 198.18.0.1:65536 (linux) to 198.18.0.2:40002, heard 0",
        "parlino check probe 1 from 198.18.1:40001 (linux) to 198.18.0.2:40002, heard 0",
        "parlino check probe 1 from 198.18.0.256:40001 (linux) to 198.18.0.2:40002, heard 0",
        "parlino check probe 1 from 198.18.0.1:40001 (Linux) to 198.18.0.2:40002, heard 0",
        "parlino check probe 1 from 198.18.0.1:40001 () to 198.18.0.2:40002, heard 0",
        "parlino check probe 1 from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 0 ",
        "parlino check probe 1 from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 0 of 0",
        "parlino check probe 1 from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 1",
        "parlino check probe 1  from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 0",
        "Parlino check probe 1 from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 0",
        "parlino check probe 7 from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 7 of 6, newest 12 held 0.403 ms",
        "parlino check probe 7 from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 6 of 6, newest 0 held 0.403 ms",
        "parlino check probe 7 from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 6 of 6, newest 12 held 0.43 ms",
        "parlino check probe 7 from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 6 of 6, newest 12 held .403 ms",
        "parlino check probe 7 from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 6 of 6, newest 12 held 0.403",
        "parlino check probe 7 from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 6 of 6, newest 12 held 0.403 ms!",
        "parlino check probe 7 from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 6 of 6, newest 12",
    };
    for (const auto line : lines)
        EXPECT_FALSE(parseProbe(line)) << line;
}

// ---- A made-up link ----

// What the peer does, each probeInterval, 10 ms after our probe goes.
struct Peer {
    bool answers = true;   // its probes arrive here
    bool hearsUs = true;   // and say that ours arrive there
    std::string from = "198.18.0.2:40002";
    std::string platform = "linux";
    std::uint32_t firstNumber = 1;   // a check that started earlier
    std::uint32_t lostNumber = 0;    // one of its probes that is lost on the way
    std::uint32_t weLostNumber = 0;  // one of ours that it does not hear
    bool duplicated = false;         // each of its probes arrives twice
};

struct Scenario {
    const char *name;
    Peer peer;
    std::vector<std::pair<int, PeerAnswer>> answers = {}; // at ms
    std::function<void(LinkCheckSettings &)> adjust = nullptr;
    int otherLines = 0;
    bool ownProbesComeBack = false;
    const char *cannotSend = nullptr;
};

LinkCheckSettings baseSettings() {
    LinkCheckSettings settings;
    settings.self = endpoint("198.18.0.1:40001");
    settings.myIpAddress = "198.18.0.1";
    settings.peer = endpoint("198.18.0.2:40002");
    settings.platform = "linux";
    settings.localAddresses = {local("127.0.0.1", "255.0.0.0"), local("198.18.0.1", "255.255.255.0")};
    settings.exchange = 3s;
    settings.wait = 0s;
    return settings;
}

// Plays the scenario to the check's end; the report then, and the last
// probe the check sent.
LinkReport play(const Scenario &scenario, CheckClock::time_point *endedAt = nullptr, Probe *lastSent = nullptr) {
    auto settings = baseSettings();
    if (scenario.adjust)
        scenario.adjust(settings);
    const CheckClock::time_point start{};
    LinkCheck check(settings, start);
    if (scenario.cannotSend != nullptr)
        check.cannotSend(scenario.cannotSend);
    std::uint32_t peerNumber = scenario.peer.firstNumber, heardOfOurs = 0, newestOfOurs = 0;
    auto answers = scenario.answers;
    int others = scenario.otherLines;
    auto now = start;
    while (!check.finished(now)) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count();
        for (auto answer = answers.begin(); answer != answers.end();)
            if (answer->first <= ms) {
                check.takeAnswer(answer->second, now);
                answer = answers.erase(answer);
            } else {
                ++answer;
            }
        const auto ours = check.nextProbe(now);
        const auto number = parseProbe(ours)->number;
        if (lastSent != nullptr)
            *lastSent = *parseProbe(ours);
        if (scenario.ownProbesComeBack)
            check.takeLine(ours, now + 1ms);
        if (scenario.peer.hearsUs && number != scenario.peer.weLostNumber) {
            ++heardOfOurs;
            newestOfOurs = number;
        }
        if (others-- > 0)
            check.takeLine("hello", now + 5ms);
        if (scenario.peer.answers) {
            Probe theirs;
            theirs.number = peerNumber++;
            theirs.from = endpoint(scenario.peer.from);
            theirs.platform = scenario.peer.platform;
            theirs.to = settings.self;
            theirs.heard = heardOfOurs;
            if (heardOfOurs > 0) {
                theirs.heardOf = newestOfOurs;
                theirs.newest = newestOfOurs;
                theirs.heldMicroseconds = 4000; // heard ours 4 ms after it left, sends 10 ms after it left
            }
            if (theirs.number != scenario.peer.lostNumber) {
                for (int copy = 0; copy < (scenario.peer.duplicated ? 2 : 1); ++copy)
                    EXPECT_TRUE(check.takeLine(probeText(theirs), now + 12ms)); // 2 ms on the way back
            }
        }
        now = std::min(check.nextProbeAt(), check.endsAt());
    }
    if (endedAt != nullptr)
        *endedAt = now;
    return check.report(now);
}

struct VerdictCase {
    Scenario scenario;
    LinkVerdict verdict;
    std::vector<std::string> named; // what the verdict line must name
};

TEST(LinkCheckVerdict, EachCauseNamesTheSideTheAddressAndWhatToDo) {
    const Peer silent{.answers = false, .hearsUs = false};
    const VerdictCase cases[] = {
        {{"clear"}, LinkVerdict::bothWays, {"8.0 ms round trip", "none lost"}},
        {{"clear, one lost each way", {.lostNumber = 3, .weLostNumber = 5}},
         LinkVerdict::bothWays,
         {"2 of 26 lost"}},
        {{"clear, each of its lines arriving twice", {.duplicated = true}}, LinkVerdict::bothWays, {"none lost"}},
        {{"their firewall", {.hearsUs = false}}, LinkVerdict::peerHearsNothing, {"at 198.18.0.2", "port 40002", "ufw allow 40002/udp"}},
        {{"their Windows firewall", {.hearsUs = false, .platform = "windows"}},
         LinkVerdict::peerHearsNothing,
         {"at 198.18.0.2", "localport=40002", "profile=private", "netsh advfirewall firewall add rule"}},
        {{"a wrong address here", {.hearsUs = false},
          {}, [](LinkCheckSettings &s) { s.peer = endpoint("198.18.0.22:40002"); }},
         LinkVerdict::wrongPeer,
         {"come from 198.18.0.2:40002, not 198.18.0.22:40002", "--peer 198.18.0.2:40002"}},
        {{"a wrong port here", {.hearsUs = false, .from = "198.18.0.2:40003"}},
         LinkVerdict::wrongPeer,
         {"198.18.0.2:40003", "--peer 198.18.0.2:40003"}},
        {{"a router translating addresses", {.hearsUs = false, .from = "192.168.1.21:40002"},
          {}, [](LinkCheckSettings &s) { s.peer = endpoint("203.0.113.5:40002"); }},
         LinkVerdict::addressTranslated,
         {"192.168.1.21:40002", "203.0.113.5:40002", "forward UDP port 40002 to 192.168.1.21"}},
        {{"a router translating addresses and ports", {.hearsUs = false, .from = "10.0.0.7:50123"},
          {}, [](LinkCheckSettings &s) { s.peer = endpoint("203.0.113.5:40002"); }},
         LinkVerdict::addressTranslated,
         {"10.0.0.7:50123", "forward UDP port 50123 to 10.0.0.7"}},
        {{"another public address, not a private one", {.hearsUs = false, .from = "172.32.0.5:40002"},
          {}, [](LinkCheckSettings &s) { s.peer = endpoint("203.0.113.5:40002"); }},
         LinkVerdict::wrongPeer,
         {"--peer 172.32.0.5:40002"}},
        {{"both ways through a router", {.from = "192.168.1.21:40002"},
          {}, [](LinkCheckSettings &s) { s.peer = endpoint("203.0.113.5:40002"); }},
         LinkVerdict::bothWays,
         {"none lost"}},
        {{"no program on the port", silent,
          {{0, PeerAnswer::portUnreachable}, {250, PeerAnswer::portUnreachable}, {1250, PeerAnswer::portUnreachable},
           {2250, PeerAnswer::portUnreachable}, {3250, PeerAnswer::portUnreachable}, {4250, PeerAnswer::portUnreachable}}},
         LinkVerdict::noProgram,
         {"port 40002 at 198.18.0.2", "parlino check --port 40002 --peer 198.18.0.1:40001"}},
        {{"our firewall: their check ran, and ended", silent, {{3000, PeerAnswer::portUnreachable}}},
         LinkVerdict::thisSideHearsNothing,
         {"from 198.18.0.2:40002", "held that port for 3 s", "port 40001", "ufw allow 40001/udp",
          "--peer must be 198.18.0.1:40001"}},
        {{"our firewall: their check started late", silent,
          {{0, PeerAnswer::portUnreachable}, {750, PeerAnswer::portUnreachable}}},
         LinkVerdict::thisSideHearsNothing,
         {"now holds that port", "ufw allow 40001/udp"}},
        {{"our Windows firewall, silence", silent, {}, [](LinkCheckSettings &s) { s.platform = "windows"; }},
         LinkVerdict::thisSideHearsNothing,
         {"localport=40001", "profile=private"}},
        {{"no machine at the address", silent, {{3250, PeerAnswer::hostUnreachable}},
          [](LinkCheckSettings &s) { s.peer = endpoint("198.18.0.99:40002"); }},
         LinkVerdict::nothingAnswers,
         {"at 198.18.0.99", "198.18.0.1/24 shares a network"}},
        {{"silence from another network", silent, {},
          [](LinkCheckSettings &s) {
              s.localAddresses = {local("127.0.0.1", "255.0.0.0"), local("10.1.2.3", "255.255.0.0")};
          }},
         LinkVerdict::nothingAnswers,
         {"at 198.18.0.2", "(10.1.2.3/16)", "different networks"}},
        {{"no route", silent, {}, nullptr, 0, false, "Network is unreachable"},
         LinkVerdict::cannotSend,
         {"198.18.0.2:40002", "Network is unreachable"}},
        {{"its own port", silent, {}, [](LinkCheckSettings &s) { s.peer = s.self; }, 0, true},
         LinkVerdict::ownPort,
         {"--peer 198.18.0.1:40001"}},
        {{"a chat on the other side", silent, {}, nullptr, 3},
         LinkVerdict::notACheck,
         {"port 40002 at 198.18.0.2", "parlino check --port 40002 --peer 198.18.0.1:40001"}},
    };
    for (const auto &[scenario, verdict, named] : cases) {
        SCOPED_TRACE(scenario.name);
        const auto report = play(scenario);
        EXPECT_EQ(report.verdict, verdict) << report.verdictText;
        EXPECT_EQ(report.exitCode(), verdict == LinkVerdict::bothWays ? 0 : 1);
        for (const auto &text : named)
            EXPECT_THAT(report.verdictText, HasSubstr(text));
    }
}

TEST(LinkCheckTimeline, EndsWhenThereIsNothingMoreToLearn) {
    const Peer silent{.answers = false, .hearsUs = false};
    const std::pair<Scenario, CheckClock::duration> cases[] = {
        // Its probes arrive from the first one on: --seconds from then.
        {{"clear"}, 3s + 12ms},
        {{"silence: at least shortestWait", silent}, LinkCheck::shortestWait},
        {{"silence: --wait", silent, {}, [](LinkCheckSettings &s) { s.wait = 7s; }}, 7s},
        {{"silence: --seconds when longer", silent, {}, [](LinkCheckSettings &s) { s.exchange = 9s; }}, 9s},
        {{"the port there held, then let go", silent, {{3000, PeerAnswer::portUnreachable}}}, 3s},
        {{"its own probes", silent, {}, [](LinkCheckSettings &s) { s.peer = s.self; }, 0, true}, 1ms},
        {{"no route", silent, {}, nullptr, 0, false, "Network is unreachable"}, 0s},
    };
    for (const auto &[scenario, end] : cases) {
        SCOPED_TRACE(scenario.name);
        CheckClock::time_point endedAt;
        play(scenario, &endedAt);
        EXPECT_EQ(endedAt - CheckClock::time_point{}, end);
    }
}

TEST(LinkCheckTallies, CountsLossesFromTheFirstProbeHeardAndMeasuresRoundTrips) {
    // The peer started earlier (its first probe heard is its 41st), loses
    // our 5th, and its 43rd does not arrive.
    const auto report = play({"one lost each way", {.firstNumber = 41, .lostNumber = 43, .weLostNumber = 5}});
    const auto &tallies = report.tallies;
    EXPECT_EQ(tallies.sent, 13u);
    EXPECT_EQ(tallies.heardOf, 13u);
    EXPECT_EQ(tallies.heard, 12u);
    ASSERT_TRUE(tallies.peerLatest);
    EXPECT_EQ(tallies.peerLatest->heard, 12u);
    EXPECT_EQ(tallies.peerLatest->heardOf, 13u);
    EXPECT_EQ(tallies.peerLatest->newest, 13u);
    // 12 ms from sending to hearing the answer, of which the peer held ours
    // 4 ms: each round trip 8 ms. Not measured: our 5th, which it lost (its
    // next answer names the 4th again), and our 3rd, whose answer was lost.
    EXPECT_THAT(tallies.roundTripsMs, testing::Each(testing::DoubleNear(8.0, 1e-6)));
    EXPECT_EQ(tallies.roundTripsMs.size(), 11u);
    EXPECT_THAT(report.seen, testing::Contains(AllOf(HasSubstr("heard: 12 probes from 198.18.0.2:40002"),
                                                     HasSubstr("1 lost"))));
}

// Each side tells its own losses: the peer's line gives its count of ours,
// ours its; and the probes we send tell the peer what we heard of its.
TEST(LinkCheckTallies, EachSideTellsWhatItHeard) {
    const struct {
        Scenario scenario;
        std::string peerHeard, weHeard;
        // In our last probe, sent at 3 s, before its 53rd arrives; its 52nd
        // arrived at 2.762 s.
        std::uint32_t heard, heardOf, newest;
        std::uint64_t heldMicroseconds;
    } cases[] = {
        {{"it loses our 5th", {.firstNumber = 41, .weLostNumber = 5}},
         "the peer heard: 12 of the 13 it could have (1 lost)",
         "heard: 13 probes from 198.18.0.2:40002 (linux), sent to 198.18.0.1:40001 (none lost)",
         12, 12, 52, 238000},
        {{"we lose its 43rd", {.firstNumber = 41, .lostNumber = 43}},
         "the peer heard: 13 of the 13 it could have (none lost)",
         "heard: 12 probes from 198.18.0.2:40002 (linux), sent to 198.18.0.1:40001 (1 lost)",
         11, 12, 52, 238000},
    };
    for (const auto &row : cases) {
        SCOPED_TRACE(row.scenario.name);
        Probe lastSent;
        const auto report = play(row.scenario, nullptr, &lastSent);
        EXPECT_THAT(report.seen, testing::Contains(row.peerHeard));
        EXPECT_THAT(report.seen, testing::Contains(row.weHeard));
        EXPECT_EQ(lastSent.heard, row.heard);
        EXPECT_EQ(lastSent.heardOf, row.heardOf);
        EXPECT_EQ(lastSent.newest, row.newest);
        EXPECT_EQ(lastSent.heldMicroseconds, row.heldMicroseconds);
    }
}

// The round trip the verdict gives is the median of those measured.
TEST(LinkCheckTallies, RoundTripIsTheMedian) {
    const std::pair<std::vector<int>, std::string> cases[] = {
        {{30, 10, 40}, "Lines cross both ways: 30.0 ms round trip"},
        {{40, 10, 30, 20}, "Lines cross both ways: 25.0 ms round trip"},
    };
    for (const auto &[trips, text] : cases) {
        auto settings = baseSettings();
        LinkCheck check(settings, {});
        CheckClock::time_point now{};
        for (std::size_t i = 0; i < trips.size(); ++i) {
            now = CheckClock::time_point{} + std::chrono::seconds(i);
            check.nextProbe(now);
            const auto number = static_cast<std::uint32_t>(i + 1);
            const Probe theirs{number, settings.peer, "linux", settings.self, number, number, number, 0};
            check.takeLine(probeText(theirs), now + std::chrono::milliseconds(trips[i]));
        }
        EXPECT_THAT(check.report(now + 1s).verdictText, testing::StartsWith(text));
    }
}

// The port there is held from 2 s after the last "port unreachable": said
// once, even when a late probe and the next both fall in the quarter second
// after.
TEST(LinkCheckNotes, APortHeldIsSaidOnce) {
    LinkCheck check(baseSettings(), {});
    const CheckClock::time_point start{};
    check.nextProbe(start);
    check.takeAnswer(PeerAnswer::portUnreachable, start + 10ms);
    EXPECT_EQ(check.takeNotes().size(), 1u); // no program holds it yet
    for (const auto at : {250ms, 500ms, 750ms, 1000ms, 1250ms, 1500ms, 1750ms, 2015ms, 2250ms, 2500ms})
        check.nextProbe(start + at);
    EXPECT_EQ(check.takeNotes().size(), 1u);
}

TEST(LinkCheckTallies, AStrangerCannotFillTheMemoryWithProbes) {
    LinkCheck check(baseSettings(), {});
    Probe probe{1, endpoint("198.18.0.2:40002"), "linux", endpoint("198.18.0.1:40001"), 0, 0, 0, 0};
    for (std::uint32_t number = 1; number <= 25000; ++number) {
        probe.number = number * 7;
        check.takeLine(probeText(probe), {});
    }
    EXPECT_EQ(check.report({}).tallies.heard, 20000u);
}

// ---- The system's part, over loopback ----

// A port with nothing on it: bound, read back and let go.
std::uint16_t unusedLoopbackPort() {
    const int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::getsockname(probe, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

TEST(PeerSocket, HearsPortUnreachableAndSendsOnlyEmptyDatagramsToThePeer) {
    const auto loopback = *readDottedIpv4("127.0.0.1");
    {
        system::PeerSocket socket;
        std::string error;
        ASSERT_TRUE(socket.connect(loopback, unusedLoopbackPort(), error)) << error;
        EXPECT_EQ(socket.localAddress(), loopback);
        EXPECT_TRUE(socket.sendEmptyDatagram().sent);
        ::usleep(20000);
        const auto second = socket.sendEmptyDatagram();
        EXPECT_THAT(second.answers, testing::ElementsAre(PeerAnswer::portUnreachable));
    }
    // A listener there: it gets empty datagrams, and no answer comes back.
    const int listener = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    const timeval patience{2, 0};
    ::setsockopt(listener, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
    system::PeerSocket socket;
    std::string error;
    ASSERT_TRUE(socket.connect(loopback, ntohs(address.sin_port), error)) << error;
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(socket.sendEmptyDatagram().answers.empty());
        char data[16];
        EXPECT_EQ(::recv(listener, data, sizeof data, 0), 0);
    }
    ::close(listener);
}

TEST(LocalAddresses, IncludeLoopbackWithItsNetmask) {
    const auto addresses = system::localIpv4Addresses();
    EXPECT_THAT(addresses, testing::Contains(testing::AllOf(
                               testing::Field(&system::LocalIpv4::address, *readDottedIpv4("127.0.0.1")),
                               testing::Field(&system::LocalIpv4::netmask, *readDottedIpv4("255.0.0.0")))));
}

} // namespace
} // namespace parlino::host
