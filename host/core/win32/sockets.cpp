// The host's own sockets beside the module's: a name looked up, a port
// tried, a receive woken.
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

} // namespace parlino::host::system
