// The chat's screen in a Windows console. Keys are read as console input
// records, not through the console's line input, which owns the row where a
// line began and lets an arriving line be written over it. The typed line
// is drawn here, below the conversation: an arriving line is written where
// the typed line stood, and the typed line drawn again under it. The
// conversation itself is the console's own text, scrolled as the console
// scrolls.
//
// Both the reading thread and the threads that show lines draw, one at a
// time under a lock.
#include "host/console/chat_screen.h"

#include "host/console/console_streams.h"
#include "host/console/text_columns.h"
#include "host/console/typed_line.h"
#include "host/core/system.h"
#include "host/core/utf8.h"
#include "host/core/visible_text.h"
#include "host/core/win32/wide_text.h"

#include <windows.h>

#include <algorithm>
#include <deque>
#include <vector>

namespace parlino::host {
namespace {

std::wstring wideFromUtf32(std::u32string_view text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (const char32_t c : text)
        if (c >= 0x10000) {
            wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(c);
        }
    return wide;
}

std::wstring wideFromUtf8(const std::string &text) {
    return system::wideFromUtf8(text.data(), static_cast<int>(text.size()));
}

// Marks Ctrl-Z typed at the start of a line: Enter then ends the input, as
// the console's own line input did.
constexpr char32_t endOfInputMark = 0x1A;

class ConsoleScreen : public ChatScreen {
  public:
    explicit ConsoleScreen(const std::string &prompt) : prompt_(utf32FromUtf8(prompt)), typed_(columnsOf) {}

    bool open() {
        input_ = ::GetStdHandle(STD_INPUT_HANDLE);
        output_ = ::GetStdHandle(STD_OUTPUT_HANDLE);
        if (!::GetConsoleMode(input_, &inputModeBefore_))
            return false;
        // Ctrl-C still reaches the chat's handler; the console's line input
        // and echo are off, and a resized buffer arrives as a record.
        const DWORD mode = (inputModeBefore_ | ENABLE_PROCESSED_INPUT | ENABLE_WINDOW_INPUT) &
                           ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_MOUSE_INPUT);
        if (!::SetConsoleMode(input_, mode))
            return false;
        modeSet_ = true;
        CONSOLE_SCREEN_BUFFER_INFO screen;
        if (!::GetConsoleScreenBufferInfo(output_, &screen))
            return false;
        system::ScopedLock lock(drawLock_);
        if (screen.dwCursorPosition.X != 0)
            write(L"\r\n");
        top_ = cursorRow();
        drawTyped();
        return true;
    }

    ~ConsoleScreen() override {
        if (modeSet_) {
            system::ScopedLock lock(drawLock_);
            eraseTyped();
            ::SetConsoleCursorPosition(output_, {0, top_});
            ::SetConsoleMode(input_, inputModeBefore_);
        }
    }

    Read readLine(std::string &line, int milliseconds) override {
        if (unread_.empty()) {
            const auto waited = ::WaitForSingleObject(input_, static_cast<DWORD>(milliseconds));
            if (waited == WAIT_TIMEOUT)
                return Read::nothing;
            INPUT_RECORD records[512];
            DWORD count = 0;
            if (waited != WAIT_OBJECT_0 || !::ReadConsoleInputW(input_, records, 512, &count))
                return Read::endOfInput;
            unread_.insert(unread_.end(), records, records + count);
        }
        system::ScopedLock lock(drawLock_);
        // Text typed or pasted goes into the line in one piece, and the line
        // is drawn once for all the records read.
        std::u32string text;
        auto read = Read::nothing;
        while (!unread_.empty() && read == Read::nothing) {
            const auto record = unread_.front();
            unread_.pop_front();
            if (record.EventType == WINDOW_BUFFER_SIZE_EVENT) {
                changed_ = true;
                continue;
            }
            if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown)
                continue;
            const auto &key = record.Event.KeyEvent;
            for (WORD i = 0; i < std::max<WORD>(key.wRepeatCount, 1) && read == Read::nothing; ++i) {
                const char32_t typedCharacter = characterOf(key);
                if (typedCharacter != 0 && isText(typedCharacter)) {
                    text += typedCharacter;
                    continue;
                }
                putText(text);
                read = actOnKey(key, typedCharacter, line);
            }
        }
        putText(text);
        if (changed_)
            drawTyped();
        return read;
    }

