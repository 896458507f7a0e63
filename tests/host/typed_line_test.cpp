// What the editing keys of the chat's typed line do, and the lines they
// recall: each row a sequence of typing, keys and Enter, and the line it
// leaves with the cursor's place.
#include "host/console/typed_line.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

namespace parlino::host {
namespace {

using Edit = TypedLine::Edit;
struct Enter {};
using Step = std::variant<std::u32string, Edit, Enter>;

// A stand-in for the terminal's widths: ^ is a combining mark.
int testColumns(char32_t c) { return c == U'^' ? 0 : 1; }

struct Editing {
    const char *title;
    std::vector<Step> steps;
    std::u32string text;
    std::size_t cursor;
};

class TypedLineEditing : public testing::TestWithParam<Editing> {};

TEST_P(TypedLineEditing, LeavesTheLineAndCursor) {
    TypedLine line(testColumns);
    for (const auto &step : GetParam().steps) {
        if (const auto *text = std::get_if<std::u32string>(&step))
            line.insert(*text);
        else if (const auto *edit = std::get_if<Edit>(&step))
            line.apply(*edit);
        else
            line.take();
    }
    EXPECT_EQ(line.text(), GetParam().text);
    EXPECT_EQ(line.cursor(), GetParam().cursor);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, TypedLineEditing,
    testing::Values(
        Editing{"HomeAndEndAroundTyping", {U"world", Edit::home, U"hello ", Edit::end, U"!"}, U"hello world!", 12},
        Editing{"InsertInTheMiddle", {U"ac", Edit::left, U"b"}, U"abc", 2},
        Editing{"LeftStopsAtStart", {U"a", Edit::left, Edit::left}, U"a", 0},
        Editing{"RightStopsAtEnd", {U"a", Edit::right}, U"a", 1},
        Editing{"LeftSkipsCombiningMarks", {U"xe^^", Edit::left}, U"xe^^", 1},
        Editing{"RightSkipsCombiningMarks", {U"xe^y", Edit::home, Edit::right, Edit::right}, U"xe^y", 3},
        Editing{"DeleteTakesTheMarks", {U"e^^x", Edit::home, Edit::deleteForward}, U"x", 0},
        Editing{"BackspaceTakesOneCodePoint", {U"e^", Edit::backspace}, U"e", 1},
        Editing{"BackspaceAtStartNothing", {U"ab", Edit::home, Edit::backspace}, U"ab", 0},
        Editing{"WordLeftTwice", {U"one two  three", Edit::wordLeft, Edit::wordLeft}, U"one two  three", 4},
        Editing{"WordRightStopsAtTheWordsEnd", {U"one two", Edit::home, Edit::wordRight}, U"one two", 3},
        Editing{"WordRightFromStart", {U"one\ttwo", Edit::home, Edit::wordRight, Edit::wordRight}, U"one\ttwo", 7},
        Editing{"DeleteWordBefore", {U"one two  ", Edit::deleteWordBefore}, U"one ", 4},
        Editing{"DeleteToStart", {U"abcd", Edit::left, Edit::deleteToStart}, U"d", 0},
        Editing{"DeleteToEnd", {U"abcd", Edit::home, Edit::right, Edit::deleteToEnd}, U"a", 1},
        Editing{"Clear", {U"abcd", Edit::left, Edit::clear}, U"", 0},
        Editing{"EnterStartsAnEmptyLine", {U"sent", Enter{}}, U"", 0},
        Editing{"RecallKeepsTrailingSpace", {U"spaced ", Enter{}, Edit::earlier}, U"spaced ", 7},
        Editing{"RecallKeepsTabs", {U"\ta\t", Enter{}, Edit::earlier}, U"\ta\t", 3},
        Editing{"EarlierThenLaterGivesTheDraftBack",
                {U"a", Enter{}, U"b", Enter{}, U"dra", Edit::earlier, Edit::earlier, Edit::later, Edit::later},
                U"dra", 3},
        Editing{"EarlierStopsAtTheOldest", {U"a", Enter{}, U"b", Enter{}, Edit::earlier, Edit::earlier, Edit::earlier},
                U"a", 1},
        Editing{"BlankLinesAreNotKept", {U"a", Enter{}, U" \t ", Enter{}, Edit::earlier}, U"a", 1},
        Editing{"ALineTypedTwiceIsKeptOnce",
                {U"a", Enter{}, U"b", Enter{}, U"b", Enter{}, Edit::earlier, Edit::earlier}, U"a", 1},
        Editing{"EditingARecalledLineLeavesItKept",
                {U"a", Enter{}, Edit::earlier, U"b", Enter{}, Edit::earlier, Edit::earlier}, U"a", 1}),
    [](const auto &testInfo) { return std::string(testInfo.param.title); });

TEST(TypedLine, KeepsTheLast500Lines) {
    TypedLine line(testColumns);
    for (int i = 0; i < 501; ++i) {
        line.insert(std::u32string(1, static_cast<char32_t>(U'\u4E00' + i)));
        line.take();
    }
    for (int i = 0; i < 600; ++i)
        line.apply(Edit::earlier);
    EXPECT_EQ(line.text(), std::u32string(1, U'\u4E01'));
}

} // namespace
} // namespace parlino::host
