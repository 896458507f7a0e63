#include "chat/number_text.h"
#include "chat/text_fields.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace parlino {
namespace {

struct NumberCase {
    std::string text;
    long double value;
};

class ParseNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ParseNumberTest, ReadsTheValue) {
    const auto &c = GetParam();
    EXPECT_EQ(parseNumber(c.text), c.value)
        << "text '" << std::string_view(c.text).substr(0, 60) << "' of " << c.text.size() << " bytes";
}

INSTANTIATE_TEST_SUITE_P(
    Decimal, ParseNumberTest,
    ::testing::Values(NumberCase{"5000", 5000}, NumberCase{"80 ", 80}, NumberCase{"  80", 80},
                      NumberCase{"\t\n42", 42}, NumberCase{"\r42", 0}, NumberCase{"12abc", 12},
                      NumberCase{"abc", 0}, NumberCase{"", 0}, NumberCase{"-5", -5},
                      NumberCase{"+7", 7}, NumberCase{" -7x", -7}, NumberCase{"1,5", 1},
                      NumberCase{"1e3", 1000}, NumberCase{"1E+2", 100}, NumberCase{"1D2", 100},
                      NumberCase{"25d-1", 2.5L}, NumberCase{"2.5e-1", 0.25L}, NumberCase{"1.5", 1.5L},
                      NumberCase{".5", 0.5L}, NumberCase{"5.", 5}, NumberCase{"1.2.3", 1.2L},
                      NumberCase{"0x10", 0}, NumberCase{"1e", 1}, NumberCase{"1e+", 1},
                      NumberCase{".", 0}, NumberCase{"-", 0}, NumberCase{"e", 0},
                      NumberCase{"e5", 0}, NumberCase{"--5", 0},
                      NumberCase{"000000000000000000000000007", 7},
                      // Only the first 18 significant digits count.
                      NumberCase{"1234567890123456789", 1234567890123456780.0L},
                      NumberCase{"0.0000123456789012345678999", 0.0000123456789012345678L},
                      // Zeros move the value however many there are.
                      NumberCase{"0." + std::string(100000, '0') + "1e100005", 10000},
                      NumberCase{"1" + std::string(100005, '0') + "e-100001", 10000},
                      // Digits alone may carry the value past the exponent's
                      // bound; the written exponent brings it back.
                      NumberCase{"1" + std::string(200000, '0') + "e-199999", 10},
                      NumberCase{"0." + std::string(1 << 20, '0') + "7e1048577", 7},
                      NumberCase{"25e-000000000000000000000000000001", 2.5L}));

INSTANTIATE_TEST_SUITE_P(
    Radix, ParseNumberTest,
    ::testing::Values(NumberCase{"&H1F", 31}, NumberCase{"&h1f", 31}, NumberCase{"&HFFFF", -1},
                      NumberCase{"&H8000", -32768}, NumberCase{"&H7FFF", 32767},
                      NumberCase{"&HFFFFFFFF", -1}, NumberCase{"&H80000000", -2147483648.0L},
                      NumberCase{"&H10000", 65536}, NumberCase{"&H0FFFF", 65535},
                      NumberCase{"&HFFFF&", 65535}, NumberCase{"&HFFFF%", -1},
                      NumberCase{"&HFFFF&&", 65535}, NumberCase{"&HFFFF?", 65535},
                      NumberCase{"&HFFFFFFFF&&", 4294967295.0L},
                      NumberCase{"&H100000000", 4294967296.0L},
                      NumberCase{"&HFFFFFFFFFFFFFFFF", -1},
                      NumberCase{"&H8000000000000000", -9223372036854775808.0L},
                      NumberCase{"&HFFFFFFFFFFFFFFFF?", 0}, NumberCase{"&H8000000000000000??", 0},
                      NumberCase{"&H7FFFFFFFFFFFFFFF???", 9223372036854775807.0L},
                      NumberCase{"&H10000000000000000", 0}, NumberCase{"&H00000000000000001", 1},
                      NumberCase{"&B101", 5}, NumberCase{"&b1111111111111111", -1},
                      NumberCase{"&B" + std::string(65, '1'), 0}, NumberCase{"&O17", 15},
                      NumberCase{"&o17", 15}, NumberCase{"&Q17", 15}, NumberCase{"&q17", 15},
                      NumberCase{"&17", 15}, NumberCase{"&", 0}, NumberCase{"&8", 0},
                      NumberCase{"&H", 0}, NumberCase{"&HG", 0}, NumberCase{"&H1G", 1},
                      NumberCase{"  &H10", 16}, NumberCase{"&X1", 0}, NumberCase{"&-1", 0}));

