// What a person sees of text from outside: nothing that steers a terminal
// gets through raw, valid UTF-8 stays itself.
#include "host/core/visible_text.h"

#include "host/core/utf8.h"

#include <gtest/gtest.h>

namespace parlino::host {
namespace {

TEST(VisibleText, ShowsControlsAndBrokenUtf8AndKeepsTheRest) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"", ""},
        {"plain text", "plain text"},
        {"tab\tkept", "tab\tkept"},
        {"caf\xc3\xa9 Gr\xc3\xbc\xc3\x9f" "e \xe6\x97\xa5 \xf0\x9f\x98\x80",
         "caf\xc3\xa9 Gr\xc3\xbc\xc3\x9f" "e \xe6\x97\xa5 \xf0\x9f\x98\x80"},
        {std::string_view("nul\0!", 5), "nul^@!"},
        {"\x1b[2J\x1b]0;title\x07", "^[[2J^[]0;title^G"},
        {"cr\rlf\n del\x7f", "cr^Mlf^J del^?"},
        {"\x1f", "^_"},
        // C1 controls as UTF-8: CSI, NEL, the first and the last.
        {"\xc2\x9b" "31m", "<U+009B>31m"},
        {"\xc2\x85\xc2\x80\xc2\x9f", "<U+0085><U+0080><U+009F>"},
        {"\xc2\xa0", "\xc2\xa0"}, // U+00A0 is no control
        // Invisible characters that reorder or hide text; the joiners stay.
        {"evil\xe2\x80\xaetxt.exe", "evil<U+202E>txt.exe"},
        {"\xe2\x80\xaa\xe2\x81\xa6\xe2\x81\xa9\xe2\x80\x8b\xef\xbb\xbf\xd8\x9c",
         "<U+202A><U+2066><U+2069><U+200B><U+FEFF><U+061C>"},
        {"\xe2\x80\xa7\xe2\x80\xaf\xe2\x81\xb0", "\xe2\x80\xa7\xe2\x80\xaf\xe2\x81\xb0"}, // neighbours
        {"\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x92\xbb", "\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x92\xbb"},
        // Hangul fillers, tag characters, U+180E, soft hyphen, the line and
        // paragraph separators, the interlinear annotation characters.
        {"a\xe3\x85\xa4\xe1\x85\x9f" "b", "a<U+3164><U+115F>b"},
        {"\xf3\xa0\x80\x81\xf3\xa0\x81\x81\xf3\xa0\x81\xbf", "<U+E0001><U+E0041><U+E007F>"},
        {"\xe1\xa0\x8e\xc2\xad\xe2\x80\xa8\xe2\x80\xa9\xef\xbf\xb9\xef\xbf\xbb",
         "<U+180E><U+00AD><U+2028><U+2029><U+FFF9><U+FFFB>"},
        // Joiners that join nothing, and a second variation selector, hide;
        // one after a visible character (a red heart, a heart on fire) stays.
        {"\xe2\x80\x8d" "a\xe2\x80\x8c b\xe2\x80\x8d", "<U+200D>a<U+200C> b<U+200D>"},
        {"\xe2\x9d\xa4\xef\xb8\x8f\xe2\x80\x8d\xf0\x9f\x94\xa5", "\xe2\x9d\xa4\xef\xb8\x8f\xe2\x80\x8d\xf0\x9f\x94\xa5"},
        {"a\xf3\xa0\x84\x80\xf3\xa0\x84\x81 \xef\xb8\x8f", "a\xf3\xa0\x84\x80<U+E0101> <U+FE0F>"},
        // Bytes that are not UTF-8: lone C1 bytes, Latin-1, cut sequences,
        // overlong forms, surrogates, beyond U+10FFFF.
        {"\x9b" "31m\x85", "\\x9B31m\\x85"},
        {"caf\xe9", "caf\\xE9"},
        {"\xe6\x97", "\\xE6\\x97"},
        {"\xe6\x97x", "\\xE6\\x97x"},
        {"\xc0\x9b \xc1\xbf \xe0\x80\x9b", "\\xC0\\x9B \\xC1\\xBF \\xE0\\x80\\x9B"},
        {"\xed\xa0\x80", "\\xED\\xA0\\x80"},
        {"\xf4\x90\x80\x80 \xf5\x80\x80\x80 \xff", "\\xF4\\x90\\x80\\x80 \\xF5\\x80\\x80\\x80 \\xFF"},
        // Noncharacters: U+FFFF, U+FDD0, U+FDEF, U+1FFFE, U+10FFFF; beside
        // them U+FDCF, U+FDF0 and U+FFFD are characters.
        {"\xef\xbf\xbf\xef\xb7\x90\xef\xb7\xaf", "<U+FFFF><U+FDD0><U+FDEF>"},
        {"\xf0\x9f\xbf\xbe\xf4\x8f\xbf\xbf", "<U+1FFFE><U+10FFFF>"},
        {"\xef\xb7\x8f\xef\xb7\xb0\xef\xbf\xbd", "\xef\xb7\x8f\xef\xb7\xb0\xef\xbf\xbd"},
    };
    for (const auto &[text, shown] : cases)
        EXPECT_EQ(visibleText(text), shown) << testing::PrintToString(std::string(text));
}

