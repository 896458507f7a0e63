#include "platform/test_seam.h"

#include <winsock2.h>

namespace parlino::platform {

SocketOutcome localPort(SocketHandle socket, std::uint16_t &portNetworkOrder) {
    sockaddr_in address{};
    int length = sizeof address;
    if (::getsockname(static_cast<SOCKET>(socket), reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return SocketOutcome::failed;
    portNetworkOrder = address.sin_port;
    return SocketOutcome::done;
}

} // namespace parlino::platform
