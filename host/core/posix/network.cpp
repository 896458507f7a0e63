// The network as the link check sees it on Linux: the interfaces' addresses
// from getifaddrs, and a connected UDP socket that asks for the network's
// error reports (IP_RECVERR), so that "host unreachable" reaches it as
// well as "port unreachable".
#include "host/core/system.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/errqueue.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace parlino::host::system {

const char *platformName() { return "linux"; }

std::vector<LocalIpv4> localIpv4Addresses() {
    std::vector<LocalIpv4> found;
    ifaddrs *list = nullptr;
    if (::getifaddrs(&list) != 0)
        return found;
    for (const ifaddrs *entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET || (entry->ifa_flags & IFF_UP) == 0)
            continue;
        LocalIpv4 local;
        local.address = ntohl(reinterpret_cast<const sockaddr_in *>(entry->ifa_addr)->sin_addr.s_addr);
        local.netmask = entry->ifa_netmask != nullptr
                            ? ntohl(reinterpret_cast<const sockaddr_in *>(entry->ifa_netmask)->sin_addr.s_addr)
                            : 0xFFFFFFFFu;
        found.push_back(local);
    }
    ::freeifaddrs(list);
    return found;
}

namespace {

PeerAnswer answerOf(int error) {
    switch (error) {
    case ECONNREFUSED:
        return PeerAnswer::portUnreachable;
    case EHOSTUNREACH:
    case EHOSTDOWN:
        return PeerAnswer::hostUnreachable;
    case ENETUNREACH:
    case ENETDOWN:
        return PeerAnswer::networkUnreachable;
    default:
        return PeerAnswer::otherError;
    }
}

} // namespace

struct PeerSocket::State {
    int socket = -1;
    std::uint32_t localAddress = 0;
};

PeerSocket::PeerSocket() : state_(new State) {}

PeerSocket::~PeerSocket() {
    if (state_->socket >= 0)
        ::close(state_->socket);
    delete state_;
}

bool PeerSocket::connect(std::uint32_t address, std::uint16_t port, std::string &error) {
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (socket < 0) {
        error = std::strerror(errno);
        return false;
    }
    // Without it Linux passes on only "port unreachable" to a UDP socket;
    // with it every error the network reports is queued for the socket.
    const int on = 1;
    ::setsockopt(socket, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = htonl(address);
    peer.sin_port = htons(port);
    if (::connect(socket, reinterpret_cast<const sockaddr *>(&peer), sizeof peer) != 0) {
        error = std::strerror(errno);
        ::close(socket);
        return false;
    }
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(socket, reinterpret_cast<sockaddr *>(&local), &length) == 0)
        state_->localAddress = ntohl(local.sin_addr.s_addr);
    state_->socket = socket;
    return true;
}

std::uint32_t PeerSocket::localAddress() const { return state_->localAddress; }

PeerSocket::Sent PeerSocket::sendEmptyDatagram() {
    Sent result;
    const int socket = state_->socket;
    if (socket < 0)
        return result;
    // The error queue, one entry for each report; reading an entry also
    // clears the error that the next send or receive would return.
    for (int entries = 0; entries < 256; ++entries) {
        char data[64];
        char control[512];
        iovec part{data, sizeof data};
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        if (::recvmsg(socket, &message, MSG_ERRQUEUE | MSG_DONTWAIT) < 0)
            break;
        for (cmsghdr *header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header))
            if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_RECVERR) {
                sock_extended_err report;
                std::memcpy(&report, CMSG_DATA(header), sizeof report);
                result.answers.push_back(answerOf(static_cast<int>(report.ee_errno)));
            }
    }
    // Whatever the peer's address sent to this socket is of no use.
    for (int datagrams = 0; datagrams < 256; ++datagrams) {
        char data[512];
        if (::recv(socket, data, sizeof data, MSG_DONTWAIT) < 0)
            break;
    }
    if (::send(socket, "", 0, MSG_NOSIGNAL | MSG_DONTWAIT) == 0) {
        result.sent = true;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
        result.sent = true; // a full buffer: this one is lost, as a datagram may be
    } else {
        result.answers.push_back(answerOf(errno));
    }
    return result;
}

} // namespace parlino::host::system
