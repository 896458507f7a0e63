#include "host/core/local_addresses.h"

#include "host/core/chat_names.h"

#include <algorithm>

namespace parlino::host {
namespace {

bool isLoopback(std::uint32_t address) { return address >> 24 == 127; }

} // namespace

std::optional<std::uint32_t> parseDottedIpv4(std::string_view text) {
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

std::vector<ShownAddress> addressesToShow(std::string_view moduleAddress,
                                          const std::vector<system::Ipv4Network> &networks, std::string_view peer) {
    const auto peerAddress = parseDottedIpv4(peer);
    const bool peerOnLoopback = peerAddress && isLoopback(*peerAddress);
    std::vector<std::uint32_t> order;
    if (const auto fromModule = parseDottedIpv4(moduleAddress); fromModule && *fromModule != 0)
        order.push_back(*fromModule);
    for (const auto &network : networks)
        if (network.address != 0 && (!isLoopback(network.address) || peerOnLoopback) &&
            std::find(order.begin(), order.end(), network.address) == order.end())
            order.push_back(network.address);

    std::vector<ShownAddress> shown;
    bool marked = false;
    for (const auto address : order) {
        ShownAddress entry{dottedIpv4(address), false};
        if (!marked && peerAddress) {
            // A mask of 0 (a default route's) would hold every peer.
            for (const auto &network : networks)
                if (network.address == address && network.mask != 0 &&
                    (network.address & network.mask) == (*peerAddress & network.mask))
                    entry.onPeersNetwork = marked = true;
        }
        shown.push_back(std::move(entry));
    }
    return shown;
}

} // namespace parlino::host
