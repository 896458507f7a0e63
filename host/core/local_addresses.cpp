#include "host/core/local_addresses.h"

#include "host/core/chat_names.h"
#include "host/core/ipv4_endpoint.h"

#include <algorithm>

namespace parlino::host {
namespace {

bool isLoopback(std::uint32_t address) { return address >> 24 == 127; }

} // namespace

std::vector<ShownAddress> addressesToShow(std::string_view moduleAddress,
                                          const std::vector<system::LocalIpv4> &networks, std::string_view peer) {
    const auto peerAddress = readDottedIpv4(peer);
    const bool peerOnLoopback = peerAddress && isLoopback(*peerAddress);
    std::vector<std::uint32_t> order;
    if (const auto fromModule = readDottedIpv4(moduleAddress); fromModule && *fromModule != 0)
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
                if (network.address == address && network.netmask != 0 &&
                    (network.address & network.netmask) == (*peerAddress & network.netmask))
                    entry.onPeersNetwork = marked = true;
        }
        shown.push_back(std::move(entry));
    }
    return shown;
}

} // namespace parlino::host
