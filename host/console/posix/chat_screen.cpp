// The chat's screen on a Linux terminal, drawn with ncursesw: the
// conversation pane above (console/posix/conversation_pane.h), the line
// being typed below it (console/posix/typed_line_view.h), as many rows as
// it takes up to a third of the terminal. Keys are decoded by terminfo;
// only cells that changed are sent.
//
// One thread, the one that reads lines, calls curses. Other threads hand
// their lines over through a queue and wake it through a pipe; so do the
// signal handlers of a resize (SIGWINCH), a stop (SIGTSTP) and a continue
// (SIGCONT), which only set flags (console/posix/screen_signals.h). The terminal is in raw mode: Ctrl-C,
// Ctrl-\ and Ctrl-Z arrive as keys (console/posix/terminal_keys.h) and are
// acted on here, as the signals the kernel would have sent. Standard error
// is a pipe while the screen is up (console/posix/standard_error_capture.h),
// so that the module's message boxes are shown in the pane instead of being
// written across it.
#include "host/console/chat_screen.h"

#include "host/console/console_streams.h"
#include "host/console/posix/conversation_pane.h"
#include "host/console/posix/screen_signals.h"
#include "host/console/posix/standard_error_capture.h"
#include "host/console/posix/terminal_keys.h"
#include "host/console/posix/terminal_locale.h"
#include "host/console/posix/typed_line_view.h"
#include "host/console/typed_line.h"
#include "host/core/system.h"
#include "host/core/utf8.h"
#include "host/core/visible_text.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace parlino::host {
namespace {

// Between two screen updates while lines pour in: a flood costs one
// update per interval rather than one per line, and the eye sees no delay.
constexpr auto updateInterval = std::chrono::milliseconds(10);

class TerminalScreen : public ChatScreen {
  public:
    explicit TerminalScreen(const std::string &prompt) : typed_(columnsOf), typedView_(utf32FromUtf8(prompt)) {}

    // False when the terminal cannot be drawn on (TERM=dumb, unknown), with
    // nothing drawn on it.
    bool open(const std::vector<std::string> &shownAlready, std::string &why) {
        if (!signals_.install(why))
            return false;

        const char *term = std::getenv("TERM");
        const std::string termName = term != nullptr ? term : "";
        use_tioctl(TRUE); // the size from the terminal, over LINES and COLUMNS
        screen_ = newterm(nullptr, stdout, stdin);
        if (screen_ == nullptr) {
            why = "TERM=" + termName + " is a terminal type this system does not know";
            return false;
        }
        // A terminal that cannot place the cursor (dumb) gets plain lines.
        if (!isTerminfoString(tigetstr(const_cast<char *>("cup")))) {
            endwin();
            delscreen(screen_);
            screen_ = nullptr;
            why = "TERM=" + termName + " cannot place the cursor";
            return false;
        }
        alternateScreen_ = isTerminfoString(tigetstr(const_cast<char *>("smcup")));
        raw();
        noecho();
        nonl();
        keypad(stdscr, TRUE);
        nodelay(stdscr, TRUE);
        set_escdelay(100); // for the rest of a key's sequence, over a slow link too
        keys_.define();
        errors_.start();

        for (const auto &line : shownAlready)
            pane_.add(utf32FromUtf8(line), false);
        // With an alternate screen, these lines are still on the terminal's
        // own when the chat ends; without, they are written again then.
        firstToWriteAtEnd_ = alternateScreen_ ? pane_.nextSerial() : pane_.firstSerial();
        // Keys are read through stdscr, which is never drawn on: a read
        // then never redraws it over the pane.
        wnoutrefresh(stdscr);
        arrange();
        update();
        return true;
    }

    ~TerminalScreen() override {
        if (screen_ != nullptr) {
            takeQueued();
            endwin();
            delscreen(screen_);
            // The conversation as plain lines on the terminal's own screen,
            // where it stays readable after the chat.
            std::string text;
            for (auto serial = std::max(firstToWriteAtEnd_, pane_.firstSerial()); serial < pane_.nextSerial();
                 ++serial)
                text += utf8FromUtf32(pane_.lineAt(serial).text) + "\n";
            std::fwrite(text.data(), 1, text.size(), stdout);
            std::fflush(stdout);
        }
        errors_.stop();
    }

