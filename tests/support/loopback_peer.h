// An endpoint of the module's own endpoint layer bound to a port the system
// chose, for tests that need a second party on 127.0.0.1.
#pragma once

#include "chat/test_seam.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace parlino::testing {

inline const Ipv4Address loopback = textToAddress("127.0.0.1");

inline std::uint16_t boundPort(EndpointNumber number) {
    std::uint16_t networkOrder = 0;
    EXPECT_EQ(platform::localPort(endpointSocket(number), networkOrder), platform::SocketOutcome::done);
    return static_cast<std::uint16_t>((networkOrder & 0xFF) << 8 | networkOrder >> 8);
}

class LoopbackPeer {
  public:
    explicit LoopbackPeer(std::uint32_t timeout = chatTimeoutCode, std::int32_t port = 0)
        : number_(nextFreeEndpointNumber()) {
        EXPECT_EQ(openEndpoint(number_, port, timeout), 0);
        port_ = boundPort(number_);
    }
    ~LoopbackPeer() { closeEndpoint(number_); }
    LoopbackPeer(const LoopbackPeer &) = delete;
    LoopbackPeer &operator=(const LoopbackPeer &) = delete;

    EndpointNumber number() const { return number_; }
    std::uint16_t port() const { return port_; }
    std::uint8_t send(std::string_view text, std::int32_t toPort) const {
        return sendDatagram(number_, loopback, toPort, text);
    }
    std::uint8_t receive(ReceivedDatagram &datagram) const { return receiveDatagram(number_, datagram); }

  private:
    EndpointNumber number_;
    std::uint16_t port_ = 0;
};

// A port that was free a moment ago: bound once with port 0, then released.
inline std::uint16_t freeUdpPort() {
    const LoopbackPeer probe(0);
    return probe.port();
}

} // namespace parlino::testing
