// The field rule over any text and separator: the fields joined back with the
// separator give the text, fieldCount counts them, no field holds the
// separator, field numbers outside 1..fieldCount give the empty text, and
// the module's one-character reader and leadingFields give the same fields
// as the general rule of the test seam.
#include "support/field_seam.h"
#include "property.h"

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using parlino::testing::fieldCount;
    using parlino::testing::parameterField;
    if (size == 0)
        return 0;
    // First byte: separator length 0..3 taken from the bytes that follow.
    const std::size_t separatorLength = std::min<std::size_t>(data[0] % 4, size - 1);
    const std::string_view separator(reinterpret_cast<const char *>(data) + 1, separatorLength);
    const std::string_view text(reinterpret_cast<const char *>(data) + 1 + separatorLength,
                                size - 1 - separatorLength);

    const std::int32_t count = fieldCount(text, separator);
    PROPERTY(count >= 1);
    PROPERTY(parameterField(text, separator, 0).empty());
    PROPERTY(parameterField(text, separator, -1).empty());
    PROPERTY(parameterField(text, separator, std::numeric_limits<std::int32_t>::min()).empty());
    PROPERTY(parameterField(text, separator, count + 1).empty());
    PROPERTY(parameterField(text, separator, std::numeric_limits<std::int32_t>::max()).empty() ||
             count == std::numeric_limits<std::int32_t>::max());
    if (separator.empty()) {
        PROPERTY(count == 1);
        PROPERTY(parameterField(text, separator, 1) == text);
        return 0;
    }

    // Walk the fields by their positions: each field is a view into the text,
    // so consecutive fields must be exactly one separator apart. Each lookup
    // scans from the start, so with many fields only the first and the last
    // are looked up one by one and the rest are taken by a plain scan.
    constexpr std::int32_t fieldsLookedUp = 128;
    std::string joined;
    std::size_t expectedStart = 0;
    for (std::int32_t n = 1; n <= count; ++n) {
        std::string_view field;
        if (n <= fieldsLookedUp || n > count - fieldsLookedUp) {
            field = parameterField(text, separator, n);
            PROPERTY(field.find(separator) == std::string_view::npos);
            if (!field.empty())
                PROPERTY(static_cast<std::size_t>(field.data() - text.data()) == expectedStart);
        } else {
            const auto end = text.find(separator, expectedStart);
            PROPERTY(end != std::string_view::npos);
            field = text.substr(expectedStart, end - expectedStart);
        }
        expectedStart += field.size() + separator.size();
        if (n > 1)
            joined += separator;
        joined += field;
    }
    PROPERTY(joined == text);

    // The module's reader and its one-pass reader of leading fields agree
    // with the general rule.
    if (separator.size() == 1) {
        std::array<std::string_view, 6> leading;
        parlino::leadingFields(text, separator.front(), leading);
        for (std::size_t i = 0; i < leading.size(); ++i) {
            const auto expected = parameterField(text, separator, static_cast<std::int32_t>(i + 1));
            PROPERTY(leading[i] == expected);
            PROPERTY(parlino::parameterField(text, separator.front(), static_cast<std::int32_t>(i + 1)) ==
                     expected);
            PROPERTY(leading[i].empty() || leading[i].data() == expected.data());
        }
    }
    return 0;
}
