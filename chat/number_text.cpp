#include "number_text.h"

#include "text_fields.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace parlino {
namespace {

constexpr std::size_t maximumSignificantDigits = 18;
// The exponent is counted in full: minus one for each digit after the point
// up to the last one kept, plus one for each digit before the point past
// those kept, plus the written exponent, read up to exponentLimit beyond what
// those digits could take back. It saturates only where the value is certain,
// at this bound: from 10^exponentLimit up it is beyond every range a caller
// converts to (long double ends near 10^4932); from 10^-exponentLimit down,
// times fewer than 10^18, it is 0 (long double's smallest step is near
// 10^-4951).
constexpr std::int64_t exponentLimit = 100000;

std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
    constexpr auto largest = std::numeric_limits<std::int64_t>::max();
    constexpr auto smallest = std::numeric_limits<std::int64_t>::min();
    if (b > 0 && a > largest - b)
        return largest;
    if (b < 0 && a < smallest - b)
        return smallest;
    return a + b;
}

// 10^k is exact in a 64-bit mantissa up to k = 27 (5^27 < 2^64).
constexpr std::size_t exactPowerCount = 28;
constexpr std::array<long double, exactPowerCount> exactPowersOfTen = [] {
    std::array<long double, exactPowerCount> powers{};
    long double power = 1;
    for (auto &entry : powers) {
        entry = power;
        power *= 10;
    }
    return powers;
}();

bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

bool isExponentMark(char c) { return c == 'E' || c == 'e' || c == 'D' || c == 'd'; }

int digitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

long double scaleByPowerOfTen(long double value, std::int64_t exponent) {
    const auto magnitude = static_cast<std::uint64_t>(exponent < 0 ? -exponent : exponent);
    // One correctly rounded operation where the power is exact.
    const long double power = magnitude < exactPowerCount
                                  ? exactPowersOfTen[magnitude]
                                  : std::pow(10.0L, static_cast<long double>(magnitude));
    return exponent < 0 ? value / power : value * power;
}

enum class TypeMark { none, integer, longInteger, longLong, unsignedValue };

// What a text says before any rounding: a whole number (every radix number
// fits 64 signed bits), or the decimal mantissa * 10^exponent, the mantissa
// holding at most 18 digits.
struct NumberReading {
    bool whole = true;
    std::int64_t wholeValue = 0;
    bool negative = false;
    std::uint64_t mantissa = 0;
    std::int64_t exponent = 0;
};

// Text after the "&".
std::int64_t parseRadixNumber(std::string_view text) {
    std::size_t at = 0;
    unsigned radix = 8;
    if (at < text.size()) {
        switch (text[at]) {
        case 'H': case 'h': radix = 16; ++at; break;
        case 'B': case 'b': radix = 2; ++at; break;
        case 'O': case 'o': case 'Q': case 'q': radix = 8; ++at; break;
        default: break; // plain "&": octal, the character is not consumed
        }
    }
    std::uint64_t value = 0;
    bool anyDigit = false, tooWide = false, leadingZero = false;
    for (; at < text.size(); ++at) {
        const int digit = digitValue(text[at]);
        if (digit < 0 || static_cast<unsigned>(digit) >= radix)
            break;
        if (!anyDigit)
            leadingZero = digit == 0;
        anyDigit = true;
        if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / radix)
            tooWide = true;
        else
            value = value * radix + static_cast<unsigned>(digit);
    }
    if (!anyDigit || tooWide)
        return 0;

    auto mark = TypeMark::none;
    const auto rest = text.substr(at);
    if (rest.starts_with("&&"))
        mark = TypeMark::longLong;
    else if (rest.starts_with('&'))
        mark = TypeMark::longInteger;
    else if (rest.starts_with('%'))
        mark = TypeMark::integer;
    else if (rest.starts_with('?'))
        mark = TypeMark::unsignedValue;

    if (mark == TypeMark::unsignedValue)
        return (value >> 63) != 0 ? 0 : static_cast<std::int64_t>(value);
    if (value < (std::uint64_t{1} << 32) && !leadingZero && mark != TypeMark::longLong) {
        if (value >= 0x10000)
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
        if (mark != TypeMark::longInteger)
            return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
    }
    return static_cast<std::int64_t>(value);
}

