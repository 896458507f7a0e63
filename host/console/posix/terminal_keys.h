// The keys of the chat's screen on a Linux terminal: what curses reads,
// decoded into what the screen does. Terminfo names most keys; the
// sequences xterm and tmux send are known too, for a TERM whose terminfo
// names other ones (xterm-256color inside tmux: Home arrives as ESC [ 1 ~,
// not ESC O H), and the rest of an escape sequence known to neither is read
// and dropped, never typed into the line.
#pragma once

#include "host/console/typed_line.h"

#define NCURSES_WIDECHAR 1
#include <curses.h>

#include <vector>

namespace parlino::host {

// Whether tigetstr found a string capability.
bool isTerminfoString(const char *capability);

// What may stand in a typed line: text, and tabs; not the controls, which
// are keys or nothing.
bool isTypedText(wint_t key);

struct KeyAction {
    enum class Kind {
        nothing,   // a key with no meaning here
        edit,      // `edit` on the typed line
        enter,     // the line is finished
        interrupt, // Ctrl-C
        quit,      // Ctrl-\ (SIGQUIT)
        suspend,   // Ctrl-Z
        endOrDelete, // Ctrl-D: leave on an empty line, else delete forward
        redraw,    // Ctrl-L
        pageUp,
        pageDown,
        resized,
    };
    Kind kind = Kind::nothing;
    TypedLine::Edit edit = TypedLine::Edit::left;
};

class TerminalKeys {
  public:
    // Teaches curses the sequences it does not know yet; once the terminal
    // is set up.
    void define();
    // The action of what wget_wch read from `window` (its result `kind` and
    // `key`), which is not text; an escape may read more keys from `window`.
    KeyAction action(int kind, wint_t key, WINDOW *window) const;

  private:
    KeyAction actionOfKey(int key) const;
    KeyAction actionOfControl(wint_t key, WINDOW *window) const;
    static KeyAction afterEscape(WINDOW *window);

    std::vector<int> wordLeftKeys_, wordRightKeys_; // the codes terminfo gave them
};

} // namespace parlino::host