TEST(ParseNumberRange, ExtremeExponentsStayFiniteOrSaturate) {
    EXPECT_GT(parseNumber("1e400"), 1e300L);
    EXPECT_LT(parseNumber("-1e400"), -1e300L);
    EXPECT_GT(parseNumber("1e-400"), 0.0L);
    EXPECT_LT(parseNumber("1e-400"), 1e-300L);
    EXPECT_EQ(parseNumber("0e99999999999999999999"), 0.0L);
    EXPECT_TRUE(std::isinf(parseNumber("1e99999999999999999999")));
    EXPECT_EQ(parseNumber("1e-99999999999999999999"), 0.0L);
    EXPECT_TRUE(std::isinf(parseNumber(std::string(1 << 20, '9'))));
    EXPECT_EQ(parseNumber("0." + std::string(1 << 20, '0') + "1"), 0.0L);
}

struct RoundingCase {
    long double value;
    std::int32_t port;
    std::uint8_t octet;
};

class IntegerReadingTest : public ::testing::TestWithParam<RoundingCase> {};

TEST_P(IntegerReadingTest, RoundsTiesToEvenAndBoundsTheRange) {
    const auto &c = GetParam();
    EXPECT_EQ(portFromNumber(c.value), c.port) << static_cast<double>(c.value);
    EXPECT_EQ(octetFromNumber(c.value), c.octet) << static_cast<double>(c.value);
}

constexpr auto noPort = std::numeric_limits<std::int32_t>::min();
constexpr auto infinity = std::numeric_limits<long double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Readings, IntegerReadingTest,
    ::testing::Values(RoundingCase{0.5L, 0, 0}, RoundingCase{1.5L, 2, 2}, RoundingCase{2.5L, 2, 2},
                      RoundingCase{3.5L, 4, 4}, RoundingCase{-2.5L, -2, 254},
                      RoundingCase{2.4999L, 2, 2}, RoundingCase{-0.0L, 0, 0},
                      RoundingCase{256, 256, 0}, RoundingCase{300, 300, 44}, RoundingCase{-1, -1, 255},
                      RoundingCase{254.5L, 254, 254}, RoundingCase{255.5L, 256, 0},
                      RoundingCase{2147483647.4L, 2147483647, 255},
                      RoundingCase{2147483647.5L, noPort, 0},
                      RoundingCase{-2147483648.0L, noPort, 0}, RoundingCase{-2147483648.5L, noPort, 0},
                      RoundingCase{-2147483649.0L, noPort, 255},
                      RoundingCase{9223372036854775807.0L, noPort, 255},
                      RoundingCase{9223372036854775808.0L, noPort, 0},
                      RoundingCase{-9223372036854775808.0L, noPort, 0},
                      RoundingCase{1e400L, noPort, 0}, RoundingCase{infinity, noPort, 0},
                      RoundingCase{-infinity, noPort, 0},
                      RoundingCase{std::numeric_limits<long double>::quiet_NaN(), noPort, 0}));

std::array<std::uint8_t, 4> octetsOf(Ipv4Address address) {
    std::array<std::uint8_t, 4> octets;
    std::memcpy(octets.data(), &address, sizeof address);
    return octets;
}

Ipv4Address addressOf(std::array<std::uint8_t, 4> octets) {
    Ipv4Address address;
    std::memcpy(&address, octets.data(), sizeof address);
    return address;
}

struct AddressCase {
    std::string text;
    std::array<std::uint8_t, 4> octets;
};

class TextToAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(TextToAddressTest, PutsTheFirstOctetInTheLowestByte) {
    const auto &c = GetParam();
    EXPECT_EQ(octetsOf(textToAddress(c.text)), c.octets) << "text '" << c.text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, TextToAddressTest,
    ::testing::Values(AddressCase{"10.0.0.7", {10, 0, 0, 7}}, AddressCase{"10.1", {10, 1, 0, 0}},
                      AddressCase{"10..1", {10, 0, 1, 0}}, AddressCase{" 10.0.0.7", {10, 0, 0, 7}},
                      AddressCase{"", {0, 0, 0, 0}}, AddressCase{"localhost", {0, 0, 0, 0}},
                      AddressCase{"192.168.001.020", {192, 168, 1, 20}},
                      AddressCase{"192.168.1", {192, 168, 1, 0}}, AddressCase{"a.b.c.d", {0, 0, 0, 0}},
                      AddressCase{"1.2.3.4.5.6", {1, 2, 3, 4}},
                      AddressCase{"256.300.-1.0", {0, 44, 255, 0}},
                      AddressCase{"&HC0.&HA8.1.1", {192, 168, 1, 1}},
                      AddressCase{"127.0.0.1 ", {127, 0, 0, 1}},
                      AddressCase{"1e400.1.1.1", {0, 1, 1, 1}},
                      AddressCase{"255.255.255.255", {255, 255, 255, 255}}));

// Ports and octets written as plain digits are read without the general
// number reading; whatever the text, the result must be the general one.
const std::vector<std::string> fieldTexts{
    "", "0", "7", "018", "255", "256", "300", "5000", "65535", "65536", "2147483647", "2147483648",
    "4294967296", "999999999999999999", "1000000000000000000", "9223372036854775807",
    "18446744073709551616", "0000000000000000000000007", " 80", "80 ", "\t80", "+80", "-1", "1e3",
    "1.5", "2.5", "&HFF", "&HFFFF", "12abc", "abc", std::string("8\0" "1", 3), "\xff" "9"};

TEST(PlainDigitReading, GivesThePortTheGeneralReadingGives) {
    for (const auto &text : fieldTexts)
        EXPECT_EQ(portFromText(text), portFromNumber(parseNumber(text))) << "text '" << text << "'";
}

TEST(PlainDigitReading, GivesTheAddressTheGeneralReadingGives) {
    const auto byFieldRule = [](std::string_view text) {
        std::array<std::uint8_t, 4> octets{};
        for (std::int32_t n = 1; n <= 4; ++n)
            octets[n - 1] = octetFromNumber(parseNumber(parameterField(text, '.', n)));
        return octets;
    };
    std::vector<std::string> texts{".", "..", "...", "....", "1..2.", ".1", "1.", "1.2.3.4."};
    for (const auto &a : fieldTexts)
        for (const auto &b : {std::string("0"), std::string("300"), std::string(" 9"), std::string()}) {
            texts.push_back(a);
            texts.push_back(a + "." + b);
            texts.push_back(b + "." + a + "." + b + "." + a);
            texts.push_back(a + "." + a + "." + a + "." + a + "." + a);
        }
    for (const auto &text : texts)
        EXPECT_EQ(octetsOf(textToAddress(text)), byFieldRule(text)) << "text '" << text << "'";
}

TEST(AddressToText, WritesFourOctetsWithoutPadding) {
    EXPECT_EQ(addressToText(addressOf({10, 0, 0, 255})), "10.0.0.255");
    EXPECT_EQ(addressToText(addressOf({192, 168, 1, 20})), "192.168.1.20");
    EXPECT_EQ(addressToText(0), "0.0.0.0");
    EXPECT_EQ(addressToText(addressOf({255, 255, 255, 255})), "255.255.255.255");
    EXPECT_EQ(addressToText(addressOf({1, 20, 100, 9})), "1.20.100.9");
}

TEST(AddressToText, ReadsBackToTheSameAddress) {
    for (std::uint32_t seed = 0; seed < 2000; ++seed) {
        const Ipv4Address address = seed * 2654435761u;
        EXPECT_EQ(textToAddress(addressToText(address)), address);
    }
}

} // namespace
} // namespace parlino
