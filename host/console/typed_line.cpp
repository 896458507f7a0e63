#include "host/console/typed_line.h"

namespace parlino::host {
namespace {
// As many lines as a person scrolls back through.
constexpr std::size_t keptLines = 500;
} // namespace

TypedLine::TypedLine(int (*columnsOf)(char32_t)) : columnsOf_(columnsOf) {}

void TypedLine::insert(std::u32string_view text) {
    text_.insert(cursor_, text);
    cursor_ += text.size();
}

void TypedLine::apply(Edit edit) {
    const auto size = text_.size();
    switch (edit) {
    case Edit::left:
        if (cursor_ > 0)
            --cursor_;
        while (cursor_ > 0 && combining(cursor_))
            --cursor_;
        break;
    case Edit::right:
        if (cursor_ < size)
            ++cursor_;
        while (combining(cursor_))
            ++cursor_;
        break;
    case Edit::home:
        cursor_ = 0;
        break;
    case Edit::end:
        cursor_ = size;
        break;
    case Edit::wordLeft:
        while (cursor_ > 0 && blank(text_[cursor_ - 1]))
            --cursor_;
        while (cursor_ > 0 && !blank(text_[cursor_ - 1]))
            --cursor_;
        break;
    case Edit::wordRight:
        while (cursor_ < size && blank(text_[cursor_]))
            ++cursor_;
        while (cursor_ < size && !blank(text_[cursor_]))
            ++cursor_;
        break;
    case Edit::backspace:
        if (cursor_ > 0)
            text_.erase(--cursor_, 1);
        break;
    case Edit::deleteForward: {
        auto end = cursor_ < size ? cursor_ + 1 : cursor_;
        while (combining(end))
            ++end;
        text_.erase(cursor_, end - cursor_);
        break;
    }
    case Edit::deleteToStart:
        text_.erase(0, cursor_);
        cursor_ = 0;
        break;
    case Edit::deleteWordBefore: {
        auto start = cursor_;
        while (start > 0 && blank(text_[start - 1]))
            --start;
        while (start > 0 && !blank(text_[start - 1]))
            --start;
        text_.erase(start, cursor_ - start);
        cursor_ = start;
        break;
    }
    case Edit::deleteToEnd:
        text_.erase(cursor_);
        break;
    case Edit::earlier:
        if (recalled_ > 0) {
            if (recalled_ == history_.size())
                draft_ = text_;
            recall(recalled_ - 1);
        }
        break;
    case Edit::later:
        if (recalled_ < history_.size())
            recall(recalled_ + 1);
        break;
    case Edit::clear:
        text_.clear();
        cursor_ = 0;
        break;
    }
}

void TypedLine::recall(std::size_t index) {
    recalled_ = index;
    text_ = index == history_.size() ? draft_ : history_[index];
    cursor_ = text_.size();
}

std::u32string TypedLine::take() {
    auto line = std::move(text_);
    text_.clear();
    cursor_ = 0;
    draft_.clear();
    if (line.find_first_not_of(U" \t") != std::u32string::npos && (history_.empty() || history_.back() != line)) {
        history_.push_back(line);
        if (history_.size() > keptLines)
            history_.pop_front();
    }
    recalled_ = history_.size();
    return line;
}

} // namespace parlino::host
