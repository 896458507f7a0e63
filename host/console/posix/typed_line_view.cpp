#include "host/console/posix/typed_line_view.h"

#include "host/console/posix/conversation_pane.h"
#include "host/console/text_columns.h"

#include <algorithm>

namespace parlino::host {

int TypedLineView::rowsWanted(const TypedLine &line) const {
    const RowLayout layout(COLS);
    const auto afterPrompt = layout.layOut(prompt_, {}, [](const Cell &) { return true; });
    const auto end = layout.layOut(line.text(), afterPrompt, [](const Cell &) { return true; });
    return std::clamp(end.row + 1, 1, std::max(1, LINES / 3));
}

void TypedLineView::place(int rows) {
    if (window_ != nullptr)
        delwin(window_);
    rows_ = rows;
    window_ = newwin(rows_, COLS, std::max(LINES, 1) - rows_, 0);
}

bool TypedLineView::draw(const TypedLine &line) {
    if (window_ == nullptr)
        return true;
    if (rowsWanted(line) != rows_ && LINES > 1)
        return false;
    const RowLayout layout(COLS);
    const auto &text = line.text();
    const auto afterPrompt = layout.layOut(prompt_, {}, [](const Cell &) { return true; });
    const auto cursor = layout.placeOf(text, afterPrompt, line.cursor());
    // The rows shown keep the cursor in sight, moving no more than needed.
    firstRow_ = std::clamp(firstRow_, cursor.row - rows_ + 1, cursor.row);
    const int last = firstRow_ + rows_ - 1;
    werase(window_);
    const auto drawShown = [&](std::u32string_view shown) {
        return [&, shown](const Cell &cell) {
            if (cell.place.row > last)
                return false;
            if (cell.place.row >= firstRow_)
                drawCell(window_, cell.place.row - firstRow_, cell, shown, A_NORMAL);
            return true;
        };
    };
    layout.layOut(prompt_, {}, drawShown(prompt_));
    layout.layOut(text, afterPrompt, drawShown(text));
    wmove(window_, cursor.row - firstRow_, cursor.column);
    return true;
}

void TypedLineView::refresh() {
    if (window_ != nullptr)
        wnoutrefresh(window_);
}

} // namespace parlino::host
