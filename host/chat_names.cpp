#include "host/chat_names.h"

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
    return PeerAddress{std::string(address), static_cast<std::uint16_t>(port)};
}

} // namespace parlino::host
