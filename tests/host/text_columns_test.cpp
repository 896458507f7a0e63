// How the chat's screens lay text out on a terminal's rows: each row a
// text, a width and what the rows show, column by column.
#include "host/console/text_columns.h"

#include <gtest/gtest.h>

#include <string>

namespace parlino::host {
namespace {

// A stand-in for the terminal's widths: W is wide, ^ a combining mark, ?
// has no way to be drawn.
int testColumns(char32_t c) { return c == U'W' ? 2 : c == U'^' ? 0 : c == U'?' ? -1 : 1; }

// The rows as text, '|' between them: what each cell draws (a wide
// character followed by _ for its second column, a tab as spaces), '.' for
// a column with nothing.
std::u32string picture(std::u32string_view text, int width, CellPlace start = {}) {
    std::u32string rows;
    int row = 0, column = 0;
    const auto fillTo = [&](CellPlace place) {
        for (; row < place.row; ++row, column = 0)
            rows += std::u32string(static_cast<std::size_t>(width - column), U'.') + U"|";
        rows += std::u32string(static_cast<std::size_t>(place.column - column), U'.');
        column = place.column;
    };
    fillTo(start);
    const RowLayout layout(width, testColumns);
    layout.layOut(text, start, [&](const Cell &cell) {
        fillTo(cell.place);
        if (cell.kind == Cell::Kind::blank)
            rows += std::u32string(static_cast<std::size_t>(cell.columns), U' ');
        else if (cell.kind == Cell::Kind::notation)
            rows += notationOf(text[cell.first]).substr(0, static_cast<std::size_t>(cell.columns));
        else
            rows += std::u32string(text.substr(cell.first, cell.end - cell.first)) +
                    std::u32string(static_cast<std::size_t>(cell.columns - 1), U'_');
        column += cell.columns;
        return true;
    });
    fillTo({row, width});
    return rows;
}

struct Layout {
    const char *title;
    std::u32string text;
    int width;
    std::u32string rows;
};

class RowLayoutRows : public testing::TestWithParam<Layout> {};

TEST_P(RowLayoutRows, DrawsEachCellWhereATerminalWould) {
    EXPECT_EQ(picture(GetParam().text, GetParam().width), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RowLayoutRows,
    testing::Values(
        Layout{"FitsOneRow", U"abc", 4, U"abc."},
        Layout{"WrapsAtTheWidth", U"abcdef", 4, U"abcd|ef.."},
        Layout{"WideNeverSplits", U"abcW", 4, U"abc.|W_.."},
        Layout{"WideFillsARow", U"WW", 4, U"W_W_"},
        Layout{"MarksCombineWithTheCharacterBefore", U"a^^b", 4, U"a^^b.."},
        Layout{"MarkAtTheStartStandsAlone", U"^a", 4, U"^a.."},
        Layout{"MarkAfterAFullRowStaysWithItsCharacter", U"abcd^e", 4, U"abcd^|e..."},
        Layout{"TabToTheNextStop", U"a\tb", 12, U"a       b..."},
        Layout{"TabAtTheRowEndIsCut", U"abcdefghi\tx", 10, U"abcdefghi |x........."},
        Layout{"ControlAsCaret", U"a\x1b", 4, U"a^[."},
        Layout{"InvisibleAsCodePoint", U"a\u202Eb", 12, U"a<U+202E>b.."},
        Layout{"NoncharacterAsCodePoint", U"\U0010FFFF", 10, U"<U+10FFFF>"},
        Layout{"UndrawableAsCodePoint", U"?", 10, U"<U+003F>.."},
        Layout{"NotationMovesToTheNextRow", U"abc\u202E", 8, U"abc.....|<U+202E>"},
        Layout{"NotationWiderThanTheRowIsCut", U"\u202E", 4, U"<U+2"},
        Layout{"WideInOneColumnIsCut", U"W", 1, U"W"}),
    [](const auto &testInfo) { return std::string(testInfo.param.title); });

TEST(RowLayout, StartsAfterAPrompt) { EXPECT_EQ(picture(U"abcd", 4, {0, 2}), U"..ab|cd.."); }

TEST(RowLayout, PlacesTheCursor) {
    const RowLayout layout(4, testColumns);
    struct Case {
        std::u32string text;
        std::size_t index;
        int row, column;
    };
    for (const auto &c : {Case{U"abcdef", 5, 1, 1}, Case{U"abcd", 4, 1, 0}, Case{U"abcW", 3, 1, 0},
                          Case{U"ae^b", 2, 0, 1}, Case{U"", 0, 0, 0}}) {
        const auto place = layout.placeOf(c.text, {}, c.index);
        EXPECT_EQ(place.row, c.row) << c.index;
        EXPECT_EQ(place.column, c.column) << c.index;
    }
    EXPECT_EQ(layout.rowsOf(U"abcd"), 1);
    EXPECT_EQ(layout.rowsOf(U"abcde"), 2);
    EXPECT_EQ(layout.rowsOf(U""), 1);
}

} // namespace
} // namespace parlino::host
