// The conversation on a Linux terminal: its last lines, kept in memory up
// to a bound, drawn into a curses window from the bottom up. PgUp and PgDn
// move a view back through them; while the view is at the end, a new line
// scrolls the window and only its own rows are drawn.
#pragma once

#include "host/console/text_columns.h"

#define NCURSES_WIDECHAR 1
#include <curses.h>

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace parlino::host {

// Draws one laid-out cell of `text` at row y of `window`.
void drawCell(WINDOW *window, int y, const Cell &cell, std::u32string_view text, attr_t attributes);

class ConversationPane {
  public:
    struct Line {
        std::u32string text;
        bool warning = false;
    };

    // The window the pane draws into (null while the terminal has no room
    // for it); drawn whole.
    void useWindow(WINDOW *window);
    void add(std::u32string text, bool warning);
    void pageUp();
    void pageDown();
    void draw();

    // The serial number the next line gets; with lineAt, what was shown
    // since a point (lines dropped meanwhile are skipped).
    std::uint64_t nextSerial() const { return firstSerial_ + lines_.size(); }
    std::uint64_t firstSerial() const { return firstSerial_; }
    const Line &lineAt(std::uint64_t serial) const { return lines_[serial - firstSerial_]; }

  private:
    struct Place {
        std::uint64_t serial = 0;
        int row = 0; // of that line
    };
    int height() const { return window_ != nullptr ? getmaxy(window_) : 0; }
    RowLayout layout() const { return RowLayout(window_ != nullptr ? getmaxx(window_) : 80); }
    Place end() const;
    // Rows of `line` from `first` to `last` drawn with `last` at row y.
    void drawRows(const Line &line, int first, int last, int y) const;
    // `place` moved by `rows` (up when negative), within the lines kept.
    Place moved(Place place, int rows) const;
    void drawLaterMark() const;

    WINDOW *window_ = nullptr;
    std::deque<Line> lines_;
    std::uint64_t firstSerial_ = 0;
    std::size_t characters_ = 0;
    // The view: at the end, or with `bottom` on the window's last row but
    // one (the last tells that more lines follow).
    bool atEnd_ = true;
    Place bottom_;
    int filled_ = 0; // rows in use from the window's top, at the end
};

} // namespace parlino::host
