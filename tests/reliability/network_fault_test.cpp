// Network faults seen by the chat actions, run by run_in_namespaces.sh inside
// the chat's namespace (198.18.0.1) with a peer in a second namespace
// (198.18.0.2) joined by a veth pair. The peer is a plain socket made inside
// the peer's namespace; the chat runs through nbExecAction as a host runs it.
#include "fakes/recording_desktop.h"
#include "fakes/recording_host.h"
#include "parlino.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace parlino {
namespace {

const char *peerNamespace = nullptr;
const char *peerLink = nullptr;
constexpr std::uint16_t chatPort = 5000;
constexpr std::uint16_t peerPort = 6000;
const std::string chatAddress = "198.18.0.1";
const std::string peerAddress = "198.18.0.2";

void run(std::int32_t action, const std::string &parameter = "") {
    const char *text = parameter.c_str();
    ASSERT_EQ(nbExecAction(action, &text), 1);
}

// One receive action: the text the host was given.
std::string receiveLine() {
    run(4);
    return testing::recordingHost().lastValue("qv_chat_text").value_or("<not set>");
}

std::string sendParameter(std::uint16_t port, const std::string &text) {
    return peerAddress + "|" + std::to_string(port) + "|" + text;
}

std::vector<std::string> messageTexts() {
    std::vector<std::string> texts;
    for (const auto &box : testing::recordingDesktop().messageBoxes())
        texts.push_back(box.text);
    return texts;
}

void setPeerLink(bool up) {
    const std::string command =
        std::string("ip -n ") + peerNamespace + " link set " + peerLink + (up ? " up" : " down");
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// A UDP socket made inside the peer's namespace: the namespace is entered on
// a thread of its own, since setns changes only the calling thread.
class Peer {
  public:
    explicit Peer(std::uint16_t port = peerPort) {
        std::thread maker([&] {
            const int space = ::open((std::string("/run/netns/") + peerNamespace).c_str(), O_RDONLY | O_CLOEXEC);
            if (space < 0 || ::setns(space, CLONE_NEWNET) != 0)
                return;
            ::close(space);
            descriptor_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        });
        maker.join();
        EXPECT_GE(descriptor_, 0) << "no socket in the peer's namespace";
        sockaddr_in address = ipv4(peerAddress, port);
        EXPECT_EQ(::bind(descriptor_, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    }
    ~Peer() { close(); }
    Peer(const Peer &) = delete;
    Peer &operator=(const Peer &) = delete;

    void close() {
        if (descriptor_ >= 0)
            ::close(descriptor_);
        descriptor_ = -1;
    }
    bool send(const std::string &bytes, std::uint16_t port = chatPort) const {
        const sockaddr_in address = ipv4(chatAddress, port);
        return ::sendto(descriptor_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr *>(&address),
                        sizeof address) == static_cast<ssize_t>(bytes.size());
    }
    std::optional<std::string> receive(int milliseconds = 5000) const {
        pollfd watched{descriptor_, POLLIN, 0};
        if (::poll(&watched, 1, milliseconds) != 1)
            return std::nullopt;
        std::string bytes(65536, '\0');
        const auto got = ::recv(descriptor_, bytes.data(), bytes.size(), 0);
        if (got < 0)
            return std::nullopt;
        bytes.resize(static_cast<std::size_t>(got));
        return bytes;
    }

  private:
    static sockaddr_in ipv4(const std::string &text, std::uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        ::inet_pton(AF_INET, text.c_str(), &address.sin_addr);
        return address;
    }
    int descriptor_ = -1;
};

// Datagrams the kernel dropped at the chat port's socket: the last column
// of its line in /proc/net/udp, which shows this namespace's sockets.
long socketDrops(std::uint16_t port) {
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line);
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", port);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local;
        fields >> slot >> local;
        if (local.size() >= 5 && local.compare(local.size() - 5, 5, wanted) == 0) {
            std::string last, field;
            while (fields >> field)
                last = field;
            return std::stol(last);
        }
    }
    return -1;
}

// Packets the kernel dropped before they reached any socket because a CPU's
// input backlog was full: the second column of /proc/net/softnet_stat,
// summed over CPUs. It counts for the whole machine, not this namespace.
long backlogDrops() {
    std::ifstream table("/proc/net/softnet_stat");
    long total = 0;
    std::string processed, dropped;
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        if (fields >> processed >> dropped)
            total += std::stol(dropped, nullptr, 16);
    }
    return total;
}

// "Destination unreachable" messages that reached this namespace, from the
// Icmp lines of /proc/net/snmp (a header line, then a line of values).
long icmpDestinationUnreachableReceived() {
    std::ifstream counters("/proc/net/snmp");
    std::string header, values;
    while (std::getline(counters, header) && std::getline(counters, values)) {
        if (header.rfind("Icmp:", 0) != 0)
            continue;
        std::istringstream names(header), numbers(values);
        std::string name, number;
        while (names >> name && numbers >> number)
            if (name == "InDestUnreachs")
                return std::stol(number);
    }
    return -1;
}

class NetworkFaultTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::recordingHost().registerModule();
        testing::recordingHost().clear();
        testing::recordingDesktop().reset();
        run(2, std::to_string(chatPort));
        ASSERT_EQ(testing::recordingHost().lastValue("qv_chat_open_port_status"), "Ok");
    }
    void TearDown() override {
        run(5);
        setPeerLink(true);
    }

    // One line each way.
    void chatOnce(const Peer &peer, const std::string &tag) {
        run(3, sendParameter(peerPort, "to peer " + tag));
        EXPECT_EQ(peer.receive(), "to peer " + tag);
        ASSERT_TRUE(peer.send("to chat " + tag));
        EXPECT_EQ(receiveLine(), "to chat " + tag);
    }
};

