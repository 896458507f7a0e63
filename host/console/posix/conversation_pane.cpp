#include "host/console/posix/conversation_pane.h"

#include <algorithm>

namespace parlino::host {
namespace {

// What a person may scroll back through; a flood of long lines drops the
// oldest rather than fill the memory.
constexpr std::size_t keptLines = 5000;
constexpr std::size_t keptCharacters = 2'000'000;

} // namespace

void drawCell(WINDOW *window, int y, const Cell &cell, std::u32string_view text, attr_t attributes) {
    wchar_t characters[CCHARW_MAX + 1] = {};
    cchar_t shown;
    const auto put = [&](int x, const wchar_t *what) {
        setcchar(&shown, what, attributes, 0, nullptr);
        mvwadd_wch(window, y, x, &shown);
    };
    switch (cell.kind) {
    case Cell::Kind::characters:
        // A wide character cut by a terminal narrower than it.
        if (columnsOf(text[cell.first]) > cell.columns) {
            put(cell.place.column, L">");
            break;
        }
        // A cell holds so many marks; any more are not drawn.
        for (std::size_t i = 0; i < cell.end - cell.first && i < CCHARW_MAX; ++i)
            characters[i] = static_cast<wchar_t>(text[cell.first + i]);
        put(cell.place.column, characters);
        break;
    case Cell::Kind::blank:
        for (int i = 0; i < cell.columns; ++i)
            put(cell.place.column + i, L" ");
        break;
    case Cell::Kind::notation: {
        const auto notation = notationOf(text[cell.first]);
        for (int i = 0; i < cell.columns; ++i) {
            characters[0] = static_cast<wchar_t>(notation[static_cast<std::size_t>(i)]);
            put(cell.place.column + i, characters);
        }
        break;
    }
    }
}

void ConversationPane::useWindow(WINDOW *window) {
    window_ = window;
    draw();
}

ConversationPane::Place ConversationPane::end() const {
    if (lines_.empty())
        return {firstSerial_, 0};
    return {nextSerial() - 1, layout().rowsOf(lines_.back().text) - 1};
}

void ConversationPane::add(std::u32string text, bool warning) {
    characters_ += text.size();
    lines_.push_back({std::move(text), warning});
    while (lines_.size() > 1 && (lines_.size() > keptLines || characters_ > keptCharacters)) {
        characters_ -= lines_.front().text.size();
        lines_.pop_front();
        ++firstSerial_;
    }
    if (window_ == nullptr)
        return;
    if (!atEnd_) {
        if (bottom_.serial < firstSerial_)
            bottom_ = moved({firstSerial_, 0}, height() - 2);
        draw(); // the line that tells what follows
        return;
    }
    const auto &line = lines_.back();
    const int rows = layout().rowsOf(line.text);
    if (rows >= height()) {
        draw();
        return;
    }
    // Below the rows in use while the window is not full; then the window
    // scrolls up to make room.
    if (const int over = filled_ + rows - height(); over > 0) {
        scrollok(window_, TRUE);
        wscrl(window_, over);
        scrollok(window_, FALSE);
        filled_ -= over;
    }
    filled_ += rows;
    drawRows(line, 0, rows - 1, filled_ - 1);
}

void ConversationPane::drawRows(const Line &line, int first, int last, int y) const {
    const attr_t attributes = line.warning ? A_BOLD : A_NORMAL;
    layout().layOut(line.text, {}, [&](const Cell &cell) {
        if (cell.place.row > last)
            return false;
        if (cell.place.row >= first)
            drawCell(window_, y - (last - cell.place.row), cell, line.text, attributes);
        return true;
    });
}

ConversationPane::Place ConversationPane::moved(Place place, int rows) const {
    const auto layout = this->layout();
    while (rows < 0) {
        if (place.row + rows >= 0) {
            place.row += rows;
            break;
        }
        if (place.serial == firstSerial_) {
            place.row = 0;
            break;
        }
        rows += place.row + 1;
        --place.serial;
        place.row = layout.rowsOf(lineAt(place.serial).text) - 1;
    }
    while (rows > 0) {
        const int last = layout.rowsOf(lineAt(place.serial).text) - 1;
        if (place.row + rows <= last) {
            place.row += rows;
            break;
        }
        if (place.serial + 1 == nextSerial()) {
            place.row = last;
            break;
        }
        rows -= last - place.row + 1;
        ++place.serial;
        place.row = 0;
    }
    return place;
}

void ConversationPane::pageUp() {
    if (window_ == nullptr || lines_.empty())
        return;
    const int page = std::max(1, height() - 2);
    auto bottom = atEnd_ ? end() : bottom_;
    bottom = moved(bottom, -page);
    // Not so far that the first line would stand below the window's top.
    const auto lowest = moved({firstSerial_, 0}, height() - 2);
    if (bottom.serial < lowest.serial || (bottom.serial == lowest.serial && bottom.row < lowest.row))
        bottom = lowest;
    const auto last = end();
    atEnd_ = bottom.serial > last.serial || (bottom.serial == last.serial && bottom.row >= last.row);
    bottom_ = bottom;
    draw();
}

void ConversationPane::pageDown() {
    if (window_ == nullptr || atEnd_)
        return;
    bottom_ = moved(bottom_, std::max(1, height() - 2));
    const auto last = end();
    atEnd_ = bottom_.serial == last.serial && bottom_.row >= last.row;
    draw();
}

void ConversationPane::drawLaterMark() const {
    const auto later = nextSerial() - 1 - bottom_.serial;
    const std::string text = later == 0 ? "-- more below: PgDn --"
                                        : "-- " + std::to_string(later) + (later == 1 ? " line" : " lines") +
                                              " below: PgDn --";
    wattron(window_, A_REVERSE);
    mvwaddnstr(window_, height() - 1, 0, text.c_str(), getmaxx(window_));
    wattroff(window_, A_REVERSE);
}

void ConversationPane::draw() {
    if (window_ == nullptr)
        return;
    werase(window_);
    filled_ = 0;
    if (lines_.empty())
        return;
    int y = height() - 1;
    Place place = end();
    if (atEnd_) {
        // Lines that do not fill the window stand at its top, as on a
        // terminal that has just been cleared.
        int rows = 0;
        const auto layout = this->layout();
        for (auto serial = nextSerial(); serial > firstSerial_ && rows < height();)
            rows += layout.rowsOf(lineAt(--serial).text);
        filled_ = std::min(rows, height());
        y = filled_ - 1;
    } else {
        drawLaterMark();
        --y;
        place = bottom_;
        const auto layout = this->layout();
        place.row = std::min(place.row, layout.rowsOf(lineAt(place.serial).text) - 1);
    }
    const auto layout = this->layout();
    for (;;) {
        const auto &line = lineAt(place.serial);
        drawRows(line, std::max(0, place.row - y), place.row, y);
        y -= place.row + 1;
        if (y < 0 || place.serial == firstSerial_)
            break;
        --place.serial;
        place.row = layout.rowsOf(lineAt(place.serial).text) - 1;
    }
}

} // namespace parlino::host
