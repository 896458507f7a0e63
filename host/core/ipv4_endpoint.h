// IPv4 addresses as numbers, as the link check compares them: read from and
// written as dotted text, and judged (private, loopback, on a network of
// this machine's).
#pragma once

#include "host/core/system.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace parlino::host {

// An IPv4 address (first octet in the top byte) and a port.
struct Ipv4Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    bool operator==(const Ipv4Endpoint &) const = default;
};

// Four decimal octets, as isDottedIpv4 accepts them.
std::optional<std::uint32_t> readDottedIpv4(std::string_view text);
std::string dottedIpv4(std::uint32_t address);
std::string endpointText(const Ipv4Endpoint &endpoint);
// 10/8, 172.16/12, 192.168/16 and the carriers' 100.64/10: addresses that
// only a router that translates addresses takes onto the internet.
bool isPrivateIpv4(std::uint32_t address);
bool isLoopbackIpv4(std::uint32_t address);
// ADDRESS/BITS, such as 192.168.1.20/24.
std::string localAddressText(const system::LocalIpv4 &local);
bool sharesNetwork(const system::LocalIpv4 &local, std::uint32_t address);

} // namespace parlino::host
