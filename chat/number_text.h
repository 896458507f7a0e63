// Reading numbers and IPv4 addresses from text, and writing addresses.
// None of these allocates or fails: unusable text reads as 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace parlino {

// Four octets, the first in the lowest-addressed byte (network byte order).
using Ipv4Address = std::uint32_t;

// Reads a number: leading blanks, tabs and line feeds skipped; "&H", "&B",
// "&O"/"&Q" or plain "&" radix numbers with an optional type mark
// (% & && ? ?? ???), otherwise a signed decimal with at most one "." and an
// optional E/D exponent, at most 18 significant digits. Reading stops at the
// first character that does not fit; no number reads as 0.
long double parseNumber(std::string_view text);

// Nearest integer, ties to even, independent of the FPU's rounding mode.
long double roundTiesToEven(long double value);

// A port as the actions read it: the rounded number, or -2147483648 when it
// lies outside the 32-bit signed range (or is not a number).
std::int32_t portFromNumber(long double value);

// The port an action reads from a field: portFromNumber(parseNumber(text)),
// worked out on integers alone. This and textToAddress are what the actions
// use: they never touch the FPU, so the host's exception masks, precision and
// rounding mode neither change nor matter.
std::int32_t portFromText(std::string_view text);

// An octet: the low 8 bits of the rounded number as a 64-bit signed integer,
// 0 when it lies outside that range.
std::uint8_t octetFromNumber(long double value);

// Dotted text: up to four "."-separated fields, each an octet by
// octetFromNumber(parseNumber(field)) (worked out on integers); missing
// fields are 0, fields after the fourth are ignored. Host names are never
// looked up.
Ipv4Address textToAddress(std::string_view text);

// The four octets in decimal joined by ".", e.g. 192.168.1.20; 0 is 0.0.0.0.
std::string addressToText(Ipv4Address address);

} // namespace parlino
