#include "loopback_socket.h"

namespace parlino::dlltest {

LoopbackSocket::LoopbackSocket(std::uint16_t port, std::uint32_t address)
    : socket_(::socket(AF_INET, SOCK_DGRAM, 0)) {
    if (socket_ == INVALID_SOCKET)
        return;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = address;
    local.sin_port = ::htons(port);
    if (::bind(socket_, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0)
        return;
    int length = sizeof local;
    if (::getsockname(socket_, reinterpret_cast<sockaddr *>(&local), &length) == 0)
        port_ = ::ntohs(local.sin_port);
}

LoopbackSocket::~LoopbackSocket() {
    if (socket_ != INVALID_SOCKET)
        ::closesocket(socket_);
}

bool LoopbackSocket::send(std::string_view bytes, std::uint16_t toPort) const {
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_addr.s_addr = loopbackAddress;
    destination.sin_port = ::htons(toPort);
    return ::sendto(socket_, bytes.data(), static_cast<int>(bytes.size()), 0,
                    reinterpret_cast<sockaddr *>(&destination),
                    sizeof destination) == static_cast<int>(bytes.size());
}

std::optional<Datagram> LoopbackSocket::receive(DWORD waitMilliseconds) const {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_, &readable);
    timeval wait{static_cast<long>(waitMilliseconds / 1000),
                 static_cast<long>(waitMilliseconds % 1000 * 1000)};
    if (::select(0, &readable, nullptr, nullptr, &wait) != 1)
        return std::nullopt;
    static char buffer[65536];
    sockaddr_in sender{};
    int senderLength = sizeof sender;
    const int received = ::recvfrom(socket_, buffer, sizeof buffer, 0,
                                    reinterpret_cast<sockaddr *>(&sender), &senderLength);
    if (received < 0)
        return std::nullopt;
    return Datagram{std::string(buffer, static_cast<std::size_t>(received)), ::ntohs(sender.sin_port)};
}

} // namespace parlino::dlltest
