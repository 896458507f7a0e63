// The line being typed in the chat, and the lines typed before it: what
// the editing keys do, apart from any screen. Both terminal front ends
// (a Linux terminal, a Windows console) edit through it.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace parlino::host {

class TypedLine {
  public:
    // `columnsOf` tells a combining mark (0 columns), which moves with the
    // character before it.
    explicit TypedLine(int (*columnsOf)(char32_t));

    enum class Edit {
        left, right, home, end, wordLeft, wordRight,                         // move
        backspace, deleteForward, deleteToStart, deleteWordBefore, deleteToEnd, // delete
        earlier, later,                                                       // history
        clear,
    };

    const std::u32string &text() const { return text_; }
    std::size_t cursor() const { return cursor_; }

    // Puts typed or pasted text in at the cursor, in one piece.
    void insert(std::u32string_view text);
    void apply(Edit edit);
    // The finished line, which starts a new empty one; a line with more
    // than spaces and tabs is kept for earlier/later (once when typed twice
    // in a row), exactly as typed.
    std::u32string take();

  private:
    bool combining(std::size_t at) const { return at < text_.size() && columnsOf_(text_[at]) == 0; }
    static bool blank(char32_t c) { return c == U' ' || c == U'\t'; }
    void recall(std::size_t index);

    int (*columnsOf_)(char32_t);
    std::u32string text_;
    std::size_t cursor_ = 0;
    std::deque<std::u32string> history_; // oldest first
    std::size_t recalled_ = 0;           // history_.size() while on the line being typed
    std::u32string draft_;               // that line, while an earlier one is shown
};

} // namespace parlino::host
