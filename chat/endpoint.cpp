#include "endpoint.h"

#include "error_texts.h"
#include "platform/platform.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <new>

namespace parlino {
namespace {

struct UdpEndpoint {
    UdpEndpoint *next;
    EndpointNumber number;
    platform::SocketHandle socketHandle;
    char hostName[platform::hostNameCapacity + 1];
    std::int32_t port; // network byte order in the low 16 bits, or unboundPort
    std::uint32_t timeout;
    char receiveBuffer[receiveCapacity];
};

// A busy-wait lock word: -1 exchanged in takes it, 0 stored releases it.
class LockWord {
  public:
    void take() {
        while (word_.exchange(-1, std::memory_order_acquire) != 0) {
        }
    }
    void release() { word_.store(0, std::memory_order_release); }

  private:
    std::atomic<std::int32_t> word_{0};
};

class Held {
  public:
    explicit Held(LockWord &lock) : lock_(lock) { lock_.take(); }
    ~Held() { lock_.release(); }
    Held(const Held &) = delete;
    Held &operator=(const Held &) = delete;

  private:
    LockWord &lock_;
};

// Always taken in this order: numberLock, then tableLock.
LockWord numberLock;
LockWord tableLock;
UdpEndpoint *endpointTable = nullptr; // newest first; guarded by tableLock
std::uint16_t lastNumberHandedOut = 0; // guarded by numberLock

UdpEndpoint *findLocked(EndpointNumber number) {
    for (auto *endpoint = endpointTable; endpoint != nullptr; endpoint = endpoint->next)
        if (endpoint->number == number)
            return endpoint;
    return nullptr;
}

UdpEndpoint *find(EndpointNumber number) {
    const Held held(tableLock);
    return findLocked(number);
}

// Inserts the record unless its number is in use; the check and the insert
// happen under one hold of the lock, so two opens of one number cannot both win.
bool insertIfFree(UdpEndpoint *endpoint) {
    const Held held(tableLock);
    if (findLocked(endpoint->number) != nullptr)
        return false;
    endpoint->next = endpointTable;
    endpointTable = endpoint;
    return true;
}

UdpEndpoint *unlink(EndpointNumber number) {
    const Held held(tableLock);
    for (auto **link = &endpointTable; *link != nullptr; link = &(*link)->next) {
        if ((*link)->number == number) {
            auto *endpoint = *link;
            *link = endpoint->next;
            return endpoint;
        }
    }
    return nullptr;
}

std::uint8_t socketFailure(platform::SocketOutcome outcome) {
    return outcome == platform::SocketOutcome::blockingCallInProgress ? permissionDenied
                                                                      : deviceIoError;
}

std::uint16_t toNetworkOrder(std::uint16_t port) {
    const std::array<std::uint8_t, 2> bytes{static_cast<std::uint8_t>(port >> 8),
                                            static_cast<std::uint8_t>(port)};
    std::uint16_t value;
    std::memcpy(&value, bytes.data(), sizeof value);
    return value;
}

std::uint16_t toHostOrder(std::uint16_t networkPort) {
    std::array<std::uint8_t, 2> bytes;
    std::memcpy(bytes.data(), &networkPort, sizeof networkPort);
    return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

std::uint16_t lowPortBits(std::int32_t port) {
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(port) & 0xFFFF);
}

} // namespace

EndpointNumber nextFreeEndpointNumber() {
    const Held numbers(numberLock);
    return nextFreeNumberAfter(lastNumberHandedOut,
                               [](EndpointNumber number) { return find(number) != nullptr; });
}

std::uint8_t openEndpoint(EndpointNumber number, std::int32_t port, std::uint32_t timeout) {
    if (!platform::startSocketLibrary())
        return deviceUnavailable;
    // Anything that fails from here on gives the start-up back.
    const auto failWith = [](std::uint8_t error, UdpEndpoint *endpoint) {
        if (endpoint != nullptr) {
            if (endpoint->socketHandle != platform::invalidSocket)
                platform::closeSocket(endpoint->socketHandle);
            delete unlink(endpoint->number);
        }
        platform::stopSocketLibrary();
        return error;
    };
    if (number < 0)
        return failWith(badFileNameOrNumber, nullptr);
    if (find(number) != nullptr)
        return failWith(fileIsOpen, nullptr);

    auto *endpoint = new (std::nothrow) UdpEndpoint;
    if (endpoint == nullptr)
        return failWith(outOfMemory, nullptr);
    endpoint->number = number;
    endpoint->socketHandle = platform::invalidSocket;
    endpoint->hostName[0] = '\0';
    endpoint->port = port == unboundPort ? unboundPort : toNetworkOrder(lowPortBits(port));
    endpoint->timeout = timeout;
    if (!insertIfFree(endpoint)) {
        delete endpoint;
        return failWith(fileIsOpen, nullptr);
    }

    if (const auto outcome = platform::openDatagramSocket(endpoint->socketHandle);
        outcome != platform::SocketOutcome::done) {
        endpoint->socketHandle = platform::invalidSocket;
        return failWith(socketFailure(outcome), endpoint);
    }
    char hostName[platform::hostNameCapacity];
    if (const auto outcome = platform::readHostName(hostName);
        outcome != platform::SocketOutcome::done)
        return failWith(socketFailure(outcome), endpoint);
    if (endpoint->port != unboundPort) {
        const auto outcome = platform::bindToAnyAddress(endpoint->socketHandle,
                                                        static_cast<std::uint16_t>(endpoint->port));
        if (outcome != platform::SocketOutcome::done)
            return failWith(socketFailure(outcome), endpoint);
    }
    const auto nameLength = static_cast<std::size_t>(
        std::find(hostName, hostName + sizeof hostName, '\0') - hostName);
    std::memcpy(endpoint->hostName, hostName, nameLength);
    endpoint->hostName[nameLength] = '\0';
    return noError;
}

std::uint8_t sendDatagram(EndpointNumber number, Ipv4Address address, std::int32_t port,
                          std::string_view text) {
    auto *endpoint = find(number);
    if (endpoint == nullptr)
        return badFileNameOrNumber;
    // Address 0 is what unreadable address text gives. Some stacks deliver it
    // to this machine; refusing it everywhere lets the user see the mistake.
    if (address == 0)
        return deviceIoError;
    const auto portNetworkOrder = toNetworkOrder(lowPortBits(port));
    std::size_t sent = 0;
    bool sentAtOnce = false;
    if (const auto outcome = platform::sendIfRoom(endpoint->socketHandle, text.data(), text.size(),
                                                  address, portNetworkOrder, sent, sentAtOnce);
        outcome != platform::SocketOutcome::done)
        return socketFailure(outcome);
    if (!sentAtOnce) {
        if (const auto outcome = platform::waitWritable(endpoint->socketHandle);
            outcome != platform::SocketOutcome::done)
            return socketFailure(outcome);
        if (const auto outcome = platform::sendTo(endpoint->socketHandle, text.data(), text.size(),
                                                  address, portNetworkOrder, sent);
            outcome != platform::SocketOutcome::done)
            return socketFailure(outcome);
    }
    return sent < text.size() ? deviceIoError : noError;
}

std::uint8_t receiveDatagram(EndpointNumber number, ReceivedDatagram &datagram) {
    datagram = ReceivedDatagram{};
    auto *endpoint = find(number);
    if (endpoint == nullptr)
        return badFileNameOrNumber;
    std::size_t received = 0;
    std::uint32_t sender = 0;
    std::uint16_t senderPort = 0;
    bool takenAtOnce = false;
    if (const auto outcome = platform::receiveIfQueued(
            endpoint->socketHandle, endpoint->receiveBuffer, sizeof endpoint->receiveBuffer,
            received, sender, senderPort, takenAtOnce);
        outcome != platform::SocketOutcome::done)
        return socketFailure(outcome);
    if (!takenAtOnce) {
        const std::uint32_t seconds = endpoint->timeout >> 10;
        const std::uint32_t microseconds = (endpoint->timeout & 1023) << 10;
        bool readable = false;
        if (const auto outcome =
                platform::waitReadable(endpoint->socketHandle, seconds, microseconds, readable);
            outcome != platform::SocketOutcome::done)
            return socketFailure(outcome);
        if (!readable)
            return deviceTimeout;
        if (const auto outcome =
                platform::receiveFrom(endpoint->socketHandle, endpoint->receiveBuffer,
                                      sizeof endpoint->receiveBuffer, received, sender, senderPort);
            outcome != platform::SocketOutcome::done)
            return socketFailure(outcome);
    }
    try {
        datagram.text.assign(endpoint->receiveBuffer, received);
    } catch (const std::bad_alloc &) {
        return outOfMemory;
    }
    datagram.sender = sender;
    datagram.senderPort = toHostOrder(senderPort);
    return noError;
}

platform::SocketHandle endpointSocket(EndpointNumber number) {
    const auto *endpoint = find(number);
    return endpoint != nullptr ? endpoint->socketHandle : platform::invalidSocket;
}

std::uint8_t closeEndpoint(EndpointNumber number) {
    auto *endpoint = unlink(number);
    if (endpoint == nullptr)
        return noError;
    platform::closeSocket(endpoint->socketHandle);
    platform::stopSocketLibrary();
    delete endpoint;
    return noError;
}

Ipv4Address hostAddress(std::string_view name, std::int32_t index) {
    if (!platform::startSocketLibrary())
        return 0;
    Ipv4Address address = 0;
    try {
        const std::string zeroTerminated(name.substr(0, name.find('\0')));
        if (index >= 1)
            address = platform::lookUpHostAddress(zeroTerminated.c_str(), index);
    } catch (const std::bad_alloc &) {
        address = 0;
    }
    platform::stopSocketLibrary();
    return address;
}

} // namespace parlino
