// Which of this PC's addresses a chat window lists, and which it marks as
// the one on the peer's network: the address the other side should send to.
#include "host/core/ipv4_endpoint.h"
#include "host/core/local_addresses.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace parlino::host {
namespace {

system::LocalIpv4 network(const char *address, const char *mask) {
    return {*readDottedIpv4(address), *readDottedIpv4(mask)};
}

// "192.168.1.20*, 10.8.0.2": the marked one with a star.
std::string listed(const std::vector<ShownAddress> &shown) {
    std::string text;
    for (const auto &entry : shown)
        text += (text.empty() ? "" : ", ") + entry.address + (entry.onPeersNetwork ? "*" : "");
    return text;
}

TEST(LocalAddresses, ListsTheModulesFirstAndMarksThePeersNetwork) {
    const std::vector<system::LocalIpv4> home = {network("127.0.0.1", "255.0.0.0"),
                                                   network("192.168.1.20", "255.255.255.0"),
                                                   network("10.8.0.2", "255.255.0.0")};
    const struct {
        const char *moduleAddress;
        std::vector<system::LocalIpv4> networks;
        const char *peer;
        const char *shown;
    } cases[] = {
        {"192.168.1.20", home, "", "192.168.1.20, 10.8.0.2"},
        {"192.168.1.20", home, "192.168.1.21", "192.168.1.20*, 10.8.0.2"},
        {"192.168.1.20", home, "10.8.200.7", "192.168.1.20, 10.8.0.2*"},
        {"10.8.0.2", home, "192.168.1.255", "10.8.0.2, 192.168.1.20*"},
        // One PC: loopback is listed only for a peer on it.
        {"192.168.1.20", home, "127.0.0.1", "192.168.1.20, 127.0.0.1*, 10.8.0.2"},
        {"192.168.1.20", home, "127.44.0.9", "192.168.1.20, 127.0.0.1*, 10.8.0.2"},
        // Beyond a router, or not an address yet: nothing marked.
        {"192.168.1.20", home, "192.168.2.1", "192.168.1.20, 10.8.0.2"},
        {"192.168.1.20", home, "192.168.1", "192.168.1.20, 10.8.0.2"},
        {"192.168.1.20", home, "192.168.1.21:40001", "192.168.1.20, 10.8.0.2"},
        // No network: the module says 0.0.0.0.
        {"0.0.0.0", {network("127.0.0.1", "255.0.0.0")}, "", ""},
        {"", {}, "192.168.1.21", ""},
        // The module's answer, where the system does not list it, has no
        // mask to judge by; the system's own address still gets the mark.
        {"192.0.2.2", {network("192.168.1.20", "255.255.255.0")}, "192.0.2.3", "192.0.2.2, 192.168.1.20"},
        {"192.0.2.2", {network("192.168.1.20", "255.255.255.0")}, "192.168.1.9", "192.0.2.2, 192.168.1.20*"},
        // Two on one network: the first is the one to give; a mask of 0
        // (a route to everywhere) holds every peer and marks nothing.
        {"192.168.1.20",
         {network("192.168.1.20", "255.255.255.0"), network("192.168.1.30", "255.255.255.0")},
         "192.168.1.40",
         "192.168.1.20*, 192.168.1.30"},
        {"10.0.0.1", {network("10.0.0.1", "0.0.0.0")}, "8.8.8.8", "10.0.0.1"},
        // Each address once, even when the system lists it twice.
        {"192.168.1.20", {network("192.168.1.20", "255.255.255.0"), network("192.168.1.20", "255.255.255.0")},
         "", "192.168.1.20"},
    };
    for (const auto &row : cases)
        EXPECT_EQ(listed(addressesToShow(row.moduleAddress, row.networks, row.peer)), row.shown)
            << "module " << row.moduleAddress << ", peer " << row.peer;
}

TEST(LocalAddresses, DottedTextAndNumberAgree) {
    for (const char *text : {"0.0.0.0", "127.0.0.1", "192.168.1.20", "255.255.255.255", "10.0.200.3"})
        EXPECT_EQ(dottedIpv4(*readDottedIpv4(text)), text);
    EXPECT_EQ(*readDottedIpv4("192.168.1.20"), 0xC0A80114u);
    for (const char *text : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "01.2.3.4", "1.2.3.4 ", "a.b.c.d"})
        EXPECT_FALSE(readDottedIpv4(text)) << text;
}

TEST(LocalAddresses, TheSystemListsLoopback) {
    const auto networks = system::localIpv4Addresses();
    const auto loopback = *readDottedIpv4("127.0.0.1");
    EXPECT_TRUE(std::any_of(networks.begin(), networks.end(), [&](const system::LocalIpv4 &network) {
        return network.address == loopback && network.netmask == 0xFF000000u;
    }));
}

} // namespace
} // namespace parlino::host
