// IPv4 UDP over BSD sockets. No socket option is set and no process-wide
// state (signal handling above all) is touched.
#include "platform/platform.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace parlino::platform {
namespace {

int descriptorOf(SocketHandle socket) { return static_cast<int>(socket); }

sockaddr_in ipv4Address(std::uint32_t address, std::uint16_t portNetworkOrder) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_addr.s_addr = address;
    result.sin_port = portNetworkOrder;
    return result;
}

std::int64_t monotonicMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

// poll() rather than select(): a descriptor above FD_SETSIZE is fine here.
// Interrupted waits go on for the time that is left; a wait longer than poll
// takes in one call is made of several.
SocketOutcome waitFor(SocketHandle socket, short events, std::int64_t microseconds, bool &ready) {
    const bool forever = microseconds < 0;
    // A wait with no limit needs no deadline, and so no clock reading: the
    // send action waits like this before every datagram.
    const std::int64_t deadline = forever ? 0 : monotonicMicroseconds() + microseconds;
    // The first wait is the whole time asked for; the clock is read again
    // only when a wait ends without the socket being ready, to learn what is
    // left. A receive with a datagram queued thus reads it once.
    std::int64_t left = microseconds;
    for (;;) {
        int timeoutMs = -1;
        if (!forever) {
            const std::int64_t leftMs = left <= 0 ? 0 : (left + 999) / 1000;
            timeoutMs = static_cast<int>(leftMs > INT_MAX ? INT_MAX : leftMs);
        }
        pollfd watched{descriptorOf(socket), events, 0};
        const int result = ::poll(&watched, 1, timeoutMs);
        if (result > 0) {
            // An error, a hang-up or a descriptor that is not open is never
            // "ready": reading or writing it would take what is not ours.
            if ((watched.revents & events) == 0)
                return SocketOutcome::failed;
            ready = true;
            return SocketOutcome::done;
        }
        if (result < 0 && errno != EINTR)
            return SocketOutcome::failed;
        if (forever)
            continue;
        left = deadline - monotonicMicroseconds();
        if (result == 0 && left <= 0) {
            ready = false;
            return SocketOutcome::done;
        }
    }
}

} // namespace

bool startSocketLibrary() { return true; }

void stopSocketLibrary() {}

SocketOutcome openDatagramSocket(SocketHandle &socket) {
    const int descriptor = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (descriptor < 0)
        return SocketOutcome::failed;
    socket = descriptor;
    return SocketOutcome::done;
}

void closeSocket(SocketHandle socket) { ::close(descriptorOf(socket)); }

SocketOutcome readHostName(char (&name)[hostNameCapacity]) {
    if (::gethostname(name, hostNameCapacity) != 0)
        return SocketOutcome::failed;
    name[hostNameCapacity - 1] = '\0';
    return SocketOutcome::done;
}