NumberReading parseDecimalNumber(std::string_view text) {
    std::size_t at = 0;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';

    std::uint64_t mantissa = 0;
    std::size_t significantDigits = 0;
    std::int64_t exponent = 0;
    bool anyDigit = false;
    const auto takeDigit = [&](char c, bool afterPoint) {
        anyDigit = true;
        if (significantDigits == maximumSignificantDigits) {
            if (!afterPoint)
                ++exponent; // an unused digit before the point still scales
            return;
        }
        if (mantissa == 0 && c == '0') {
            if (afterPoint)
                --exponent;
            return; // leading zeros are not significant
        }
        mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
        ++significantDigits;
        if (afterPoint)
            --exponent;
    };
    for (; at < text.size() && isDecimalDigit(text[at]); ++at)
        takeDigit(text[at], false);
    if (at < text.size() && text[at] == '.')
        for (++at; at < text.size() && isDecimalDigit(text[at]); ++at)
            takeDigit(text[at], true);
    if (!anyDigit)
        return {};

    if (at < text.size() && isExponentMark(text[at])) {
        std::size_t exponentAt = at + 1;
        bool exponentNegative = false;
        if (exponentAt < text.size() && (text[exponentAt] == '+' || text[exponentAt] == '-'))
            exponentNegative = text[exponentAt++] == '-';
        const std::int64_t writtenLimit = saturatingAdd(exponentLimit, exponent < 0 ? -exponent : exponent);
        std::int64_t written = 0;
        for (; exponentAt < text.size() && isDecimalDigit(text[exponentAt]); ++exponentAt) {
            const int digit = text[exponentAt] - '0';
            written = written <= (writtenLimit - digit) / 10 ? written * 10 + digit : writtenLimit;
        }
        exponent = saturatingAdd(exponent, exponentNegative ? -written : written);
    }
    exponent = std::clamp(exponent, -exponentLimit, exponentLimit);

    if (mantissa == 0)
        return {};
    return {false, 0, negative, mantissa, exponent};
}

NumberReading readNumber(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\n'))
        ++at;
    if (at < text.size() && text[at] == '&')
        return {true, parseRadixNumber(text.substr(at + 1))};
    return parseDecimalNumber(text.substr(at));
}

constexpr std::array<std::uint64_t, maximumSignificantDigits + 2> integerPowersOfTen = [] {
    std::array<std::uint64_t, maximumSignificantDigits + 2> powers{};
    std::uint64_t power = 1;
    for (auto &entry : powers) {
        entry = power;
        power *= 10;
    }
    return powers;
}();

// The reading rounded to the nearest integer, ties to even, decided on
// integers alone: the module never touches the host's FPU, whose exception
// masks, precision and rounding mode are the host's. False when the result
// lies outside the 64-bit signed range. It is the rounding of the real
// number parseNumber gives, since with at most 18 significant digits a value
// that is not a tie lies at least 10^exponent from one, far more than half a
// unit of a 64-bit mantissa.
bool roundedInteger(const NumberReading &reading, std::int64_t &result) {
    if (reading.whole) {
        result = reading.wholeValue;
        return true;
    }
    std::uint64_t magnitude = 0;
    if (reading.exponent >= 0) {
        if (reading.exponent > static_cast<std::int64_t>(maximumSignificantDigits))
            return false; // at least 10^19
        const std::uint64_t power = integerPowersOfTen[static_cast<std::size_t>(reading.exponent)];
        const std::uint64_t limit = (std::uint64_t{1} << 63) - (reading.negative ? 0 : 1);
        if (reading.mantissa > limit / power)
            return false;
        magnitude = reading.mantissa * power;
    } else if (reading.exponent >= -static_cast<std::int64_t>(maximumSignificantDigits)) {
        const std::uint64_t power = integerPowersOfTen[static_cast<std::size_t>(-reading.exponent)];
        magnitude = reading.mantissa / power;
        const std::uint64_t twiceRest = reading.mantissa % power * 2;
        if (twiceRest > power || (twiceRest == power && magnitude % 2 == 1))
            ++magnitude;
    } // else below 10^18 * 10^-19: rounds to 0
    result = reading.negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    return true;
}

