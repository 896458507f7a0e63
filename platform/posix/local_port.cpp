#include "platform/test_seam.h"

#include <netinet/in.h>
#include <sys/socket.h>

namespace parlino::platform {

SocketOutcome localPort(SocketHandle socket, std::uint16_t &portNetworkOrder) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(static_cast<int>(socket), reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return SocketOutcome::failed;
    portNetworkOrder = address.sin_port;
    return SocketOutcome::done;
}

} // namespace parlino::platform