    void showLine(const std::string &shown, bool warning) override {
        system::ScopedLock lock(drawLock_);
        eraseTyped();
        ::SetConsoleCursorPosition(output_, {0, top_});
        write(wideFromUtf8(shown) + L"\r\n");
        top_ = cursorRow();
        drawTyped();
        // A warning goes to standard error too when that is not this
        // console, where a person or a script collects it.
        DWORD mode = 0;
        const HANDLE errors = ::GetStdHandle(STD_ERROR_HANDLE);
        if (warning && !::GetConsoleMode(errors, &mode)) {
            const auto line = shown + "\r\n";
            DWORD written = 0;
            ::WriteFile(errors, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        }
    }

  private:
    static bool isText(char32_t c) { return c == U'\t' || (c >= 0x20 && c != 0x7F && !(c >= 0x80 && c <= 0x9F)); }

    // The character a key record brings, with a character of two UTF-16
    // units put together from two records; 0 for none.
    char32_t characterOf(const KEY_EVENT_RECORD &key) {
        const auto unit = static_cast<char32_t>(key.uChar.UnicodeChar);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            highSurrogate_ = unit;
            return 0;
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            const char32_t high = highSurrogate_;
            highSurrogate_ = 0;
            return high == 0 ? 0 : 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00);
        }
        return unit;
    }

    void putText(std::u32string &text) {
        if (text.empty())
            return;
        typed_.insert(text);
        text.clear();
        changed_ = true;
    }

    Read actOnKey(const KEY_EVENT_RECORD &key, char32_t character, std::string &line) {
        using Edit = TypedLine::Edit;
        const bool control = (key.dwControlKeyState & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) != 0;
        switch (key.wVirtualKeyCode) {
        case VK_LEFT: return edit(control ? Edit::wordLeft : Edit::left);
        case VK_RIGHT: return edit(control ? Edit::wordRight : Edit::right);
        case VK_HOME: return edit(Edit::home);
        case VK_END: return edit(Edit::end);
        case VK_UP: return edit(Edit::earlier);
        case VK_DOWN: return edit(Edit::later);
        case VK_DELETE: return edit(Edit::deleteForward);
        case VK_BACK: return edit(control ? Edit::deleteWordBefore : Edit::backspace);
        case VK_ESCAPE: return edit(Edit::clear);
        case VK_RETURN: return finishLine(line);
        default: break;
        }
        switch (character) {
        case 0x01: return edit(Edit::home);          // Ctrl-A
        case 0x05: return edit(Edit::end);           // Ctrl-E
        case 0x02: return edit(Edit::left);          // Ctrl-B
        case 0x06: return edit(Edit::right);         // Ctrl-F
        case 0x10: return edit(Edit::earlier);       // Ctrl-P
        case 0x0E: return edit(Edit::later);         // Ctrl-N
        case 0x15: return edit(Edit::deleteToStart); // Ctrl-U
        case 0x17: return edit(Edit::deleteWordBefore); // Ctrl-W
        case 0x0B: return edit(Edit::deleteToEnd);   // Ctrl-K
        case 0x04:                                   // Ctrl-D
            if (typed_.text().empty())
                return Read::endOfInput;
            return edit(Edit::deleteForward);
        case endOfInputMark: // Ctrl-Z, shown as ^Z
            typed_.insert(std::u32string(1, endOfInputMark));
            changed_ = true;
            return Read::nothing;
        default: return Read::nothing;
        }
    }

    Read edit(TypedLine::Edit what) {
        typed_.apply(what);
        changed_ = true;
        return Read::nothing;
    }

    // Enter: the typed line stays on the console as a line of the
    // conversation, and an empty one is drawn under it.
    Read finishLine(std::string &line) {
        const auto typed = typed_.take();
        if (!typed.empty() && typed.front() == endOfInputMark)
            return Read::endOfInput;
        line = utf8FromUtf32(typed);
        eraseTyped();
        ::SetConsoleCursorPosition(output_, {0, top_});
        write(wideFromUtf8(visibleText(utf8FromUtf32(prompt_) + line)) + L"\r\n");
        top_ = cursorRow();
        changed_ = true;
        drawTyped();
        return Read::line;
    }

    void write(const std::wstring &text) {
        DWORD written = 0;
        ::WriteConsoleW(output_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }

    SHORT cursorRow() {
        CONSOLE_SCREEN_BUFFER_INFO screen;
        ::GetConsoleScreenBufferInfo(output_, &screen);
        return screen.dwCursorPosition.Y;
    }

    // Blanks the rows the typed line took, and one more, where a character
    // the console drew wider than reckoned may have reached.
    void eraseTyped() {
        CONSOLE_SCREEN_BUFFER_INFO screen;
        if (!::GetConsoleScreenBufferInfo(output_, &screen))
            return;
        const int rows = std::min<int>(typedRows_ + 1, screen.dwSize.Y - top_);
        const auto cells = static_cast<DWORD>(std::max(rows, 0) * screen.dwSize.X);
        DWORD written = 0;
        ::FillConsoleOutputCharacterW(output_, L' ', cells, {0, top_}, &written);
        ::FillConsoleOutputAttribute(output_, screen.wAttributes, cells, {0, top_}, &written);
    }

    // The prompt and the rows of the typed line around the cursor, up to a
    // third of the window, from row top_; the buffer scrolls up first when
    // they would reach past its end.
    void drawTyped() {
        changed_ = false;
        CONSOLE_SCREEN_BUFFER_INFO screen;
        if (!::GetConsoleScreenBufferInfo(output_, &screen))
            return;
        // One column short of the width: a row that filled it would move
        // the console's cursor on to the next row.
        const RowLayout layout(screen.dwSize.X - 1);
        const auto &text = typed_.text();
        const auto afterPrompt = layout.layOut(prompt_, {}, [](const Cell &) { return true; });
        const auto end = layout.layOut(text, afterPrompt, [](const Cell &) { return true; });
        const auto cursor = layout.placeOf(text, afterPrompt, typed_.cursor());
        const int windowRows = screen.srWindow.Bottom - screen.srWindow.Top + 1;
        const int rows = std::clamp(end.row + 1, 1, std::max(1, windowRows / 3));
        firstTypedRow_ = std::clamp(firstTypedRow_, cursor.row - rows + 1, cursor.row);

        eraseTyped();
        // Line feeds on the last row scroll the buffer as the console
        // itself does when text reaches its end.
        if (const int over = top_ + rows + 1 - screen.dwSize.Y; over > 0) {
            ::SetConsoleCursorPosition(output_, {0, static_cast<SHORT>(screen.dwSize.Y - 1)});
            write(std::wstring(static_cast<std::size_t>(over), L'\n'));
            top_ = static_cast<SHORT>(top_ - over);
        }
        typedRows_ = rows;
        std::vector<std::wstring> shown(static_cast<std::size_t>(rows));
        const int last = firstTypedRow_ + rows - 1;
        const auto collect = [&](std::u32string_view from) {
            return [&, from](const Cell &cell) {
                if (cell.place.row > last)
                    return false;
                if (cell.place.row < firstTypedRow_)
                    return true;
                auto &row = shown[static_cast<std::size_t>(cell.place.row - firstTypedRow_)];
                if (cell.kind == Cell::Kind::blank)
                    row.append(static_cast<std::size_t>(cell.columns), L' ');
                else if (cell.kind == Cell::Kind::notation)
                    row += wideFromUtf32(notationOf(from[cell.first]).substr(0, static_cast<std::size_t>(cell.columns)));
                else
                    row += wideFromUtf32(from.substr(cell.first, cell.end - cell.first));
                return true;
            };
        };
        layout.layOut(prompt_, {}, collect(prompt_));
        layout.layOut(text, afterPrompt, collect(text));
        for (std::size_t i = 0; i < shown.size(); ++i) {
            ::SetConsoleCursorPosition(output_, {0, static_cast<SHORT>(top_ + static_cast<SHORT>(i))});
            write(shown[i]);
        }
        ::SetConsoleCursorPosition(output_, {static_cast<SHORT>(cursor.column),
                                             static_cast<SHORT>(top_ + cursor.row - firstTypedRow_)});
    }

    std::u32string prompt_;
    TypedLine typed_;
    HANDLE input_ = nullptr, output_ = nullptr;
    DWORD inputModeBefore_ = 0;
    bool modeSet_ = false;
    std::deque<INPUT_RECORD> unread_; // read, not acted on yet (after an Enter in a paste)
    char32_t highSurrogate_ = 0;

    system::Mutex drawLock_;
    // Under drawLock_:
    SHORT top_ = 0; // the buffer row where the prompt stands
    int typedRows_ = 1, firstTypedRow_ = 0;
    bool changed_ = false; // the typed line is to be drawn again
};

} // namespace

const char *const chatScreenKeys =
    "Keys in a console: Left, Right, Home, End, Ctrl-Left and Ctrl-Right (a word), Backspace, Delete, Esc, "
    "Ctrl-U, Ctrl-W and Ctrl-K edit the line; Up and Down recall earlier lines; Tab is a tab; Ctrl-Z then Enter, "
    "or Ctrl-D on an empty line, leaves.";

std::unique_ptr<ChatScreen> openChatScreen(const std::string &prompt, const std::vector<std::string> &, std::string &) {
    if (!inputIsTerminal() || !outputIsTerminal())
        return nullptr;
    auto screen = std::make_unique<ConsoleScreen>(prompt);
    if (!screen->open())
        return nullptr;
    return screen;
}

} // namespace parlino::host
