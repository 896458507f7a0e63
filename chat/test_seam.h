// What the endpoint layer shows test programs only.
#pragma once

#include "chat/endpoint.h"
#include "platform/test_seam.h"

namespace parlino {

// The socket of an open endpoint, invalidSocket when the number is not open
// (or its open has not finished).
platform::SocketHandle endpointSocket(EndpointNumber number);

} // namespace parlino
