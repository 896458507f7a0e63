#include "host/core/chat_names.h"

namespace parlino::host {
namespace {

// A decimal number of 1 to `maxDigits` digits without a leading zero, at most `largest`.
bool readDecimal(std::string_view text, std::size_t maxDigits, unsigned largest, unsigned &value) {
    if (text.empty() || text.size() > maxDigits || (text.size() > 1 && text.front() == '0'))
        return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value <= largest;
}

} // namespace

bool isDottedIpv4(std::string_view text) {
    for (int octet = 0; octet < 4; ++octet) {
        const auto dot = text.find('.');
        const bool last = octet == 3;
        if (last != (dot == std::string_view::npos))
            return false;
        unsigned value = 0;
        if (!readDecimal(text.substr(0, dot), 3, 255, value))
            return false;
        if (!last)
            text.remove_prefix(dot + 1);
    }
    return true;
}

std::optional<PeerAddress> parsePeerAddress(std::string_view text) {
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    const auto address = text.substr(0, colon);
    unsigned port = 0;
    if (!isDottedIpv4(address) || !readDecimal(text.substr(colon + 1), 5, 65535, port) || port == 0)
        return std::nullopt;
    return PeerAddress{std::string(address), static_cast<std::uint16_t>(port), {}};
}

std::optional<std::uint16_t> parsePortNumber(std::string_view text) {
    unsigned port = 0;
    if (!readDecimal(text, 5, 65535, port) || port == 0)
        return std::nullopt;
    return static_cast<std::uint16_t>(port);
}

std::optional<int> parseSeconds(std::string_view text, int least) {
    unsigned seconds = 0;
    if (!readDecimal(text, 3, 600, seconds) || static_cast<int>(seconds) < least)
        return std::nullopt;
    return static_cast<int>(seconds);
}

std::optional<PeerAddress> parsePeerHost(std::string_view text) {
    if (auto peer = parsePeerAddress(text))
        return peer;
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0)
        return std::nullopt;
    const auto name = text.substr(0, colon);
    for (const char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-'))
            return std::nullopt;
    // A name that starts with a digit is an address to the module, which
    // reads "127.1" as 127.1.0.0 and "0x7f000001" as 0.0.0.0, while the
    // system would look both up as 127.0.0.1: only the four decimal numbers
    // mean one address to both.
    if ((name.front() >= '0' && name.front() <= '9') || name.front() == '-' || name.front() == '.')
        return std::nullopt;
    const auto port = parsePortNumber(text.substr(colon + 1));
    if (!port)
        return std::nullopt;
    return PeerAddress{std::string(name), *port, {}};
}

} // namespace parlino::host
