#include "bench/bare_socket.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace parlino::bench {

BareSocket::BareSocket(std::uint16_t port, bool anyAddress) {
    descriptor_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopbackAddress(port);
    if (anyAddress)
        address.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t length = sizeof address;
    if (descriptor_ < 0 || ::bind(descriptor_, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        ::getsockname(descriptor_, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        std::perror("parlino benchmarks: bare socket");
        std::exit(2);
    }
    port_ = ntohs(address.sin_port);
}

BareSocket::~BareSocket() {
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

std::size_t BareSocket::drain(std::size_t expectedLength, std::size_t &whole) const {
    static char buffer[65536];
    std::size_t count = 0;
    for (;;) {
        const auto length = ::recv(descriptor_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (length < 0)
            return count;
        ++count;
        if (static_cast<std::size_t>(length) == expectedLength)
            ++whole;
    }
}

sockaddr_in loopbackAddress(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

std::uint16_t freePort() {
    const BareSocket probe;
    return probe.port();
}

long bareSend(int descriptor, const char *bytes, std::size_t length, const sockaddr_in &to) {
    pollfd watched{descriptor, POLLOUT, 0};
    if (::poll(&watched, 1, -1) != 1)
        return -1;
    return ::sendto(descriptor, bytes, length, MSG_NOSIGNAL, reinterpret_cast<const sockaddr *>(&to),
                    sizeof to);
}

long bareReceive(int descriptor, char *buffer, char *copy, int waitMs) {
    pollfd watched{descriptor, POLLIN, 0};
    if (::poll(&watched, 1, waitMs) != 1)
        return -1;
    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    const auto length = ::recvfrom(descriptor, buffer, 65536, 0, reinterpret_cast<sockaddr *>(&sender),
                                   &senderLength);
    if (length > 0)
        std::memcpy(copy, buffer, static_cast<std::size_t>(length));
    return length;
}

bool bareReceiveString(int descriptor, char *buffer, std::string &kept, int waitMs) {
    pollfd watched{descriptor, POLLIN, 0};
    if (::poll(&watched, 1, waitMs) != 1)
        return false;
    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    const auto length = ::recvfrom(descriptor, buffer, 65536, 0, reinterpret_cast<sockaddr *>(&sender),
                                   &senderLength);
    if (length < 0)
        return false;
    kept = std::string(buffer, static_cast<std::size_t>(length));
    return true;
}

std::string loopbackField(std::uint16_t port) { return "127.0.0.1|" + std::to_string(port); }

} // namespace parlino::bench
