// The English texts of endpoint error numbers and socket error codes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace parlino {

// The endpoint error numbers this module produces.
enum ErrorNumber : std::uint8_t {
    noError = 0,
    outOfMemory = 7,
    deviceTimeout = 24,
    badFileNameOrNumber = 52,
    fileIsOpen = 55,
    deviceIoError = 57,
    deviceUnavailable = 68,
    permissionDenied = 70,
};

// Text of an error number; values outside 0..255 count as 0, numbers without
// a text give the empty text.
std::string_view errorNumberText(std::int32_t number);

// Text of a socket error code, or "Error:" followed by the code written as a
// message number (a blank before it unless negative) and ".".
std::string socketErrorText(std::int32_t code);

// A number as messages write it: one leading blank when zero or positive,
// "-" when negative.
std::string messageNumber(std::int64_t number);

} // namespace parlino
