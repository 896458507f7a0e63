// Actions run by a host that unmasked x87 exceptions for overflow, zero
// divide and invalid operation and runs the unit at 53-bit precision, as
// many hosts do. Each row is one action after an open of port 0; a send's
// datagram goes to a listener of the test's own on 127.0.0.3, so it arrives
// only when every octet and the port were read as with a 64-bit mantissa.
// Both the Linux suite and the shipped DLL's suite run these rows.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace parlino::cases {

struct CarelessHostCase {
    std::int32_t action;
    std::string parameter; // "%p" stands for the listener's port
    std::optional<std::string> arrives;

    // The parameter with the listener's port in place of "%p".
    std::string parameterFor(std::uint16_t listenerPort) const {
        std::string text = parameter;
        if (const auto at = text.find("%p"); at != std::string::npos)
            text.replace(at, 2, std::to_string(listenerPort));
        return text;
    }
};

inline void PrintTo(const CarelessHostCase &c, std::ostream *out) {
    *out << c.action << " \"" << c.parameter << '"';
}

inline constexpr std::uint32_t carelessListenerAddress = 0x0300007F; // 127.0.0.3, network order

inline std::vector<CarelessHostCase> carelessHostCases() {
    constexpr std::int32_t myIp = 1, openPort = 2, sendText = 3, receiveText = 4;
    return {
        // 2.50000000000000001: 3 with a 64-bit mantissa, a tie (2) at 53 bits.
        {sendText, "127.0.0.250000000000000001d-17|%p|tie", "tie"},
        {sendText, "127.1e5000.0.3|%p|octet overflow", "octet overflow"},
        {sendText, "127.-1e5000.0.3|%p|negative", "negative"},
        {sendText, "127.1e-5000.0.3|%p|underflow", "underflow"},
        {sendText, "127.0.0.3|%p.4999999999999|below a half", "below a half"},
        // These ports read as -2147483648 or 0: the send fails with 57.
        {sendText, "127.0.0.3|1e5000|x", std::nullopt},
        {sendText, "127.0.0.3|-1e5000|x", std::nullopt},
        {sendText, "127.0.0.3|1e-5000|x", std::nullopt},
        {openPort, "1e5000", std::nullopt},
        {myIp, "", std::nullopt},
        {receiveText, "", std::nullopt},
    };
}

} // namespace parlino::cases