TEST_F(NetworkFaultTest, NoRouteGivesThe57MessageAndThePortStaysUsable) {
    const Peer peer;
    run(3, "198.19.255.1|" + std::to_string(peerPort) + "|nowhere");
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"Device I/O error\r\nError: 57."});
    testing::recordingDesktop().reset();
    chatOnce(peer, "after no route");
    EXPECT_TRUE(messageTexts().empty());
}

TEST_F(NetworkFaultTest, ThePeersLinkGoesDownAndUpAndTheChatGoesOn) {
    const Peer peer;
    chatOnce(peer, "before");
    setPeerLink(false);
    testing::recordingDesktop().reset();
    for (int i = 0; i < 3; ++i)
        run(3, sendParameter(peerPort, "lost " + std::to_string(i)));
    for (const auto &text : messageTexts())
        EXPECT_EQ(text, "Device I/O error\r\nError: 57.");
    EXPECT_EQ(receiveLine(), "");
    setPeerLink(true);

    // Neighbour discovery may need a moment after the link is back.
    std::optional<std::string> arrived;
    for (int attempt = 0; attempt < 30 && !arrived; ++attempt) {
        run(3, sendParameter(peerPort, "after " + std::to_string(attempt)));
        while (auto line = peer.receive(1000)) {
            EXPECT_EQ(line->rfind("after ", 0), 0u) << "a line from the outage arrived: " << *line;
            arrived = line;
        }
    }
    ASSERT_TRUE(arrived) << "the chat did not come back";
    std::string back;
    for (int attempt = 0; attempt < 10 && back.empty(); ++attempt) {
        peer.send("back " + std::to_string(attempt));
        back = receiveLine();
    }
    EXPECT_EQ(back.rfind("back ", 0), 0u) << back;
}

TEST_F(NetworkFaultTest, ThePeerClosesItsPortAndTheNextReceiveStillBehaves) {
    auto peer = std::make_unique<Peer>();
    chatOnce(*peer, "before");
    peer->close(); // the peer's system now answers with "port unreachable"
    const long unreachableBefore = icmpDestinationUnreachableReceived();
    testing::recordingDesktop().reset();
    for (int i = 0; i < 3; ++i)
        run(3, sendParameter(peerPort, "unheard " + std::to_string(i)));
    for (const auto &text : messageTexts())
        EXPECT_EQ(text, "Device I/O error\r\nError: 57.");
    EXPECT_EQ(receiveLine(), "");
    EXPECT_GT(icmpDestinationUnreachableReceived(), unreachableBefore) << "no ICMP came back";
    EXPECT_EQ(receiveLine(), "");

    peer = std::make_unique<Peer>();
    chatOnce(*peer, "reopened");
}

