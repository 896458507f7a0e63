// The line being typed, at the bottom of the chat's screen on a Linux
// terminal: the prompt and the text laid out by the columns their
// characters take, on as many rows as that needs up to a third of the
// terminal; the rows shown keep the cursor in sight.
#pragma once

#include "host/console/typed_line.h"

#define NCURSES_WIDECHAR 1
#include <curses.h>

#include <string>

namespace parlino::host {

class TypedLineView {
  public:
    explicit TypedLineView(std::u32string prompt) : prompt_(std::move(prompt)) {}
    // The window belongs to the curses screen, which frees it.

    const std::u32string &prompt() const { return prompt_; }
    // The rows `line` takes: up to a third of the terminal, at least one.
    int rowsWanted(const TypedLine &line) const;
    // The view is the terminal's last `rows` rows, at its size now.
    void place(int rows);
    // Draws `line` into the window; false, with nothing drawn, when the
    // line wants another number of rows: the screen is arranged again.
    bool draw(const TypedLine &line);
    // Marks the window for the next doupdate, the cursor in it.
    void refresh();

  private:
    std::u32string prompt_;
    WINDOW *window_ = nullptr;
    int rows_ = 1, firstRow_ = 0;
};

} // namespace parlino::host
