// The least the platform needs for the module's work: blocking IPv4 UDP
// sockets with no option set, used the way the module uses its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <netinet/in.h>
#include <string>

namespace parlino::bench {

// A socket owned for its lifetime, bound to `port` (0: the system chooses)
// on every local address (anyAddress) or on 127.0.0.1 only.
class BareSocket {
  public:
    explicit BareSocket(std::uint16_t port = 0, bool anyAddress = false);
    ~BareSocket();
    BareSocket(const BareSocket &) = delete;
    BareSocket &operator=(const BareSocket &) = delete;

    int descriptor() const { return descriptor_; }
    std::uint16_t port() const { return port_; } // host byte order

    // Takes every datagram queued now without waiting; returns how many
    // there were and adds the bytes of each that had `expectedLength` to
    // `whole`.
    std::size_t drain(std::size_t expectedLength, std::size_t &whole) const;

  private:
    int descriptor_ = -1;
    std::uint16_t port_ = 0;
};

sockaddr_in loopbackAddress(std::uint16_t port);

// A port on 127.0.0.1 that was free a moment ago.
std::uint16_t freePort();

// The bare send: wait until writable, then one sendto. The result of sendto.
long bareSend(int descriptor, const char *bytes, std::size_t length, const sockaddr_in &to);

// The bare receive: wait up to `waitMs` for one datagram, take it into
// `buffer` (65,536 bytes), copy it to `copy`. The length, or -1 on time-out
// or failure.
long bareReceive(int descriptor, char *buffer, char *copy, int waitMs);

// The same, keeping what came as a new std::string in `kept` (replacing
// the one it held), as a host built on the standard library would. False on
// time-out or failure.
bool bareReceiveString(int descriptor, char *buffer, std::string &kept, int waitMs);

// The dotted loopback address and a port as an action's parameter fields.
std::string loopbackField(std::uint16_t port);

} // namespace parlino::bench
