// A network for fuzzers and fault tests that never touches a real socket:
// the socket part of platform.h answered from memory. Datagrams sent to
// 127.0.0.0/8 reach the fake socket bound to their port; everything sent is
// recorded. Misuse by the module (a call on a socket it has closed or never
// opened, a second close, an unbalanced stop of the socket library) is
// counted rather than crashing, so a test can assert that it never happens.
#pragma once

#include "platform/test_seam.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace parlino::testing {

struct MemoryDatagram {
    std::string bytes;
    std::uint32_t address = 0; // sender (received) or destination (sent), network order
    std::uint16_t port = 0;    // host order
};

struct MemorySocket {
    std::optional<std::uint16_t> boundPort; // host order
    std::deque<MemoryDatagram> queue;
};

struct MemoryNetwork {
    // What the fake answers with.
    static constexpr std::size_t largestDatagram = 65507;
    static constexpr std::size_t queueLimit = 64; // datagrams beyond it are dropped
    static constexpr std::size_t socketLimit = 64;
    static constexpr std::size_t sentKept = 16;
    std::uint32_t localAddress = 0x010012C6; // 198.18.0.1 in network order
    std::set<std::uint16_t> portsHeldElsewhere;

    // What the module did.
    std::map<platform::SocketHandle, MemorySocket> sockets;
    std::deque<MemoryDatagram> sent; // the last sentKept datagrams
    std::size_t sendCount = 0;
    int libraryStarts = 0; // started minus stopped
    int misuses = 0;

    // Clears everything, open sockets included.
    void reset();
    // The one socket bound to `port`, null when none is.
    MemorySocket *boundTo(std::uint16_t port);
    // Queues a datagram as if it came from `from`:`fromPort`; false when no
    // socket is bound to `port` or its queue is full.
    bool deliver(std::uint16_t port, std::string bytes, std::uint32_t from, std::uint16_t fromPort);

  private:
    friend struct MemoryNetworkAccess;
    platform::SocketHandle nextHandle_ = 1000;
    std::uint16_t nextEphemeralPort_ = 49152;
};

MemoryNetwork &memoryNetwork();

} // namespace parlino::testing
