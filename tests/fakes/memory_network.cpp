#include "fakes/memory_network.h"

#include <algorithm>
#include <cstring>

namespace parlino::testing {

struct MemoryNetworkAccess {
    static platform::SocketHandle newHandle(MemoryNetwork &network) { return network.nextHandle_++; }
    static std::uint16_t ephemeralPort(MemoryNetwork &network) {
        for (;;) {
            const auto port = network.nextEphemeralPort_++;
            if (network.nextEphemeralPort_ == 0)
                network.nextEphemeralPort_ = 49152;
            if (network.boundTo(port) == nullptr && !network.portsHeldElsewhere.contains(port))
                return port;
        }
    }
};

MemoryNetwork &memoryNetwork() {
    static MemoryNetwork network;
    return network;
}

void MemoryNetwork::reset() {
    sockets.clear();
    sent.clear();
    sendCount = 0;
    libraryStarts = 0;
    misuses = 0;
    portsHeldElsewhere.clear();
}

MemorySocket *MemoryNetwork::boundTo(std::uint16_t port) {
    for (auto &[handle, socket] : sockets)
        if (socket.boundPort == port)
            return &socket;
    return nullptr;
}

bool MemoryNetwork::deliver(std::uint16_t port, std::string bytes, std::uint32_t from,
                            std::uint16_t fromPort) {
    auto *socket = boundTo(port);
    if (socket == nullptr || socket->queue.size() >= queueLimit)
        return false;
    socket->queue.push_back({std::move(bytes), from, fromPort});
    return true;
}

namespace {

MemorySocket *socketOf(platform::SocketHandle handle) {
    auto &network = memoryNetwork();
    const auto found = network.sockets.find(handle);
    if (found == network.sockets.end()) {
        ++network.misuses;
        return nullptr;
    }
    return &found->second;
}

std::uint16_t hostOrder(std::uint16_t networkOrder) {
    std::uint8_t bytes[2];
    std::memcpy(bytes, &networkOrder, 2);
    return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

std::uint16_t networkOrder(std::uint16_t port) {
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(port >> 8), static_cast<std::uint8_t>(port)};
    std::uint16_t value;
    std::memcpy(&value, bytes, 2);
    return value;
}

bool isLoopback(std::uint32_t address) { return (address & 0xFF) == 127; }

constexpr std::uint32_t loopbackAddress = 0x0100007F; // 127.0.0.1
constexpr std::uint32_t broadcastAddress = 0xFFFFFFFF;

} // namespace
} // namespace parlino::testing

