// The keyboard side of the chat on a terminal: the line being typed is
// edited in place (arrows, backspace, history) and stays whole below the
// lines that arrive meanwhile. On a pipe there is none: plain lines.
#pragma once

#include <memory>
#include <string>

namespace parlino::host {

class LineEditor {
  public:
    virtual ~LineEditor() = default;

    enum class Read { line, nothing, endOfInput };
    // Waits up to `milliseconds` for a finished line (without its newline).
    // One thread reads.
    virtual Read readLine(std::string &line, int milliseconds) = 0;
    // Shows a whole line above the one being typed, on standard output or
    // standard error; any thread.
    virtual void showLine(const std::string &text, bool onStandardError = false) = 0;
};

// The keys of the editor, for the chat's help.
extern const char *const lineEditorKeys;

// An editor on the terminal when standard input and output are one, else
// null (the chat then reads plain lines). The terminal is given back as it
// was when the editor is destroyed. `note` is set to what the person should
// be told once, such as how the terminal is read when the locale would lose
// typed text.
std::unique_ptr<LineEditor> openLineEditor(const std::string &prompt, std::string &note);

} // namespace parlino::host
