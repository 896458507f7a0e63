// On Windows the console's own line input is used: ReadConsoleW in its
// cooked mode already edits the line (arrows, backspace, Esc) and keeps a
// history (up and down arrows, F7), and a console gives no way to redraw the
// line being typed under an arriving one without taking over that editing.
// The console output starts an arriving line on a line of its own instead.
#include "host/console/line_editor.h"

namespace parlino::host {

const char *const lineEditorKeys =
    "Keys in a console: the console's own editing (arrows, Backspace, Esc) and history (Up, Down, F7); Tab is "
    "a tab; Ctrl-Z then Enter leaves.";

std::unique_ptr<LineEditor> openLineEditor(const std::string &, std::string &) { return nullptr; }

} // namespace parlino::host
