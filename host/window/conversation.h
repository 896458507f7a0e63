// The conversation as the window shows it: a read-only multi-line edit
// control, one line per line sent or received, holding the last lines only
// so that a flood cannot fill the memory. Standard text, so that a screen
// reader reads it and the person copies from it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <deque>
#include <string>

namespace parlino::host {

// Who says a line: this side, the other side, or the window's link check.
enum class Speaker { me, peer, check };

// One line of the conversation: "14:02:11  me: hello", "14:02:11  check:
// heard: 20 probes ...". `visibleUtf8` has been through visibleText, so
// that it holds no line break or control: no peer's line can pass for the
// check's.
std::wstring conversationEntry(const std::string &timeOfDay, Speaker speaker, const std::string &visibleUtf8);
// The window's own line where lines that came too fast were left out:
// "14:02:11  (1234 lines came too fast to show)". No peer's line can read
// so: theirs say "peer:" after the time.
std::wstring leftOutEntry(const std::string &timeOfDay, std::size_t count);

class Conversation {
  public:
    // What stays: the last lines, at most this many and this much text (in
    // UTF-16 units). Trimmed once a quarter more has come, not line by line.
    static constexpr std::size_t mostLines = 2000;
    static constexpr std::size_t mostCharacters = 2'000'000;
    // Lines added at once at most: each addition costs the edit control
    // time for every line it holds, and more for every line added, during
    // which the window does not answer. The window adds fewer where lines
    // cost more.
    static constexpr std::size_t mostLinesAtOnce = 100;

    explicit Conversation(HWND edit);
    // Adds lines at the end, dropping the oldest beyond the bounds. The view
    // follows the new lines when its end was in sight; otherwise it stays
    // where the person scrolled, with their selection.
    void append(const std::deque<std::wstring> &entries);

  private:
    bool endInSight() const;

    HWND edit_;
    std::deque<std::size_t> lengths_; // of each line the control holds, without its line break
    std::size_t characters_ = 0;      // the control's text length: lines and CR LFs between them
};

} // namespace parlino::host
