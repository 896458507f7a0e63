// parseNumber over any bytes: never NaN, blind to leading white space and to
// what follows the number, symmetric in its sign, exact for short integers,
// and always convertible to a port and an octet without undefined behaviour;
// portFromText, which decides on integers alone, agrees with it; zeros
// written after the point and taken back by the exponent change nothing.
#include "chat/number_text.h"
#include "property.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool sameNumber(long double a, long double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

bool startsWithDigitOrPoint(std::string_view text) {
    return !text.empty() && ((text[0] >= '0' && text[0] <= '9') || text[0] == '.');
}

bool isShortInteger(std::string_view text) {
    if (text.empty() || text.size() > 18)
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::uint32_t littleEndian32(std::string_view bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;)
        value = value << 8 | static_cast<std::uint8_t>(bytes[i]);
    return value;
}

// FNV-1a: every mutation of an input draws anew.
std::uint32_t hashOf(std::string_view bytes) {
    std::uint32_t hash = 2166136261u;
    for (const char c : bytes)
        hash = (hash ^ static_cast<std::uint8_t>(c)) * 16777619u;
    return hash;
}

// "0.DIGITSeN" and the same with k more zeros right after the point and N+k
// as its exponent read alike. The input gives a header (k and the form of
// N), N and up to 40 digits. k is up to 255, or up to a million for one
// input in 16384 by its hash: a megabyte costs some 40 ms to read under the
// sanitizers, and a rarity in the header would pass on to every mutation of
// one such input in the corpus.
void checkZerosAfterThePoint(std::string_view input) {
    if (input.size() < 8)
        return;
    const std::uint32_t header = littleEndian32(input);
    const std::int64_t zeros = hashOf(input) % 16384 == 0 ? header % 1000001 : header >> 24;
    const auto written = static_cast<std::int32_t>(littleEndian32(input.substr(4)));
    // Mostly near long double's range and the integers, sometimes anywhere.
    const std::int64_t exponent = header % 4 == 0 ? written : written % 10000;
    std::string digits;
    for (const char c : input.substr(8, 40))
        digits += static_cast<char>('0' + static_cast<std::uint8_t>(c) % 10);
    const std::string plain = "0." + digits + "e" + std::to_string(exponent);
    const std::string padded =
        "0." + std::string(zeros, '0') + digits + "e" + std::to_string(exponent + zeros);
    PROPERTY(sameNumber(parlino::parseNumber(padded), parlino::parseNumber(plain)));
    PROPERTY(parlino::portFromText(padded) == parlino::portFromText(plain));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using parlino::parseNumber;
    const std::string text(reinterpret_cast<const char *>(data), size);
    const long double value = parseNumber(text);

    PROPERTY(!std::isnan(value));
    PROPERTY(sameNumber(parseNumber(" \t\n" + text), value));
    // "|" can continue no number, so what follows it is never read.
    PROPERTY(sameNumber(parseNumber(text + "|"), value));
    PROPERTY(sameNumber(parseNumber(text + "|" + text), value));

    const auto firstNonBlank = text.find_first_not_of(" \t\n");
    const std::string_view rest =
        firstNonBlank == std::string::npos ? std::string_view() : std::string_view(text).substr(firstNonBlank);
    if (!rest.empty() && rest[0] == '&') {
        // Radix numbers are whole and fit a 64-bit signed integer.
        PROPERTY(std::floor(value) == value);
        PROPERTY(value >= -9223372036854775808.0L && value < 9223372036854775808.0L);
    }
    if (startsWithDigitOrPoint(rest)) {
        PROPERTY(sameNumber(parseNumber("-" + std::string(rest)), -value));
        PROPERTY(sameNumber(parseNumber("+" + std::string(rest)), value));
        PROPERTY(value >= 0);
    }
    if (isShortInteger(text))
        PROPERTY(value == static_cast<long double>(std::stoull(text)));

    // Both conversions are total: UBSan reports any cast out of range.
    const std::int32_t port = parlino::portFromNumber(value);
    const long double rounded = parlino::roundTiesToEven(value);
    if (rounded >= -2147483648.0L && rounded <= 2147483647.0L)
        PROPERTY(port == static_cast<std::int32_t>(rounded));
    else
        PROPERTY(port == INT32_MIN);
    static_cast<void>(parlino::octetFromNumber(value));
    // The shortcut for plain digits gives what the number rule gives.
    PROPERTY(parlino::portFromText(text) == port);

    checkZerosAfterThePoint(text);
    return 0;
}
