// The chat on a terminal: the conversation above, the line being typed
// below it, kept whole and in place while lines arrive. Linux draws it with
// ncursesw (console/posix), Windows on its console (console/win32). Where
// there is none (a pipe, a terminal that cannot be drawn on) the chat
// reads and writes plain lines instead.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace parlino::host {

class ChatScreen {
  public:
    virtual ~ChatScreen() = default;

    enum class Read { line, nothing, endOfInput };
    // Waits up to `milliseconds` for a finished line (without its newline),
    // keeping the screen up to date meanwhile. One thread reads.
    virtual Read readLine(std::string &line, int milliseconds) = 0;
    // Shows a whole line of the conversation above the one being typed: a
    // line the chat says, or with `warning` one it would write to standard
    // error. The text must be visible already (visibleText). Any thread.
    virtual void showLine(const std::string &text, bool warning = false) = 0;
};

// The keys of the screen, for the chat's help.
extern const char *const chatScreenKeys;

// A screen when standard input and output are one terminal that can be
// drawn on, else null. `shownAlready` are the lines the chat wrote before,
// which the screen shows too. `note` is set to what the person should be
// told once: how the terminal is read when the locale would lose typed
// text, or why there is no screen. The terminal is given back as it was,
// with the conversation left on it, when the screen is destroyed.
std::unique_ptr<ChatScreen> openChatScreen(const std::string &prompt, const std::vector<std::string> &shownAlready,
                                           std::string &note);

} // namespace parlino::host
