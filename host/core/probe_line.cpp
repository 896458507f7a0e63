#include "host/core/probe_line.h"

#include "host/core/chat_names.h"

#include <cstdio>

namespace parlino::host {

namespace {

constexpr std::string_view probeStart = "parlino check probe ";

// Reads a probe line from the front, one expected piece at a time; any
// piece that does not fit makes the whole line no probe.
class ProbeReader {
  public:
    explicit ProbeReader(std::string_view text) : rest_(text) {}

    bool literal(std::string_view piece) {
        if (rest_.substr(0, piece.size()) != piece)
            return false;
        rest_.remove_prefix(piece.size());
        return true;
    }

    // Decimal, no leading zero, at most `largest`.
    bool number(std::uint64_t &value, std::uint64_t largest) {
        std::size_t digits = 0;
        while (digits < rest_.size() && rest_[digits] >= '0' && rest_[digits] <= '9')
            ++digits;
        if (digits == 0 || digits > 10 || (digits > 1 && rest_[0] == '0'))
            return false;
        value = 0;
        for (std::size_t i = 0; i < digits; ++i)
            value = value * 10 + static_cast<std::uint64_t>(rest_[i] - '0');
        rest_.remove_prefix(digits);
        return value <= largest;
    }

    bool number32(std::uint32_t &value) {
        std::uint64_t read = 0;
        if (!number(read, 0xFFFFFFFFu))
            return false;
        value = static_cast<std::uint32_t>(read);
        return true;
    }

    // ADDRESS:PORT up to `end`.
    bool endpoint(Ipv4Endpoint &endpoint, char end) {
        const auto length = rest_.find(end);
        if (length == std::string_view::npos)
            return false;
        const auto peer = parsePeerAddress(rest_.substr(0, length));
        if (!peer)
            return false;
        endpoint = {*readDottedIpv4(peer->address), peer->port};
        rest_.remove_prefix(length);
        return true;
    }

    // 1 to 16 lower-case letters.
    bool word(std::string &text) {
        std::size_t letters = 0;
        while (letters < rest_.size() && rest_[letters] >= 'a' && rest_[letters] <= 'z')
            ++letters;
        if (letters == 0 || letters > 16)
            return false;
        text = rest_.substr(0, letters);
        rest_.remove_prefix(letters);
        return true;
    }

    // MS.FFF, in microseconds.
    bool milliseconds(std::uint64_t &microseconds) {
        std::uint64_t whole = 0, fraction = 0;
        if (!number(whole, 9999999) || !literal("."))
            return false;
        if (rest_.size() < 3)
            return false;
        for (int i = 0; i < 3; ++i) {
            if (rest_[i] < '0' || rest_[i] > '9')
                return false;
            fraction = fraction * 10 + static_cast<std::uint64_t>(rest_[i] - '0');
        }
        rest_.remove_prefix(3);
        microseconds = whole * 1000 + fraction;
        return true;
    }

    bool atEnd() const { return rest_.empty(); }

  private:
    std::string_view rest_;
};

} // namespace

std::string probeText(const Probe &probe) {
    std::string text = std::string(probeStart) + std::to_string(probe.number) + " from " + endpointText(probe.from) +
                       " (" + probe.platform + ") to " + endpointText(probe.to) + ", heard " +
                       std::to_string(probe.heard);
    if (probe.heard == 0)
        return text;
    char held[32];
    std::snprintf(held, sizeof held, "%llu.%03llu", static_cast<unsigned long long>(probe.heldMicroseconds / 1000),
                  static_cast<unsigned long long>(probe.heldMicroseconds % 1000));
    return text + " of " + std::to_string(probe.heardOf) + ", newest " + std::to_string(probe.newest) + " held " +
           held + " ms";
}

std::optional<Probe> parseProbe(std::string_view line) {
    Probe probe;
    ProbeReader reader(line);
    if (!reader.literal(probeStart) || !reader.number32(probe.number) || probe.number == 0 ||
        !reader.literal(" from ") || !reader.endpoint(probe.from, ' ') || !reader.literal(" (") ||
        !reader.word(probe.platform) || !reader.literal(") to ") || !reader.endpoint(probe.to, ',') ||
        !reader.literal(", heard ") || !reader.number32(probe.heard))
        return std::nullopt;
    if (probe.heard == 0)
        return reader.atEnd() ? std::optional<Probe>(probe) : std::nullopt;
    if (!reader.literal(" of ") || !reader.number32(probe.heardOf) || probe.heardOf < probe.heard ||
        !reader.literal(", newest ") || !reader.number32(probe.newest) || probe.newest == 0 ||
        !reader.literal(" held ") || !reader.milliseconds(probe.heldMicroseconds) || !reader.literal(" ms") ||
        !reader.atEnd())
        return std::nullopt;
    return probe;
}

} // namespace parlino::host
