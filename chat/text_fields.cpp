#include "text_fields.h"

namespace parlino {

std::string_view parameterField(std::string_view text, char separator, std::int32_t n) {
    if (n < 1)
        return {};
    std::size_t start = 0;
    for (std::int32_t field = 1; field < n; ++field) {
        const auto next = text.find(separator, start);
        if (next == std::string_view::npos)
            return {};
        start = next + 1;
    }
    const auto end = text.find(separator, start);
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

} // namespace parlino