namespace parlino::platform {

using testing::memoryNetwork;

bool startSocketLibrary() {
    ++memoryNetwork().libraryStarts;
    return true;
}

void stopSocketLibrary() {
    if (--memoryNetwork().libraryStarts < 0)
        ++memoryNetwork().misuses;
}

SocketOutcome openDatagramSocket(SocketHandle &socket) {
    auto &network = memoryNetwork();
    if (network.sockets.size() >= testing::MemoryNetwork::socketLimit)
        return SocketOutcome::failed;
    socket = testing::MemoryNetworkAccess::newHandle(network);
    network.sockets[socket] = {};
    return SocketOutcome::done;
}

void closeSocket(SocketHandle socket) {
    auto &network = memoryNetwork();
    if (network.sockets.erase(socket) == 0)
        ++network.misuses;
}

SocketOutcome readHostName(char (&name)[hostNameCapacity]) {
    std::strcpy(name, "memory-host");
    return SocketOutcome::done;
}

SocketOutcome bindToAnyAddress(SocketHandle socket, std::uint16_t portNetworkOrder) {
    auto &network = memoryNetwork();
    auto *bound = testing::socketOf(socket);
    if (bound == nullptr || bound->boundPort.has_value())
        return SocketOutcome::failed;
    auto port = testing::hostOrder(portNetworkOrder);
    if (port == 0)
        port = testing::MemoryNetworkAccess::ephemeralPort(network);
    else if (network.boundTo(port) != nullptr || network.portsHeldElsewhere.contains(port))
        return SocketOutcome::failed;
    bound->boundPort = port;
    return SocketOutcome::done;
}

SocketOutcome waitReadable(SocketHandle socket, std::uint32_t, std::uint32_t, bool &readable) {
    const auto *waited = testing::socketOf(socket);
    if (waited == nullptr)
        return SocketOutcome::failed;
    readable = !waited->queue.empty(); // nothing will arrive while the module waits
    return SocketOutcome::done;
}

SocketOutcome waitWritable(SocketHandle socket) {
    return testing::socketOf(socket) != nullptr ? SocketOutcome::done : SocketOutcome::failed;
}

SocketOutcome receiveFrom(SocketHandle socket, char *buffer, std::size_t capacity,
                          std::size_t &received, std::uint32_t &senderAddress,
                          std::uint16_t &senderPortNetworkOrder) {
    auto *receiving = testing::socketOf(socket);
    if (receiving == nullptr)
        return SocketOutcome::failed;
    if (receiving->queue.empty()) {
        ++memoryNetwork().misuses; // a real socket would block here for ever
        return SocketOutcome::failed;
    }
    auto datagram = std::move(receiving->queue.front());
    receiving->queue.pop_front();
    received = std::min(capacity, datagram.bytes.size()); // the rest is discarded, as UDP does
    std::memcpy(buffer, datagram.bytes.data(), received);
    senderAddress = datagram.address;
    senderPortNetworkOrder = testing::networkOrder(datagram.port);
    return SocketOutcome::done;
}

SocketOutcome sendTo(SocketHandle socket, const char *bytes, std::size_t length,
                     std::uint32_t address, std::uint16_t portNetworkOrder, std::size_t &sent) {
    auto &network = memoryNetwork();
    auto *sending = testing::socketOf(socket);
    const auto port = testing::hostOrder(portNetworkOrder);
    if (sending == nullptr || length > testing::MemoryNetwork::largestDatagram ||
        address == testing::broadcastAddress || port == 0)
        return SocketOutcome::failed;
    if (!sending->boundPort.has_value())
        sending->boundPort = testing::MemoryNetworkAccess::ephemeralPort(network);
    testing::MemoryDatagram datagram{std::string(bytes, length), address, port};
    if (testing::isLoopback(address))
        network.deliver(port, datagram.bytes, testing::loopbackAddress, *sending->boundPort);
    network.sent.push_back(std::move(datagram));
    if (network.sent.size() > testing::MemoryNetwork::sentKept)
        network.sent.pop_front();
    ++network.sendCount;
    sent = length;
    return SocketOutcome::done;
}

// Nothing arrives while the module waits, so a datagram is either queued
// now or never; a send always finds room.
SocketOutcome receiveIfQueued(SocketHandle socket, char *buffer, std::size_t capacity,
                              std::size_t &received, std::uint32_t &senderAddress,
                              std::uint16_t &senderPortNetworkOrder, bool &done) {
    const auto *receiving = testing::socketOf(socket);
    if (receiving == nullptr)
        return SocketOutcome::failed;
    done = !receiving->queue.empty();
    if (!done)
        return SocketOutcome::done;
    return receiveFrom(socket, buffer, capacity, received, senderAddress, senderPortNetworkOrder);
}

SocketOutcome sendIfRoom(SocketHandle socket, const char *bytes, std::size_t length,
                         std::uint32_t address, std::uint16_t portNetworkOrder, std::size_t &sent,
                         bool &done) {
    done = true;
    return sendTo(socket, bytes, length, address, portNetworkOrder, sent);
}

std::uint32_t lookUpHostAddress(const char *name, std::int32_t index) {
    // Names are never resolved here; the local machine has one address.
    return name[0] == '\0' && index == 1 ? memoryNetwork().localAddress : 0;
}

SocketOutcome localPort(SocketHandle socket, std::uint16_t &portNetworkOrder) {
    const auto *bound = testing::socketOf(socket);
    if (bound == nullptr || !bound->boundPort.has_value())
        return SocketOutcome::failed;
    portNetworkOrder = testing::networkOrder(*bound->boundPort);
    return SocketOutcome::done;
}

} // namespace parlino::platform
