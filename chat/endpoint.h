// Numbered IPv4 UDP endpoints and the host address lookup, shared by the
// whole process. Every operation is synchronous and reports an error number
// (0 = success, see error_texts.h); none throws.
//
// Threads: numbers are handed out and endpoints opened and closed safely from
// any thread, and a send and a receive may run at once on one endpoint. A
// caller should not close an endpoint while another thread uses it; if it
// does, the close takes effect for every later operation, and the socket is
// closed when the last operation still using it returns. An endpoint whose
// open has not finished is not open to sends, receives or a close. Receives
// on one endpoint take turns: a second one sleeps (within its own wait) until
// the first has returned.
#pragma once

#include "number_text.h"
#include "platform/platform.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace parlino {

using EndpointNumber = std::int16_t;

// The receive wait of an endpoint opened with time-out T is (T >> 10)
// seconds plus ((T & 1023) << 10) microseconds. The chat's T is a code, not
// milliseconds: 1000 waits 1.024 s.
inline constexpr std::uint32_t chatTimeoutCode = 1000;
// Opening with this port makes an endpoint that is not bound.
inline constexpr std::int32_t unboundPort = -1;
inline constexpr std::size_t receiveCapacity = 65536;

// The next number after the last one handed out (1..32767, wrapping) that no
// open endpoint uses; -1 when every number is in use.
EndpointNumber nextFreeEndpointNumber();

// The search behind it: advances lastHandedOut past numbers for which inUse
// is true, at most once round all 32767, and gives -1 if none was free.
template <typename InUse>
EndpointNumber nextFreeNumberAfter(std::uint16_t &lastHandedOut, InUse inUse) {
    constexpr std::uint16_t highest = 32767;
    for (std::uint16_t tried = 0; tried < highest; ++tried) {
        if (++lastHandedOut > highest)
            lastHandedOut = 1;
        const auto candidate = static_cast<EndpointNumber>(lastHandedOut);
        if (!inUse(candidate))
            return candidate;
    }
    return -1;
}

// Opens an endpoint under `number` on the low 16 bits of `port` on every
// local address. Errors: 68 no socket library, 52 negative number, 55 number
// in use, 7 no memory, 57/70 a socket call failed (a port in use among them).
// A failed open leaves nothing behind.
std::uint8_t openEndpoint(EndpointNumber number, std::int32_t port, std::uint32_t timeout);

// Sends `text` as one datagram from the endpoint's port. Errors: 52 no such
// endpoint, 57/70 the send failed or was short (address 0 is refused).
std::uint8_t sendDatagram(EndpointNumber number, Ipv4Address address, std::int32_t port,
                          std::string_view text);

struct ReceivedDatagram {
    std::string text; // the payload byte for byte; empty after any failure
    Ipv4Address sender = 0;
    std::uint16_t senderPort = 0; // host byte order
};

// Waits for one datagram from any sender. Errors: 52 no such endpoint (or
// closed during the wait), 24 nothing arrived in time, 57/70 a socket call
// failed, 7 no memory.
std::uint8_t receiveDatagram(EndpointNumber number, ReceivedDatagram &datagram);

// Closes the endpoint; a number that is not open is ignored. Always 0.
std::uint8_t closeEndpoint(EndpointNumber number);

// The index-th (from 1) IPv4 address of a host; the empty name is this
// machine, whose loopback addresses (127.0.0.0/8) are skipped: a peer can
// never reach them. 0 when there is none.
Ipv4Address hostAddress(std::string_view name, std::int32_t index);

} // namespace parlino