// A window shows every control as a code point, as it shows the rest.
TEST(VisibleText, WritesControlsAsCodePointsWhenAsked) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"\x1b[2J", "<U+001B>[2J"},
        {"cr\rlf\n del\x7f", "cr<U+000D>lf<U+000A> del<U+007F>"},
        {std::string_view("nul\0!", 5), "nul<U+0000>!"},
        {"tab\tkept", "tab\tkept"},
        {"\xc2\x9b" "31m\xe2\x80\xae", "<U+009B>31m<U+202E>"},
        {"caf\xe9", "caf\\xE9"},
    };
    for (const auto &[text, shown] : cases)
        EXPECT_EQ(visibleText(text, ControlNotation::codePoint), shown) << testing::PrintToString(std::string(text));
}

// What the typed line is sent as: each length of UTF-8 at both its bounds,
// written and read back.
TEST(Utf8, WritesAndReadsEachLengthAtItsBounds) {
    const std::pair<char32_t, std::string_view> cases[] = {
        {U'\x7F', "\x7f"},
        {U'\x80', "\xc2\x80"},
        {U'\u07FF', "\xdf\xbf"},
        {U'\u0800', "\xe0\xa0\x80"},
        {U'\uFFFD', "\xef\xbf\xbd"},
        {U'\U00010000', "\xf0\x90\x80\x80"},
        {U'\U0010FFFF', "\xf4\x8f\xbf\xbf"},
    };
    for (const auto &[codePoint, bytes] : cases) {
        EXPECT_EQ(utf8FromUtf32(std::u32string(1, codePoint)), bytes) << static_cast<std::uint32_t>(codePoint);
        EXPECT_EQ(utf32FromUtf8(bytes), std::u32string(1, codePoint)) << static_cast<std::uint32_t>(codePoint);
    }
}

// A text that is part of a longer one is read up to its end and no
// further, whatever follows it in memory.
TEST(Utf8, ReadsNothingBeyondTheText) {
    const std::string_view cutSequence = std::string_view("x\xe6\x97\xa5", 3);
    EXPECT_EQ(utf32FromUtf8(cutSequence), U"x\uFFFD\uFFFD");
    EXPECT_EQ(visibleText(cutSequence), "x\\xE6\\x97");
    EXPECT_FALSE(isUtf8(cutSequence));
    // A joiner at the end joins nothing, even with a letter after the text.
    EXPECT_EQ(visibleText(std::string_view("a\xe2\x80\x8d" "b", 4)), "a<U+200D>");
}

} // namespace
} // namespace parlino::host
