#include "chat/text_fields.h"
#include "support/field_seam.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace parlino {
namespace {

struct FieldCase {
    std::string_view text;
    std::string_view separator;
    std::int32_t n;
    std::string_view field;
};

class ParameterFieldTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(ParameterFieldTest, TakesTheNumberedField) {
    const auto &c = GetParam();
    EXPECT_EQ(testing::parameterField(c.text, c.separator, c.n), c.field)
        << "text '" << c.text << "' field " << c.n;
    if (c.separator.size() == 1) {
        EXPECT_EQ(parameterField(c.text, c.separator.front(), c.n), c.field)
            << "text '" << c.text << "' field " << c.n;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ParameterFieldTest,
    ::testing::Values(FieldCase{"a|b|c", "|", 1, "a"}, FieldCase{"a|b|c", "|", 2, "b"},
                      FieldCase{"a|b|c", "|", 3, "c"}, FieldCase{"a|b|c", "|", 4, ""},
                      FieldCase{"abc", "|", 1, "abc"}, FieldCase{"abc", "|", 2, ""},
                      FieldCase{"a||c", "|", 2, ""}, FieldCase{"a||c", "|", 3, "c"},
                      FieldCase{"a|", "|", 2, ""}, FieldCase{" 5000 |x", "|", 1, " 5000 "},
                      FieldCase{"\"q\"|x", "|", 1, "\"q\""}, FieldCase{"10.0.0.7", ".", 1, "10"},
                      FieldCase{"10.0.0.7", ".", 4, "7"}, FieldCase{"10..1", ".", 2, ""},
                      FieldCase{"a|b", "|", 0, ""}, FieldCase{"a|b", "|", -1, ""},
                      FieldCase{"", "|", 1, ""}, FieldCase{"", "|", 3, ""},
                      FieldCase{"a::b::c", "::", 2, "b"}, FieldCase{"a:::b", "::", 2, ":b"},
                      FieldCase{"1.2.3.4.5", ".", 5, "5"}));

struct CountCase {
    std::string_view text;
    std::string_view separator;
    std::int32_t count;
};

class FieldCountTest : public ::testing::TestWithParam<CountCase> {};

TEST_P(FieldCountTest, CountsSeparatorsPlusOne) {
    const auto &c = GetParam();
    EXPECT_EQ(testing::fieldCount(c.text, c.separator), c.count) << "text '" << c.text << "'";
}

INSTANTIATE_TEST_SUITE_P(Counts, FieldCountTest,
                         ::testing::Values(CountCase{"", "|", 1}, CountCase{"abc", "|", 1},
                                           CountCase{"a|b|c", "|", 3}, CountCase{"10..1", ".", 3},
                                           CountCase{"||", "|", 3}, CountCase{"a::::b", "::", 3}));

TEST(ParameterFieldProperty, FieldsJoinedBackGiveTheText) {
    for (std::string_view text : {"", "|", "a||b|", "|x|y|z", " 1 | 2 |3"}) {
        std::string joined;
        const auto count = testing::fieldCount(text, "|");
        for (std::int32_t n = 1; n <= count; ++n) {
            const auto field = parameterField(text, '|', n);
            EXPECT_EQ(field.find('|'), std::string_view::npos);
            joined += (n > 1 ? "|" : "") + std::string(field);
        }
        EXPECT_EQ(joined, text);
        EXPECT_EQ(parameterField(text, '|', count + 1), "");
    }
}

TEST(LeadingFields, GivesWhatParameterFieldGivesForEachField) {
    for (std::string_view text : {"", "|", "||", "a", "a|", "|a", "a|b", "a||c", " 1 | 2 |3",
                                  "127.0.0.1|5000|hello", "a|b|c|d|e|f|g", "x|y|z|"}) {
        for (std::size_t count = 0; count <= 8; ++count) {
            std::vector<std::string_view> fields(count, "unset");
            leadingFields(text, '|', fields);
            for (std::size_t n = 1; n <= count; ++n)
                EXPECT_EQ(fields[n - 1], parameterField(text, '|', static_cast<std::int32_t>(n)))
                    << "text '" << text << "' field " << n << " of " << count;
        }
    }
}

} // namespace
} // namespace parlino
