// The registered names and host variables of the chat actions, as the
// module lists them, and the peer address the chat command takes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace parlino::host {

inline constexpr std::string_view myIpAction = "QV_chat_my_ip";
inline constexpr std::string_view openPortAction = "QV_chat_open_port";
inline constexpr std::string_view sendTextAction = "QV_chat_send_txt";
inline constexpr std::string_view receiveTextAction = "QV_chat_rcv_txt";
inline constexpr std::string_view closePortAction = "QV_chat_close_port";

inline constexpr std::string_view myIpVariable = "qv_chat_my_ip";
inline constexpr std::string_view openStatusVariable = "qv_chat_open_port_status";
inline constexpr std::string_view textVariable = "qv_chat_text";

struct PeerAddress {
    std::string address; // dotted IPv4, as given
    std::uint16_t port = 0;
    std::string name; // the host name given, when the address was looked up
};

// Reads ADDRESS:PORT: four decimal octets 0 to 255 and a port 1 to 65535,
// nothing else (no names, no blanks, no leading zeros beyond one digit).
std::optional<PeerAddress> parsePeerAddress(std::string_view text);
bool isDottedIpv4(std::string_view text);

// A port as a person types it: decimal 1 to 65535, nothing else.
std::optional<std::uint16_t> parsePortNumber(std::string_view text);

// A link check's seconds as a person types them: decimal `least` to 600.
std::optional<int> parseSeconds(std::string_view text, int least);

// NAME:PORT or ADDRESS:PORT, NAME a host name (letters, digits, dots and
// hyphens, starting with a letter: what starts with a digit is an address)
// that is looked up before the chat starts. The name, when it is
// one, is in `address` until then.
std::optional<PeerAddress> parsePeerHost(std::string_view text);

} // namespace parlino::host
