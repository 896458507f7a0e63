// This PC's addresses as a chat window lists them: the module's my-IP
// answer and every other address the system knows, the one on the peer's
// network marked: the address the other side should send to.
#pragma once

#include "host/core/system.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlino::host {

struct ShownAddress {
    std::string address; // dotted
    bool onPeersNetwork = false;
};

// The module's answer first (unless it is 0.0.0.0, no address), then the
// system's other addresses in the system's order, each once. Loopback
// addresses only when the peer is on loopback. `peer` is dotted, or empty
// while it is not known; the first address whose network holds it is
// marked, and none is when it is on none of them (a router between).
std::vector<ShownAddress> addressesToShow(std::string_view moduleAddress,
                                          const std::vector<system::LocalIpv4> &networks, std::string_view peer);

} // namespace parlino::host
