#include "error_texts.h"

namespace parlino {
namespace {

// A case per table row: the compiler refuses a number written twice.
#define PARLINO_TEXT_CASE(number, name, text)                                                      \
    case number:                                                                                   \
        return text;

std::string_view socketErrorTableText(std::int32_t code) {
    switch (code) { PARLINO_SOCKET_ERROR_MAP(PARLINO_TEXT_CASE) }
    return {};
}

#define PARLINO_ROW(number, name, text) +1
static_assert(0 PARLINO_SOCKET_ERROR_MAP(PARLINO_ROW) == 62);
static_assert(0 PARLINO_ERROR_NUMBER_MAP(PARLINO_ROW) == 29);
#undef PARLINO_ROW

} // namespace

std::string_view errorNumberText(std::int32_t number) {
    if (number < 0 || number > 255)
        number = 0;
    switch (number) { PARLINO_ERROR_NUMBER_MAP(PARLINO_TEXT_CASE) }
    return {};
}

#undef PARLINO_TEXT_CASE

std::string socketErrorText(std::int32_t code) {
    const auto text = socketErrorTableText(code);
    if (!text.empty())
        return std::string(text);
    return "Error:" + messageNumber(code) + ".";
}

std::string messageNumber(std::int64_t number) {
    return number < 0 ? std::to_string(number) : " " + std::to_string(number);
}

} // namespace parlino
