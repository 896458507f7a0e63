#include "endpoint.h"

#include "error_texts.h"
#include "lock_word.h"
#include "test_seam.h"
#include "platform/platform.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <new>

namespace parlino {
namespace {

// One receive at a time per endpoint: the receive buffer is the endpoint's
// own. 0 free, 1 taken, 2 taken and another receive may be waiting for it.
class ReceiveTurn {
  public:
    bool tryTake() {
        std::int32_t free = 0;
        return state_.compare_exchange_strong(free, 1, std::memory_order_acquire,
                                              std::memory_order_relaxed);
    }
    // Sleeps for the turn at most microsecondsLeft, which it reduces by the
    // time it waited. Taken by a waiter, the state stays 2: its release then
    // wakes the waiters, of which there may be more.
    bool take(std::uint64_t &microsecondsLeft) {
        return platform::waitUntil(
            [](void *turn) {
                return static_cast<ReceiveTurn *>(turn)->state_.exchange(2, std::memory_order_acquire) == 0;
            },
            this, microsecondsLeft);
    }
    void release() {
        if (state_.exchange(0, std::memory_order_release) == 2)
            platform::wakeWaiters();
    }

  private:
    std::atomic<std::int32_t> state_{0};
};

struct UdpEndpoint {
    UdpEndpoint *next;
    EndpointNumber number;
    platform::SocketHandle socketHandle;
    char hostName[platform::hostNameCapacity + 1];
    std::int32_t port; // network byte order in the low 16 bits, or unboundPort
    std::uint32_t timeout;
    // Set under the table lock once the open has succeeded: until then the
    // number is in use but the endpoint is not open to sends, receives or a
    // close.
    bool complete = false;
    // One for the table's link and one for each action still using the
    // record; taken under the table lock. The last one to let go closes the
    // socket and frees the record, so a close under a blocked receive (which
    // breaks the threading contract) never frees what the receive still reads.
    std::atomic<std::int32_t> users{1};
    std::atomic<bool> linked{true}; // false once closed
    ReceiveTurn receiveTurn;
    char receiveBuffer[receiveCapacity];
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

bool inUse(EndpointNumber number) {
    const Held held(tableLock);
    return findLocked(number) != nullptr;
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

void unlinkLocked(UdpEndpoint *endpoint) {
    for (auto **link = &endpointTable; *link != nullptr; link = &(*link)->next) {
        if (*link == endpoint) {
            *link = endpoint->next;
            return;
        }
    }
}

void releaseSocketAndRecord(UdpEndpoint *endpoint) {
    if (endpoint->socketHandle != platform::invalidSocket)
        platform::closeSocket(endpoint->socketHandle);
    delete endpoint;
}

// An open endpoint held for the duration of one action.
class EndpointUse {
  public:
    explicit EndpointUse(EndpointNumber number) {
        const Held held(tableLock);
        auto *found = findLocked(number);
        if (found != nullptr && found->complete) {
            found->users.fetch_add(1, std::memory_order_relaxed);
            endpoint_ = found;
        }
    }
    ~EndpointUse() {
        if (endpoint_ != nullptr)
            letGo(endpoint_);
    }
    EndpointUse(const EndpointUse &) = delete;
    EndpointUse &operator=(const EndpointUse &) = delete;

    explicit operator bool() const { return endpoint_ != nullptr; }
    UdpEndpoint &operator*() const { return *endpoint_; }
    UdpEndpoint *operator->() const { return endpoint_; }

    static void letGo(UdpEndpoint *endpoint) {
        if (endpoint->users.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            releaseSocketAndRecord(endpoint);
            platform::stopSocketLibrary();
        }
    }

  private:
    UdpEndpoint *endpoint_ = nullptr;
};

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

bool isLoopback(Ipv4Address address) {
    std::uint8_t firstOctet;
    std::memcpy(&firstOctet, &address, 1);
    return firstOctet == 127;
}

std::uint16_t lowPortBits(std::int32_t port) {
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(port) & 0xFFFF);
}

} // namespace

EndpointNumber nextFreeEndpointNumber() {
    const Held numbers(numberLock);
    return nextFreeNumberAfter(lastNumberHandedOut, inUse);
}

std::uint8_t openEndpoint(EndpointNumber number, std::int32_t port, std::uint32_t timeout) {
    if (!platform::startSocketLibrary())
        return deviceUnavailable;
    // Anything that fails from here on gives the start-up back. The record of
    // a failing open was never complete, so no other action holds it.
    const auto failWith = [](std::uint8_t error, UdpEndpoint *endpoint) {
        if (endpoint != nullptr) {
            {
                const Held held(tableLock);
                unlinkLocked(endpoint);
            }
            releaseSocketAndRecord(endpoint);
        }
        platform::stopSocketLibrary();
        return error;
    };
    if (number < 0)
        return failWith(badFileNameOrNumber, nullptr);
    if (inUse(number))
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

    platform::SocketHandle socket = platform::invalidSocket;
    if (const auto outcome = platform::openDatagramSocket(socket); outcome != platform::SocketOutcome::done)
        return failWith(socketFailure(outcome), endpoint);
    endpoint->socketHandle = socket;
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
    const Held held(tableLock);
    endpoint->complete = true;
    return noError;
}

std::uint8_t sendDatagram(EndpointNumber number, Ipv4Address address, std::int32_t port,
                          std::string_view text) {
    const EndpointUse endpoint(number);
    if (!endpoint)
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

namespace {

class TurnHeld {
  public:
    explicit TurnHeld(ReceiveTurn &turn) : turn_(turn) {}
    ~TurnHeld() { turn_.release(); }
    TurnHeld(const TurnHeld &) = delete;
    TurnHeld &operator=(const TurnHeld &) = delete;

  private:
    ReceiveTurn &turn_;
};

} // namespace

std::uint8_t receiveDatagram(EndpointNumber number, ReceivedDatagram &datagram) {
    datagram.text.clear();
    datagram.sender = 0;
    datagram.senderPort = 0;
    const EndpointUse endpoint(number);
    if (!endpoint)
        return badFileNameOrNumber;
    std::uint32_t seconds = endpoint->timeout >> 10;
    std::uint32_t microseconds = (endpoint->timeout & 1023) << 10;
    if (!endpoint->receiveTurn.tryTake()) {
        // Another receive is under way: wait for it within this receive's own
        // time, then wait on the socket for what is left.
        std::uint64_t left = std::uint64_t{seconds} * 1000000 + microseconds;
        if (!endpoint->receiveTurn.take(left))
            return deviceTimeout;
        seconds = static_cast<std::uint32_t>(left / 1000000);
        microseconds = static_cast<std::uint32_t>(left % 1000000);
    }
    const TurnHeld turn(endpoint->receiveTurn);
    // Closed meanwhile by another thread: a datagram would no longer be the
    // caller's. Checked before each read, the one without a wait included.
    const auto stillOpen = [&endpoint] { return endpoint->linked.load(std::memory_order_acquire); };
    if (!stillOpen())
        return badFileNameOrNumber;
    std::size_t received = 0;
    std::uint32_t sender = 0;
    std::uint16_t senderPort = 0;
    // A line is usually queued already: where the platform can, it is taken
    // without a wait in front of it, and the wait comes only when none is.
    bool takenAtOnce = false;
    if (const auto outcome = platform::receiveIfQueued(
            endpoint->socketHandle, endpoint->receiveBuffer, sizeof endpoint->receiveBuffer,
            received, sender, senderPort, takenAtOnce);
        outcome != platform::SocketOutcome::done)
        return socketFailure(outcome);
    if (!takenAtOnce) {
        bool readable = false;
        if (const auto outcome =
                platform::waitReadable(endpoint->socketHandle, seconds, microseconds, readable);
            outcome != platform::SocketOutcome::done)
            return socketFailure(outcome);
        if (!readable)
            return deviceTimeout;
        if (!stillOpen())
            return badFileNameOrNumber;
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
    const EndpointUse endpoint(number);
    return endpoint ? endpoint->socketHandle : platform::invalidSocket;
}

std::uint8_t closeEndpoint(EndpointNumber number) {
    UdpEndpoint *endpoint = nullptr;
    {
        const Held held(tableLock);
        endpoint = findLocked(number);
        if (endpoint == nullptr || !endpoint->complete)
            return noError;
        unlinkLocked(endpoint);
        endpoint->linked.store(false, std::memory_order_release);
    }
    // The table's use: with no action in flight, the socket closes here.
    EndpointUse::letGo(endpoint);
    return noError;
}

Ipv4Address hostAddress(std::string_view name, std::int32_t index) {
    if (!platform::startSocketLibrary())
        return 0;
    Ipv4Address address = 0;
    try {
        const std::string zeroTerminated(name.substr(0, name.find('\0')));
        if (zeroTerminated.empty()) {
            // This machine: where it has no interface up, a platform may answer
            // from its own name, which often resolves to loopback alone.
            std::int32_t seen = 0;
            for (std::int32_t at = 1; index >= 1 && seen < index; ++at) {
                address = platform::lookUpHostAddress("", at);
                if (address == 0)
                    break;
                if (!isLoopback(address))
                    ++seen;
            }
        } else if (index >= 1) {
            address = platform::lookUpHostAddress(zeroTerminated.c_str(), index);
        }
    } catch (const std::bad_alloc &) {
        address = 0;
    }
    platform::stopSocketLibrary();
    return address;
}

} // namespace parlino