    Read readLine(std::string &line, int milliseconds) override {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
        for (;;) {
            handleSignals();
            // Lines are taken when they can be drawn: in a flood the thread
            // wakes for them once an interval, not once a line.
            if (Clock::now() >= lastUpdate_ + updateInterval) {
                signals_.drainWakeUps();
                takeQueued();
            }
            const auto read = readKeys(line);
            // Ctrl-C and Ctrl-\ end the chat at once.
            const bool leaving = read != Read::nothing || system::interruptRequested();
            if (leaving || dirty_)
                update(leaving);
            if (leaving)
                return read;
            const auto now = Clock::now();
            if (now >= deadline && !dirty_)
                return Read::nothing;
            const auto nextUpdate = lastUpdate_ + updateInterval;
            const bool linesWake = now >= nextUpdate;
            const auto until = linesWake && !dirty_ ? deadline : std::min(deadline, nextUpdate);
            pollfd waiting[] = {
                {STDIN_FILENO, POLLIN, 0}, {signals_.wakeEnd(), POLLIN, 0}, {errors_.readEnd(), POLLIN, 0}};
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(std::max(until - now, {})).count();
            const nfds_t count = !linesWake ? 1 : errors_.readEnd() >= 0 ? 3 : 2;
            // The terminal hung up or failed: no key will come.
            if (::poll(waiting, count, static_cast<int>(wait)) > 0 &&
                (waiting[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
                return Read::endOfInput;
        }
    }

    void showLine(const std::string &text, bool warning) override {
        bool wasEmpty;
        {
            system::ScopedLock lock(queueLock_);
            wasEmpty = queued_.empty();
            // What the module wrote to standard error before (its message
            // box about this line) comes first.
            collectStandardError();
            queued_.push_back({text, warning});
            if (warning)
                errors_.copyWarning(text);
        }
        if (wasEmpty)
            ScreenSignals::wakeUp();
    }

  private:
    struct Queued {
        std::string text;
        bool warning;
    };

    // What the module wrote to standard error goes into the queue as
    // warnings. Under queueLock_, so that it keeps its place among the
    // lines shown.
    void collectStandardError() {
        std::vector<std::string> lines;
        errors_.takeLines(lines);
        for (auto &line : lines)
            queued_.push_back({std::move(line), true});
    }

    void takeQueued() {
        std::vector<Queued> queued;
        {
            system::ScopedLock lock(queueLock_);
            collectStandardError();
            queued.swap(queued_);
        }
        for (auto &line : queued)
            addLine(line.text, line.warning);
    }

    void addLine(const std::string &text, bool warning) {
        pane_.add(utf32FromUtf8(text), warning);
        dirty_ = true;
    }

    void handleSignals() {
        if (ScreenSignals::takeStop())
            suspend();
        if (ScreenSignals::takeContinue()) {
            // After a stop the shell may have set the terminal its own way.
            reset_prog_mode();
            redrawWhole();
        }
        if (ScreenSignals::takeResize()) {
            winsize size{};
            if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0)
                resizeterm(size.ws_row, size.ws_col); // queues KEY_RESIZE too
            wnoutrefresh(stdscr);
            arrange();
        }
    }

    // Ctrl-Z: the terminal goes back to the shell as it was, the process
    // stops, and after fg the screen comes back as it was left.
    void suspend() {
        endwin();
        ScreenSignals::stopProcess();
        redrawWhole();
    }

    void redrawWhole() {
        clearok(curscr, TRUE);
        arrange();
        update(true);
    }

    // Keys until a line is finished or none is waiting (and at most a
    // batch, so that arriving lines are drawn during a long paste). Text
    // typed or pasted goes into the line in one piece.
    Read readKeys(std::string &line) {
        std::u32string text;
        const auto putText = [&] {
            if (!text.empty()) {
                typed_.insert(text);
                text.clear();
                typedChanged();
            }
        };
        for (int count = 0; count < 8192; ++count) {
            wint_t key = 0;
            const int kind = wget_wch(stdscr, &key);
            if (kind == ERR)
                break;
            if (kind == OK && isTypedText(key)) {
                text += static_cast<char32_t>(key);
                continue;
            }
            putText();
            const auto read = act(keys_.action(kind, key, stdscr), line);
            if (read != Read::nothing)
                return read;
        }
        putText();
        return Read::nothing;
    }

    Read act(const KeyAction &action, std::string &line) {
        using Kind = KeyAction::Kind;
        switch (action.kind) {
        case Kind::edit:
            return edit(action.edit);
        case Kind::enter:
            line = utf8FromUtf32(typed_.take());
            typedChanged();
            addLine(visibleText(utf8FromUtf32(typedView_.prompt()) + line), false);
            return Read::line;
        case Kind::interrupt:
            ::raise(SIGINT);
            return Read::nothing;
        case Kind::quit:
            ::raise(SIGQUIT);
            return Read::nothing;
        case Kind::suspend:
            suspend();
            return Read::nothing;
        case Kind::endOrDelete:
            if (typed_.text().empty())
                return Read::endOfInput;
            return edit(TypedLine::Edit::deleteForward);
        case Kind::redraw:
            redrawWhole();
            return Read::nothing;
        case Kind::pageUp:
            pane_.pageUp();
            dirty_ = true;
            return Read::nothing;
        case Kind::pageDown:
            pane_.pageDown();
            dirty_ = true;
            return Read::nothing;
        case Kind::resized:
            arrange();
            return Read::nothing;
        case Kind::nothing:
            break;
        }
        return Read::nothing;
    }

    Read edit(TypedLine::Edit what) {
        typed_.apply(what);
        typedChanged();
        return Read::nothing;
    }

    void typedChanged() {
        drawTyped();
        dirty_ = true;
    }

    // The windows for the terminal's size now: the typed line's rows at the
    // bottom, the pane above them.
    void arrange() {
        const int rows = std::max(LINES, 1);
        if (paneWindow_ != nullptr)
            delwin(paneWindow_);
        const int typedRows = std::min(typedView_.rowsWanted(typed_), rows > 1 ? rows - 1 : 1);
        typedView_.place(typedRows);
        paneWindow_ = rows > typedRows ? newwin(rows - typedRows, COLS, 0, 0) : nullptr;
        if (paneWindow_ != nullptr) {
            leaveok(paneWindow_, TRUE);
            idlok(paneWindow_, TRUE); // the terminal scrolls the pane's rows itself
        }
        pane_.useWindow(paneWindow_);
        drawTyped();
        dirty_ = true;
    }

    void drawTyped() {
        if (!typedView_.draw(typed_))
            arrange(); // draws it again
    }

    // What changed goes to the terminal, at most once an interval unless
    // `now` (a key waits to be seen).
    void update(bool now = false) {
        if (!now && std::chrono::steady_clock::now() < lastUpdate_ + updateInterval)
            return;
        if (paneWindow_ != nullptr)
            wnoutrefresh(paneWindow_);
        typedView_.refresh(); // last: the cursor stays in the typed line
        doupdate();
        lastUpdate_ = std::chrono::steady_clock::now();
        dirty_ = false;
    }

    TypedLine typed_;
    TypedLineView typedView_;
    ConversationPane pane_;
    SCREEN *screen_ = nullptr;
    WINDOW *paneWindow_ = nullptr;
    bool alternateScreen_ = false;
    std::uint64_t firstToWriteAtEnd_ = 0;
    bool dirty_ = false;
    std::chrono::steady_clock::time_point lastUpdate_{};
    TerminalKeys keys_;
    ScreenSignals signals_;
    StandardErrorCapture errors_;

    system::Mutex queueLock_;
    std::vector<Queued> queued_; // under queueLock_, as are the reads of errors_
};

} // namespace

const char *const chatScreenKeys =
    "Keys on a terminal: Left, Right, Home, End, Ctrl-Left and Ctrl-Right (a word), Backspace, Delete, Ctrl-U, "
    "Ctrl-W and Ctrl-K edit the line; Up and Down recall earlier lines; PgUp and PgDn scroll the conversation; "
    "Tab is a tab; Ctrl-D on an empty line leaves; Ctrl-Z stops the chat until fg; Ctrl-\\ leaves like Ctrl-C.";

std::unique_ptr<ChatScreen> openChatScreen(const std::string &prompt, const std::vector<std::string> &shownAlready,
                                           std::string &note) {
    if (!inputIsTerminal() || !outputIsTerminal())
        return nullptr;
    // Characters beyond ASCII are read, drawn and measured as the locale
    // says.
    note = chooseUtf8Locale();
    auto screen = std::make_unique<TerminalScreen>(prompt);
    std::string why;
    if (!screen->open(shownAlready, why)) {
        note = "parlino: " + why + ": the chat reads and writes plain lines";
        return nullptr;
    }
    return screen;
}

} // namespace parlino::host