std::int32_t portFromReading(const NumberReading &reading) {
    std::int64_t value = 0;
    if (!roundedInteger(reading, value) || value <= std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

// A text of 1 to 18 decimal digits and nothing else: the form every port and
// octet takes in practice, taken directly as that integer.
bool readPlainDigits(std::string_view text, std::uint64_t &value) {
    if (text.empty() || text.size() > maximumSignificantDigits)
        return false;
    value = 0;
    for (const char c : text) {
        if (!isDecimalDigit(c))
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return true;
}

std::uint8_t octetFromText(std::string_view text) {
    std::uint64_t value;
    if (readPlainDigits(text, value))
        return static_cast<std::uint8_t>(value);
    std::int64_t rounded = 0;
    return roundedInteger(readNumber(text), rounded) ? static_cast<std::uint8_t>(rounded) : 0;
}

} // namespace

long double parseNumber(std::string_view text) {
    const NumberReading reading = readNumber(text);
    if (reading.whole)
        return static_cast<long double>(reading.wholeValue);
    const long double value = scaleByPowerOfTen(reading.mantissa, reading.exponent);
    return reading.negative ? -value : value;
}

long double roundTiesToEven(long double value) {
    const long double below = std::floor(value);
    const long double fraction = value - below;
    if (fraction > 0.5L || (fraction == 0.5L && std::fmod(below, 2.0L) != 0))
        return below + 1;
    return below;
}

std::int32_t portFromNumber(long double value) {
    const long double rounded = roundTiesToEven(value);
    if (!(rounded >= -2147483648.0L && rounded <= 2147483647.0L))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(rounded);
}

std::int32_t portFromText(std::string_view text) {
    std::uint64_t value;
    if (readPlainDigits(text, value))
        return value <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())
                   ? static_cast<std::int32_t>(value)
                   : std::numeric_limits<std::int32_t>::min();
    return portFromReading(readNumber(text));
}

std::uint8_t octetFromNumber(long double value) {
    const long double rounded = roundTiesToEven(value);
    constexpr long double twoToThe63 = 9223372036854775808.0L;
    if (!(rounded >= -twoToThe63 && rounded < twoToThe63))
        return 0;
    return static_cast<std::uint8_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(rounded)));
}

Ipv4Address textToAddress(std::string_view text) {
    std::array<std::string_view, 4> fields;
    leadingFields(text, '.', fields);
    std::array<std::uint8_t, 4> octets;
    for (std::size_t i = 0; i < octets.size(); ++i)
        octets[i] = octetFromText(fields[i]);
    Ipv4Address address;
    std::memcpy(&address, octets.data(), sizeof address);
    return address;
}

std::string addressToText(Ipv4Address address) {
    std::array<std::uint8_t, 4> octets;
    std::memcpy(octets.data(), &address, sizeof address);
    char text[16];
    char *out = text;
    for (std::size_t i = 0; i < octets.size(); ++i) {
        if (i != 0)
            *out++ = '.';
        const unsigned octet = octets[i];
        if (octet >= 100)
            *out++ = static_cast<char>('0' + octet / 100);
        if (octet >= 10)
            *out++ = static_cast<char>('0' + octet / 10 % 10);
        *out++ = static_cast<char>('0' + octet % 10);
    }
    return std::string(text, out);
}

} // namespace parlino
