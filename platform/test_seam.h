// What the platform offers test programs only: they link local_port.cpp,
// the module does not.
#pragma once

#include "platform/platform.h"

namespace parlino::platform {

// The port a socket is bound to, in network byte order (tests read back the
// port the system chose for port 0).
SocketOutcome localPort(SocketHandle socket, std::uint16_t &portNetworkOrder);

} // namespace parlino::platform
