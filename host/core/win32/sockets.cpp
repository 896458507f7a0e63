// The host's own sockets beside the module's: a name looked up, a port
// tried, a receive woken, and the link check's socket toward the peer,
// whose receive fails with WSAECONNRESET once the peer's machine has
// answered "port unreachable".
#include "host/core/system.h"

#include <winsock.h>
#include <windows.h>

#include <cstring>
#include <string>

namespace parlino::host::system {
namespace {

// The socket library for the length of one call.
class SocketLibrary {
  public:
    SocketLibrary() : started_(::WSAStartup(MAKEWORD(1, 1), &data_) == 0) {}
    ~SocketLibrary() {
        if (started_)
            ::WSACleanup();
    }
    bool started() const { return started_; }

  private:
    WSADATA data_{};
    bool started_;
};

} // namespace

std::string resolveIpv4(const std::string &name, std::string &error) {
    const SocketLibrary library;
    if (!library.started()) {
        error = "the sockets cannot start";
        return {};
    }
    std::string address;
    const hostent *host = ::gethostbyname(name.c_str());
    if (host != nullptr && host->h_addrtype == AF_INET && host->h_addr_list[0] != nullptr) {
        in_addr first;
        std::memcpy(&first, host->h_addr_list[0], sizeof first);
        address = ::inet_ntoa(first);
    } else {
        error = "not found (Windows sockets error " + std::to_string(::WSAGetLastError()) + ")";
    }
    return address;
}

// ---- UDP ----

namespace {

sockaddr_in ipv4SocketAddress(u_long hostOrderAddress, u_short port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(hostOrderAddress);
    address.sin_port = ::htons(port);
    return address;
}

std::string socketErrorText(int error) {
    char *text = nullptr;
    ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char *>(&text), 0, nullptr);
    std::string reason = text != nullptr ? text : "";
    if (text != nullptr)
        ::LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
        reason.pop_back();
    return (reason.empty() ? "" : reason + " ") + "(Windows sockets error " + std::to_string(error) + ")";
}

} // namespace

std::string udpPortProblem(std::uint16_t port, bool &inUse) {
    inUse = false;
    const SocketLibrary library;
    if (!library.started())
        return "the sockets cannot start";
    const SOCKET probe = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (probe == INVALID_SOCKET)
        return socketErrorText(::WSAGetLastError());
    const auto address = ipv4SocketAddress(INADDR_ANY, port);
    std::string problem;
    if (::bind(probe, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        const int error = ::WSAGetLastError();
        inUse = error == WSAEADDRINUSE || error == WSAEACCES;
        problem = socketErrorText(error);
    }
    ::closesocket(probe);
    return problem;
}

bool sendEmptyDatagramToLocalPort(std::uint16_t port) {
    const SocketLibrary library;
    if (!library.started())
        return false;
    const SOCKET sender = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (sender == INVALID_SOCKET)
        return false;
    const auto address = ipv4SocketAddress(INADDR_LOOPBACK, port);
    const bool sent =
        ::sendto(sender, "", 0, 0, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::closesocket(sender);
    return sent;
}

// ---- The link check's socket toward the peer ----

namespace {

PeerAnswer answerOf(int error) {
    switch (error) {
    case WSAECONNRESET:
    case WSAECONNREFUSED:
        return PeerAnswer::portUnreachable;
    case WSAEHOSTUNREACH:
    case WSAEHOSTDOWN:
        return PeerAnswer::hostUnreachable;
    case WSAENETUNREACH:
    case WSAENETDOWN:
        return PeerAnswer::networkUnreachable;
    default:
        return PeerAnswer::otherError;
    }
}

} // namespace

struct PeerSocket::State {
    // The socket library stays started for the socket's whole life.
    bool started = false;
    SOCKET socket = INVALID_SOCKET;
    std::uint32_t localAddress = 0;
};

PeerSocket::PeerSocket() : state_(new State) {}

PeerSocket::~PeerSocket() {
    if (state_->socket != INVALID_SOCKET)
        ::closesocket(state_->socket);
    if (state_->started)
        ::WSACleanup();
    delete state_;
}

bool PeerSocket::connect(std::uint32_t address, std::uint16_t port, std::string &error) {
    WSADATA data;
    if (!state_->started) {
        if (::WSAStartup(MAKEWORD(1, 1), &data) != 0) {
            error = "the sockets cannot start";
            return false;
        }
        state_->started = true;
    }
    const SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (socket == INVALID_SOCKET) {
        error = socketErrorText(::WSAGetLastError());
        return false;
    }
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = ::htonl(address);
    peer.sin_port = ::htons(port);
    u_long nonBlocking = 1;
    if (::connect(socket, reinterpret_cast<const sockaddr *>(&peer), sizeof peer) != 0 ||
        ::ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) {
        error = socketErrorText(::WSAGetLastError());
        ::closesocket(socket);
        return false;
    }
    sockaddr_in local{};
    int length = sizeof local;
    if (::getsockname(socket, reinterpret_cast<sockaddr *>(&local), &length) == 0)
        state_->localAddress = ::ntohl(local.sin_addr.s_addr);
    state_->socket = socket;
    return true;
}

std::uint32_t PeerSocket::localAddress() const { return state_->localAddress; }

PeerSocket::Sent PeerSocket::sendEmptyDatagram() {
    Sent result;
    const SOCKET socket = state_->socket;
    if (socket == INVALID_SOCKET)
        return result;
    // Each report of the network fails one receive; datagrams that came
    // from the peer's address are of no use and are dropped.
    for (int reads = 0; reads < 256; ++reads) {
        char data[512];
        if (::recv(socket, data, sizeof data, 0) != SOCKET_ERROR)
            continue;
        const int error = ::WSAGetLastError();
        if (error == WSAEWOULDBLOCK)
            break;
        if (error == WSAEMSGSIZE)
            continue;
        result.answers.push_back(answerOf(error));
        if (answerOf(error) == PeerAnswer::otherError)
            break;
    }
    if (::send(socket, "", 0, 0) != SOCKET_ERROR) {
        result.sent = true;
    } else {
        const int error = ::WSAGetLastError();
        if (error == WSAEWOULDBLOCK)
            result.sent = true;
        else
            result.answers.push_back(answerOf(error));
    }
    return result;
}

} // namespace parlino::host::system
