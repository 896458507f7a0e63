// IPv4 UDP over Windows Sockets 2.0 as exported by WSOCK32.DLL. Only the
// calls below are imported: byte order is swapped by the caller, and fd_set
// is filled by hand, so no helper import (htons, __WSAFDIsSet) is needed.
#include "platform/platform.h"

#include <winsock2.h>

namespace parlino::platform {
namespace {

constexpr int blockingCallInProgress = 10036; // WSAEINPROGRESS

SOCKET handleOf(SocketHandle socket) { return static_cast<SOCKET>(socket); }

SocketOutcome lastFailure() {
    return ::WSAGetLastError() == blockingCallInProgress ? SocketOutcome::blockingCallInProgress
                                                         : SocketOutcome::failed;
}

sockaddr_in ipv4Address(std::uint32_t address, std::uint16_t portNetworkOrder) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_addr.s_addr = address;
    result.sin_port = portNetworkOrder;
    return result;
}

fd_set setHolding(SOCKET socket) {
    fd_set set;
    set.fd_count = 1;
    set.fd_array[0] = socket;
    return set;
}

// Start-ups and clean-ups of this module never run at once. The clean-up
// that gives the last start-up back closes every socket the process still
// has; a start-up and socket another thread made while it ran were closed
// under that thread, whose send then failed with "not a socket" (seen under
// wine in the endpoint stress, about one run in five). Each endpoint still
// holds its own start-up; only the calls are taken in turn.
SRWLOCK startUpLock = SRWLOCK_INIT;

class StartUpTurn {
  public:
    StartUpTurn() { ::AcquireSRWLockExclusive(&startUpLock); }
    ~StartUpTurn() { ::ReleaseSRWLockExclusive(&startUpLock); }
    StartUpTurn(const StartUpTurn &) = delete;
    StartUpTurn &operator=(const StartUpTurn &) = delete;
};

} // namespace

bool startSocketLibrary() {
    const StartUpTurn turn;
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 0), &data) != 0)
        return false;
    if (LOBYTE(data.wVersion) != 2) {
        ::WSACleanup();
        return false;
    }
    return true;
}

void stopSocketLibrary() {
    const StartUpTurn turn;
    ::WSACleanup();
}

SocketOutcome openDatagramSocket(SocketHandle &socket) {
    const SOCKET handle = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (handle == INVALID_SOCKET)
        return lastFailure();
    socket = static_cast<SocketHandle>(handle);
    return SocketOutcome::done;
}

void closeSocket(SocketHandle socket) { ::closesocket(handleOf(socket)); }

SocketOutcome readHostName(char (&name)[hostNameCapacity]) {
    if (::gethostname(name, hostNameCapacity) != 0)
        return lastFailure();
    name[hostNameCapacity - 1] = '\0';
    return SocketOutcome::done;
}

SocketOutcome bindToAnyAddress(SocketHandle socket, std::uint16_t portNetworkOrder) {
    const auto address = ipv4Address(INADDR_ANY, portNetworkOrder);
    if (::bind(handleOf(socket), reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return lastFailure();
    return SocketOutcome::done;
}

SocketOutcome waitReadable(SocketHandle socket, std::uint32_t seconds, std::uint32_t microseconds,
                           bool &readable) {
    fd_set readSet = setHolding(handleOf(socket));
    // select takes a microseconds part above one second and waits the whole sum.
    timeval wait{static_cast<long>(seconds), static_cast<long>(microseconds)};
    const int result = ::select(0, &readSet, nullptr, nullptr, &wait);
    if (result == SOCKET_ERROR)
        return lastFailure();
    // select leaves in the set only the sockets that are readable.
    readable = result > 0 && readSet.fd_count == 1;
    return SocketOutcome::done;
}

SocketOutcome waitWritable(SocketHandle socket) {
    fd_set writeSet = setHolding(handleOf(socket));
    if (::select(0, nullptr, &writeSet, nullptr, nullptr) == SOCKET_ERROR)
        return lastFailure();
    return SocketOutcome::done;
}

SocketOutcome receiveFrom(SocketHandle socket, char *buffer, std::size_t capacity,
                          std::size_t &received, std::uint32_t &senderAddress,
                          std::uint16_t &senderPortNetworkOrder) {
    sockaddr_in sender{};
    int senderLength = sizeof sender;
    const int result = ::recvfrom(handleOf(socket), buffer, static_cast<int>(capacity), 0,
                                  reinterpret_cast<sockaddr *>(&sender), &senderLength);
    if (result == SOCKET_ERROR)
        return lastFailure();
    received = static_cast<std::size_t>(result);
    senderAddress = sender.sin_addr.s_addr;
    senderPortNetworkOrder = sender.sin_port;
    return SocketOutcome::done;
}

SocketOutcome sendTo(SocketHandle socket, const char *bytes, std::size_t length,
                     std::uint32_t address, std::uint16_t portNetworkOrder, std::size_t &sent) {
    // Longer than any datagram: let sendto refuse it rather than wrap the length.
    const int sendLength = length > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(length);
    const auto destination = ipv4Address(address, portNetworkOrder);
    const int result = ::sendto(handleOf(socket), bytes, sendLength, 0,
                                reinterpret_cast<const sockaddr *>(&destination), sizeof destination);
    if (result == SOCKET_ERROR)
        return lastFailure();
    sent = static_cast<std::size_t>(result);
    return SocketOutcome::done;
}

// Here a receive waits in select and a send waits until writable before
// the call, as always: nothing is taken or sent without that wait.
SocketOutcome receiveIfQueued(SocketHandle, char *, std::size_t, std::size_t &, std::uint32_t &,
                              std::uint16_t &, bool &done) {
    done = false;
    return SocketOutcome::done;
}

SocketOutcome sendIfRoom(SocketHandle, const char *, std::size_t, std::uint32_t, std::uint16_t,
                         std::size_t &, bool &done) {
    done = false;
    return SocketOutcome::done;
}

std::uint32_t lookUpHostAddress(const char *name, std::int32_t index) {
    // The empty name is the local host; resolve it through its own name so
    // that no resolver's reading of "" matters.
    char localName[hostNameCapacity];
    if (name[0] == '\0') {
        if (::gethostname(localName, hostNameCapacity) != 0)
            return 0;
        localName[hostNameCapacity - 1] = '\0';
        name = localName;
    }
    const hostent *host = ::gethostbyname(name);
    if (host == nullptr || host->h_addrtype != AF_INET || host->h_addr_list == nullptr)
        return 0;
    for (std::int32_t i = 0; host->h_addr_list[i] != nullptr; ++i) {
        if (i + 1 == index) {
            std::uint32_t address;
            CopyMemory(&address, host->h_addr_list[i], sizeof address);
            return address;
        }
    }
    return 0;
}

} // namespace parlino::platform
