// The one field rule for parameter texts ("|") and dotted addresses (".").
#pragma once

#include <cstdint>
#include <string_view>

namespace parlino {

// Field n (from 1) of text, fields split at each non-overlapping occurrence of
// separator. Empty fields count and nothing is trimmed; n below 1 or beyond the
// last field gives the empty text. The result views into text.
std::string_view parameterField(std::string_view text, std::string_view separator, std::int32_t n);

// Occurrences of separator plus one: the empty text has one field.
std::int32_t fieldCount(std::string_view text, std::string_view separator);

} // namespace parlino
