// The field rule of chat/text_fields.h for separators of any length, and the
// count of fields: only tests and fuzzers use them, so the module has
// neither. The one-character form is checked against the module's reader.
#pragma once

#include "chat/text_fields.h"

#include <cstdint>
#include <string_view>

namespace parlino::testing {

// Field n (from 1) of text, split at each non-overlapping occurrence of
// separator; an empty separator gives the whole text as field 1.
std::string_view parameterField(std::string_view text, std::string_view separator, std::int32_t n);

// Occurrences of separator plus one: the empty text has one field.
std::int32_t fieldCount(std::string_view text, std::string_view separator);

} // namespace parlino::testing
