// A UDP socket of the test program's own (Winsock, not the DLL's) on
// 127.0.0.1, to play the other side of a chat.
#pragma once

#include <winsock2.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace parlino::dlltest {

inline constexpr std::uint32_t anyAddress = 0;        // 0.0.0.0
inline constexpr std::uint32_t loopbackAddress = 0x0100007F; // 127.0.0.1, network byte order

struct Datagram {
    std::string bytes;
    std::uint16_t senderPort;
};

class LoopbackSocket {
  public:
    // Binds to `port` (0: one the system chooses) on `address`; bound() tells
    // whether that worked.
    explicit LoopbackSocket(std::uint16_t port = 0, std::uint32_t address = loopbackAddress);
    ~LoopbackSocket();
    LoopbackSocket(const LoopbackSocket &) = delete;
    LoopbackSocket &operator=(const LoopbackSocket &) = delete;

    bool bound() const { return port_ != 0; }
    std::uint16_t port() const { return port_; }
    bool send(std::string_view bytes, std::uint16_t toPort) const;
    // The next datagram, or nothing when none came within the wait.
    std::optional<Datagram> receive(DWORD waitMilliseconds = 10000) const;

  private:
    SOCKET socket_;
    std::uint16_t port_ = 0;
};

} // namespace parlino::dlltest
