// The two error-text lookups over any 32-bit values: every number of the
// table has its text, every other number its fallback, and numbers outside
// one byte read as 0.
#include "chat/error_texts.h"
#include "property.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

constexpr std::int32_t numbersWithText[] = {0,  5,  6,  7,  9,  11, 24, 51, 52, 53, 54, 55, 57, 58, 61,
                                            62, 63, 64, 67, 68, 69, 70, 71, 72, 74, 75, 76, 241, 242};
constexpr std::int32_t socketCodesWithText[] = {
    10004, 10009, 10013, 10014, 10022, 10024, 10035, 10036, 10037, 10038, 10039, 10040, 10041,
    10042, 10043, 10044, 10045, 10046, 10047, 10048, 10049, 10050, 10051, 10052, 10053, 10054,
    10055, 10056, 10057, 10058, 10059, 10060, 10061, 10062, 10063, 10064, 10065, 10066, 10067,
    10068, 10069, 10070, 10071, 10091, 10092, 10093, 10101, 10102, 10103, 10104, 10105, 10106,
    10107, 10108, 10109, 10110, 10111, 10112, 11001, 11002, 11003, 11004};

template <std::size_t n> bool contains(const std::int32_t (&table)[n], std::int32_t value) {
    return std::find(std::begin(table), std::end(table), value) != std::end(table);
}

void checkCode(std::int32_t code) {
    using namespace parlino;
    const auto number = errorNumberText(code);
    if (code < 0 || code > 255)
        PROPERTY(number == "No Error");
    else
        PROPERTY(number.empty() != contains(numbersWithText, code));
    PROPERTY(number.find('\0') == std::string_view::npos);

    const std::string socket = socketErrorText(code);
    PROPERTY(!socket.empty());
    PROPERTY(socket.find('\0') == std::string::npos);
    const std::string fallback = "Error:" + std::string(code >= 0 ? " " : "") + std::to_string(code) + ".";
    if (contains(socketCodesWithText, code))
        PROPERTY(socket != fallback && socket.find("Error:") != 0);
    else
        PROPERTY(socket == fallback);

    const std::string written = messageNumber(code);
    PROPERTY(written == (code >= 0 ? " " : "") + std::to_string(code));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    for (std::size_t at = 0; at + 4 <= size; at += 4) {
        std::int32_t code;
        std::memcpy(&code, data + at, sizeof code);
        checkCode(code);
    }
    // Short inputs: the one-byte numbers and the small codes around them.
    if (size % 4 != 0)
        checkCode(static_cast<std::int32_t>(data[size - 1]) + (size % 4 == 3 ? 10000 : 0));
    return 0;
}
