#include "parameter_fields.h"

#include <limits>

namespace parlino {

namespace {

// The separators in use ("|" and ".") are one character, and finding one
// character is a single memchr; finding a text also compares the rest of it
// at every candidate.
std::size_t findSeparator(std::string_view text, std::string_view separator, std::size_t from) {
    return separator.size() == 1 ? text.find(separator.front(), from) : text.find(separator, from);
}

} // namespace

std::string_view parameterField(std::string_view text, std::string_view separator, std::int32_t n) {
    if (n < 1 || separator.empty())
        return n == 1 ? text : std::string_view{};
    std::size_t start = 0;
    for (std::int32_t field = 1; field < n; ++field) {
        const auto next = findSeparator(text, separator, start);
        if (next == std::string_view::npos)
            return {};
        start = next + separator.size();
    }
    const auto end = findSeparator(text, separator, start);
    return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

void leadingFields(std::string_view text, char separator, std::span<std::string_view> fields) {
    std::size_t start = 0;
    bool lastFieldTaken = false;
    for (auto &field : fields) {
        if (lastFieldTaken) {
            field = {};
            continue;
        }
        const auto end = text.find(separator, start);
        lastFieldTaken = end == std::string_view::npos;
        field = text.substr(start, lastFieldTaken ? end : end - start);
        start = end + 1;
    }
}

std::int32_t fieldCount(std::string_view text, std::string_view separator) {
    if (separator.empty())
        return 1;
    std::int32_t count = 1;
    for (auto at = text.find(separator); at != std::string_view::npos;
         at = text.find(separator, at + separator.size())) {
        if (count == std::numeric_limits<std::int32_t>::max())
            break;
        ++count;
    }
    return count;
}

} // namespace parlino
