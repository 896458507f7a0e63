// The narrow boundary between the module and the operating system.
// platform/posix and platform/win32 implement it; CMake links one of them.
// Unit tests link a recording desktop (message box, cursor, pause, clock,
// global memory) in place of the real one, and fuzzers a fake network too.
#pragma once

#include <cstddef>
#include <cstdint>

namespace parlino::platform {

// ---- Global memory: blocks handed to the host, which releases them. ----
// Windows: GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT) and GlobalFree.
// POSIX: calloc and free, so a host releases them with free().
void *allocateGlobal(std::size_t bytes); // zero-filled; null when out of memory
void releaseGlobal(void *block);         // null is ignored

// ---- Desktop: message box, wait cursor, pause, time of day. ----
using CursorHandle = void *;

// Shows a message box with no owner and an OK button; blocks until it is
// dismissed. Where there is no desktop it writes caption and text to stderr.
void showMessageBox(const char *caption, const char *text, std::uint32_t style);
CursorHandle loadWaitCursor();
CursorHandle setCursor(CursorHandle cursor); // returns the previous cursor
void showCursor(bool show);
void sleepMilliseconds(std::uint32_t milliseconds);

struct TimeOfDay {
    int hour; // 0..23
    int minute;
    int second;
};
TimeOfDay localTimeOfDay();

// ---- Sockets: IPv4 UDP only. Addresses and ports are in network byte order. ----
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle invalidSocket = -1;

enum class SocketOutcome {
    done,
    failed,
    blockingCallInProgress, // another blocking call holds the socket library
};

// One start-up of the socket library at version 2; each successful start is
// given back with stopSocketLibrary. No-ops where none is needed.
bool startSocketLibrary();
void stopSocketLibrary();

SocketOutcome openDatagramSocket(SocketHandle &socket);
void closeSocket(SocketHandle socket);
inline constexpr std::size_t hostNameCapacity = 256;
SocketOutcome readHostName(char (&name)[hostNameCapacity]);
SocketOutcome bindToAnyAddress(SocketHandle socket, std::uint16_t portNetworkOrder);
// Waits at most seconds + microseconds (microseconds may exceed one second).
SocketOutcome waitReadable(SocketHandle socket, std::uint32_t seconds, std::uint32_t microseconds,
                           bool &readable);
SocketOutcome waitWritable(SocketHandle socket);
SocketOutcome receiveFrom(SocketHandle socket, char *buffer, std::size_t capacity,
                          std::size_t &received, std::uint32_t &senderAddress,
                          std::uint16_t &senderPortNetworkOrder);
SocketOutcome sendTo(SocketHandle socket, const char *bytes, std::size_t length,
                     std::uint32_t address, std::uint16_t portNetworkOrder, std::size_t &sent);
// The common case of a wait followed by the call above, in one call where
// the platform can make it: the datagram is taken (received) or sent at
// once when the socket is ready, and `done` is false when it was not, so
// that the caller waits and calls receiveFrom or sendTo as before. Where the
// platform reads and writes only after a wait, they make no call and give
// done = false.
SocketOutcome receiveIfQueued(SocketHandle socket, char *buffer, std::size_t capacity,
                              std::size_t &received, std::uint32_t &senderAddress,
                              std::uint16_t &senderPortNetworkOrder, bool &done);
SocketOutcome sendIfRoom(SocketHandle socket, const char *bytes, std::size_t length,
                         std::uint32_t address, std::uint16_t portNetworkOrder, std::size_t &sent,
                         bool &done);

// The index-th (1-based) IPv4 address of a host, 0 when there is none. The
// empty name is the local machine: its interface addresses, not loopback.
std::uint32_t lookUpHostAddress(const char *name, std::int32_t index);

// ---- Waiting for another thread, without spinning ----
// One wait point for the whole process. waitUntil calls ready(context) under
// the wait point's own lock and, while it gives false, sleeps until another
// thread calls wakeWaiters or microsecondsLeft runs out; it reduces
// microsecondsLeft by the time it waited and returns what ready() last gave.
// Whoever makes ready() true for a waiter calls wakeWaiters afterwards.
bool waitUntil(bool (*ready)(void *context), void *context, std::uint64_t &microsecondsLeft);
void wakeWaiters();

} // namespace parlino::platform
