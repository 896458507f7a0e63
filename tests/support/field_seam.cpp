#include "support/field_seam.h"

#include <limits>

namespace parlino::testing {

std::string_view parameterField(std::string_view text, std::string_view separator, std::int32_t n) {
    if (n < 1 || separator.empty())
        return n == 1 ? text : std::string_view{};
    std::size_t start = 0;
    for (std::int32_t field = 1; field < n; ++field) {
        const auto next = text.find(separator, start);
        if (next == std::string_view::npos)
            return {};
        start = next + separator.size();
    }
    const auto end = text.find(separator, start);
    return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
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

} // namespace parlino::testing
