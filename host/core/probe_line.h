// The link check's probe line: what one check sends the other, written and
// read in exactly one form. It is plain text that a publication on the
// other side shows as it is:
//   parlino check probe 7 from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 6 of 6, newest 12 held 120.403 ms
// and, before any of the other side's probes was heard:
//   parlino check probe 1 from 198.18.0.1:40001 (linux) to 198.18.0.2:40002, heard 0
#pragma once

#include "host/core/ipv4_endpoint.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace parlino::host {

struct Probe {
    std::uint32_t number = 0;       // 1 for a check's first probe
    Ipv4Endpoint from;              // the address the sender's system sends from toward the peer, and its port
    std::string platform;           // the sender's system, "linux" or "windows": whose firewall it has
    Ipv4Endpoint to;                // where the sender sends: its --peer
    std::uint32_t heard = 0;        // how many of the other side's probes it has heard
    std::uint32_t heardOf = 0;      // of how many sent from the first to the newest of them it heard
    std::uint32_t newest = 0;       // the number of the newest of them, 0 before one
    std::uint64_t heldMicroseconds = 0; // from hearing `newest` to sending this probe
    bool operator==(const Probe &) const = default;
};

std::string probeText(const Probe &probe);
// The probe a line holds, or nothing when the line is anything else.
std::optional<Probe> parseProbe(std::string_view line);

} // namespace parlino::host
