#include "host/core/ipv4_endpoint.h"

#include "host/core/chat_names.h"

namespace parlino::host {

std::optional<std::uint32_t> readDottedIpv4(std::string_view text) {
    if (!isDottedIpv4(text))
        return std::nullopt;
    std::uint32_t address = 0, octet = 0;
    for (const char c : text) {
        if (c == '.') {
            address = address << 8 | octet;
            octet = 0;
        } else {
            octet = octet * 10 + static_cast<std::uint32_t>(c - '0');
        }
    }
    return address << 8 | octet;
}

std::string dottedIpv4(std::uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 0xFF) + "." +
           std::to_string(address >> 8 & 0xFF) + "." + std::to_string(address & 0xFF);
}

std::string endpointText(const Ipv4Endpoint &endpoint) {
    return dottedIpv4(endpoint.address) + ":" + std::to_string(endpoint.port);
}

bool isPrivateIpv4(std::uint32_t address) {
    return (address >> 24) == 10 || (address >> 20) == (172u << 4 | 1) || (address >> 16) == (192u << 8 | 168) ||
           (address >> 22) == (100u << 2 | 1);
}

bool isLoopbackIpv4(std::uint32_t address) { return (address >> 24) == 127; }

std::string localAddressText(const system::LocalIpv4 &local) {
    int bits = 0;
    for (std::uint32_t mask = local.netmask; mask & 0x80000000u; mask <<= 1)
        ++bits;
    return dottedIpv4(local.address) + "/" + std::to_string(bits);
}

bool sharesNetwork(const system::LocalIpv4 &local, std::uint32_t address) {
    return (local.address & local.netmask) == (address & local.netmask);
}

} // namespace parlino::host