TEST_F(NetworkFaultTest, TwoHundredQueuedDatagramsDrainInOrder) {
    const Peer peer;
    constexpr int count = 200;
    for (int i = 0; i < count; ++i)
        ASSERT_TRUE(peer.send("queued " + std::to_string(i)));
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(receiveLine(), "queued " + std::to_string(i));
    EXPECT_EQ(receiveLine(), "");
    EXPECT_EQ(socketDrops(chatPort), 0);
}

// Line n of the flood: its number and 100 bytes that depend on it.
std::string floodLine(int n) {
    std::string line = "flood " + std::to_string(n) + " ";
    for (int i = 0; line.size() < 100; ++i)
        line += static_cast<char>('a' + (n * 7 + i) % 26);
    return line;
}

TEST_F(NetworkFaultTest, AFloodLosesOnlyWhatTheKernelDroppedAndSplitsNoLine) {
    const Peer peer;
    constexpr int sent = 20000;
    ASSERT_EQ(socketDrops(chatPort), 0);
    const long backlogDropsBefore = backlogDrops();
    for (int n = 0; n < sent; ++n)
        ASSERT_TRUE(peer.send(floodLine(n)));

    int received = 0, last = -1;
    for (std::string line = receiveLine(); !line.empty(); line = receiveLine()) {
        const int n = std::atoi(line.c_str() + 6);
        ASSERT_GT(n, last) << "out of order or repeated: " << line;
        ASSERT_EQ(line, floodLine(n));
        last = n;
        ++received;
    }
    // Every line that did not arrive was counted as dropped by the kernel:
    // at the chat socket when its buffer was full, or (on a busy machine,
    // where other traffic may add to this count too) in an input backlog.
    const long dropped = socketDrops(chatPort);
    const long droppedInBacklog = backlogDrops() - backlogDropsBefore;
    std::printf("flood: %d sent, %d received, %ld dropped by the kernel at the socket, %ld in a backlog\n",
                sent, received, dropped, droppedInBacklog);
    EXPECT_GT(dropped, 0) << "the flood did not overrun the socket buffer";
    EXPECT_LE(received + dropped, sent);
    EXPECT_LE(sent - received - dropped, droppedInBacklog);
}

TEST_F(NetworkFaultTest, TheLargestDatagramArrivesWholeBothWays) {
    const Peer peer;
    std::string largest(65507, '\0');
    for (std::size_t i = 0; i < largest.size(); ++i)
        largest[i] = static_cast<char>('A' + i % 53);
    ASSERT_TRUE(peer.send(largest));
    EXPECT_TRUE(receiveLine() == largest);

    run(3, sendParameter(peerPort, largest));
    EXPECT_TRUE(messageTexts().empty());
    const auto arrived = peer.receive();
    ASSERT_TRUE(arrived);
    EXPECT_EQ(arrived->size(), largest.size());
    EXPECT_TRUE(*arrived == largest);
}

TEST_F(NetworkFaultTest, ADatagramWithZeroBytesReachesTheHostCutAtTheFirst) {
    const Peer peer;
    const std::pair<std::string, std::string> cases[] = {
        {std::string("before\0after", 12), "before"},
        {std::string("\0lead", 5), ""},
        {std::string("two\0\0zeros\0", 11), "two"},
        {std::string(), ""},
        {std::string(65000, 'z') + std::string(1, '\0') + std::string(506, 'y'), std::string(65000, 'z')},
    };
    for (const auto &[bytes, host] : cases) {
        ASSERT_TRUE(peer.send(bytes));
        EXPECT_TRUE(receiveLine() == host) << host.substr(0, 20);
    }
}

} // namespace
} // namespace parlino

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    parlino::peerNamespace = std::getenv("PARLINO_PEER_NAMESPACE");
    parlino::peerLink = std::getenv("PARLINO_PEER_LINK");
    if (parlino::peerNamespace == nullptr || parlino::peerLink == nullptr) {
        std::fprintf(stderr, "SKIPPED: run me through run_in_namespaces.sh\n");
        return 77;
    }
    return RUN_ALL_TESTS();
}
