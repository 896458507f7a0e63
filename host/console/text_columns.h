// Text laid out on a terminal's rows: which characters go into which cells,
// as wide as the terminal draws them. A wide character takes two columns
// and never splits across rows; a combining mark is drawn in the cell of
// the character before it; a tab reaches the next multiple of eight; what
// must not reach a terminal as itself is drawn as its notation (^Z,
// <U+202E>). Shared by the chat's screens on both platforms.
#pragma once

#include "host/core/visible_text.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace parlino::host {

// How many columns a terminal gives `character`: 1, 2 for an East Asian
// wide one, 0 for a combining mark, -1 when it has no way to draw it. Each
// platform answers from its own tables (console/posix, console/win32).
int columnsOf(char32_t character);

// How a character that is not shown as itself is written: ^Z for the
// controls below space, <U+202E> for the others.
std::u32string notationOf(char32_t character);

struct CellPlace {
    int row = 0, column = 0;
};

// One cell of a laid-out text, from its column over `columns` columns.
struct Cell {
    enum class Kind {
        characters, // text[first, end): a character and the marks combined with it
        blank,      // a tab: `columns` spaces
        notation,   // notationOf(text[first]), cut to `columns`
    };
    Kind kind = Kind::characters;
    std::size_t first = 0, end = 0;
    CellPlace place;
    int columns = 1;
};

class RowLayout {
  public:
    // Rows of `width` columns (at least 1). `columnsOf` is the platform's
    // own or, in tests, a stand-in.
    explicit RowLayout(int width, int (*columns)(char32_t) = columnsOf)
        : width_(width < 1 ? 1 : width), columnsOf_(columns) {}

    int width() const { return width_; }

    // Lays `text` out from `start`, calling visit(const Cell &) for each
    // cell in order until it returns false. Returns where a character after
    // the text would go (at the start of the next row when the last one is
    // full).
    template <typename Visit>
    CellPlace layOut(std::u32string_view text, CellPlace start, Visit &&visit) const;

    // The place of the character at `index`, or after the text for its size.
    CellPlace placeOf(std::u32string_view text, CellPlace start, std::size_t index) const;

    // How many rows `text` takes from the start of a row (at least one).
    int rowsOf(std::u32string_view text) const;

  private:
    int width_;
    int (*columnsOf_)(char32_t);
};

template <typename Visit>
CellPlace RowLayout::layOut(std::u32string_view text, CellPlace start, Visit &&visit) const {
    CellPlace next = start;
    Cell cell;
    bool held = false; // `cell` waits for marks that combine with it
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char32_t c = text[at];
        int columns = 1;
        auto kind = Cell::Kind::characters;
        if (c == U'\t') {
            kind = Cell::Kind::blank;
        } else if (!shownAsItself(c)) {
            kind = Cell::Kind::notation;
        } else {
            columns = columnsOf_(c);
            if (columns == 0 && held) {
                cell.end = at + 1;
                continue;
            }
            if (columns < 0)
                kind = Cell::Kind::notation;
            else if (columns == 0)
                columns = 1; // a mark with nothing to combine with: on a cell of its own
        }
        if (held && !visit(static_cast<const Cell &>(cell)))
            return next;
        if (next.column >= width_)
            next = {next.row + 1, 0};
        if (kind == Cell::Kind::blank)
            columns = 8 - next.column % 8;
        else if (kind == Cell::Kind::notation)
            columns = static_cast<int>(notationOf(c).size());
        if (next.column + columns > width_ && kind != Cell::Kind::blank && next.column > 0)
            next = {next.row + 1, 0};
        if (next.column + columns > width_)
            columns = width_ - next.column;
        cell = Cell{kind, at, at + 1, next, columns};
        held = true;
        next.column += columns;
    }
    if (held)
        visit(static_cast<const Cell &>(cell));
    if (next.column >= width_)
        next = {next.row + 1, 0};
    return next;
}

} // namespace parlino::host