SocketOutcome bindToAnyAddress(SocketHandle socket, std::uint16_t portNetworkOrder) {
    const auto address = ipv4Address(INADDR_ANY, portNetworkOrder);
    if (::bind(descriptorOf(socket), reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return SocketOutcome::failed;
    return SocketOutcome::done;
}

SocketOutcome waitReadable(SocketHandle socket, std::uint32_t seconds, std::uint32_t microseconds,
                           bool &readable) {
    return waitFor(socket, POLLIN,
                   static_cast<std::int64_t>(seconds) * 1000000 + microseconds, readable);
}

SocketOutcome waitWritable(SocketHandle socket) {
    bool writable = false;
    return waitFor(socket, POLLOUT, -1, writable);
}

namespace {

// recvfrom and sendto, going on after an interruption, with what they took
// or sent written out on success. `flags` adds MSG_DONTWAIT for the calls
// that must not wait.
ssize_t receiveWith(SocketHandle socket, char *buffer, std::size_t capacity, int flags,
                    std::size_t &received, std::uint32_t &senderAddress,
                    std::uint16_t &senderPortNetworkOrder) {
    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    ssize_t result;
    do {
        result = ::recvfrom(descriptorOf(socket), buffer, capacity, flags,
                            reinterpret_cast<sockaddr *>(&sender), &senderLength);
    } while (result < 0 && errno == EINTR);
    if (result >= 0) {
        received = static_cast<std::size_t>(result);
        senderAddress = sender.sin_addr.s_addr;
        senderPortNetworkOrder = sender.sin_port;
    }
    return result;
}

ssize_t sendWith(SocketHandle socket, const char *bytes, std::size_t length, std::uint32_t address,
                 std::uint16_t portNetworkOrder, int flags, std::size_t &sent) {
    const auto destination = ipv4Address(address, portNetworkOrder);
    ssize_t result;
    do {
        result = ::sendto(descriptorOf(socket), bytes, length, MSG_NOSIGNAL | flags,
                          reinterpret_cast<const sockaddr *>(&destination), sizeof destination);
    } while (result < 0 && errno == EINTR);
    if (result >= 0)
        sent = static_cast<std::size_t>(result);
    return result;
}

// The outcome of a call made without waiting: `done` tells whether it took
// or sent the datagram; a socket that was not ready is no failure.
SocketOutcome withoutWaiting(ssize_t result, bool &done) {
    done = result >= 0;
    if (result < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
        return SocketOutcome::failed;
    return SocketOutcome::done;
}

} // namespace

SocketOutcome receiveFrom(SocketHandle socket, char *buffer, std::size_t capacity,
                          std::size_t &received, std::uint32_t &senderAddress,
                          std::uint16_t &senderPortNetworkOrder) {
    return receiveWith(socket, buffer, capacity, 0, received, senderAddress,
                       senderPortNetworkOrder) < 0
               ? SocketOutcome::failed
               : SocketOutcome::done;
}

SocketOutcome sendTo(SocketHandle socket, const char *bytes, std::size_t length,
                     std::uint32_t address, std::uint16_t portNetworkOrder, std::size_t &sent) {
    return sendWith(socket, bytes, length, address, portNetworkOrder, 0, sent) < 0
               ? SocketOutcome::failed
               : SocketOutcome::done;
}

// One system call where a wait and a call made two: a datagram is usually
// queued when a chat line is received, and there is room for one when it is
// sent. A pending error (a port-unreachable message) is reported here just as
// the call after the wait would report it.
SocketOutcome receiveIfQueued(SocketHandle socket, char *buffer, std::size_t capacity,
                              std::size_t &received, std::uint32_t &senderAddress,
                              std::uint16_t &senderPortNetworkOrder, bool &done) {
    return withoutWaiting(receiveWith(socket, buffer, capacity, MSG_DONTWAIT, received,
                                      senderAddress, senderPortNetworkOrder),
                          done);
}

SocketOutcome sendIfRoom(SocketHandle socket, const char *bytes, std::size_t length,
                         std::uint32_t address, std::uint16_t portNetworkOrder, std::size_t &sent,
                         bool &done) {
    return withoutWaiting(
        sendWith(socket, bytes, length, address, portNetworkOrder, MSG_DONTWAIT, sent), done);
}

namespace {

// The addresses of this machine's interfaces that are up and not loopback,
// in interface order: what a peer can reach, unlike 127.0.1.1 from /etc/hosts.
std::uint32_t interfaceAddress(std::int32_t index) {
    ifaddrs *interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0)
        return 0;
    std::uint32_t found = 0;
    std::int32_t seen = 0;
    for (auto *entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0)
            continue;
        if (++seen == index) {
            found = reinterpret_cast<const sockaddr_in *>(entry->ifa_addr)->sin_addr.s_addr;
            break;
        }
    }
    ::freeifaddrs(interfaces);
    return found;
}

bool hasInterfaceAddress() { return interfaceAddress(1) != 0; }

std::uint32_t resolvedAddress(const char *name, std::int32_t index) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo *results = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &results) != 0)
        return 0;
    std::uint32_t found = 0;
    std::int32_t seen = 0;
    for (auto *entry = results; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && ++seen == index) {
            found = reinterpret_cast<const sockaddr_in *>(entry->ai_addr)->sin_addr.s_addr;
            break;
        }
    }
    ::freeaddrinfo(results);
    return found;
}

} // namespace

std::uint32_t lookUpHostAddress(const char *name, std::int32_t index) {
    if (index < 1)
        return 0;
    if (name[0] != '\0')
        return resolvedAddress(name, index);
    if (hasInterfaceAddress())
        return interfaceAddress(index);
    char hostName[hostNameCapacity];
    if (readHostName(hostName) != SocketOutcome::done)
        return 0;
    return resolvedAddress(hostName, index);
}

} // namespace parlino::platform
