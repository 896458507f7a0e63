// The one field rule for parameter texts ("|") and dotted addresses (".").
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace parlino {

// Field n (from 1) of text, fields split at each occurrence of separator.
// Empty fields count and nothing is trimmed; n below 1 or beyond the last
// field gives the empty text. The result views into text.
std::string_view parameterField(std::string_view text, char separator, std::int32_t n);

// Fields 1 to fields.size() of text, exactly as parameterField gives them,
// taken in one pass over the text: for readers of several leading fields (a
// send's address, port and line; an address's four octets), which would
// otherwise scan the text again for each one.
void leadingFields(std::string_view text, char separator, std::span<std::string_view> fields);

} // namespace parlino
