// The chat's screen on a Linux terminal, drawn with ncursesw: the
// conversation pane above (console/posix/conversation_pane.h), the line
// being typed below it, as many rows as it takes up to a third of the
// terminal. Keys are decoded by terminfo; only cells that changed are sent.
//
// One thread, the one that reads lines, calls curses. Other threads hand
// their lines over through a queue and wake it through a pipe; so do the
// signal handlers of a resize (SIGWINCH), a stop (SIGTSTP) and a continue
// (SIGCONT), which only set flags. The terminal is in raw mode: Ctrl-C,
// Ctrl-\ and Ctrl-Z arrive as keys and are acted on here, as the signals
// the kernel would have sent. Standard error is a pipe while the screen is
// up, so that the module's message boxes are shown in the pane instead of
// being written across it.
#include "host/console/chat_screen.h"

#include "host/console/console_streams.h"
#include "host/console/posix/conversation_pane.h"
#include "host/console/typed_line.h"
#include "host/core/system.h"
#include "host/core/utf8.h"
#include "host/core/visible_text.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace parlino::host {
namespace {

// ---- What the signal handlers tell the screen's thread ----

std::atomic<int> wakeUpEnd{-1};
std::atomic<bool> resized{false}, stopAsked{false}, continued{false};

void wakeUp() {
    const int saved = errno;
    const char byte = 1;
    if (const int end = wakeUpEnd.load(); end >= 0)
        [[maybe_unused]] const auto written = ::write(end, &byte, 1);
    errno = saved;
}
extern "C" void noteResize(int) { resized.store(true), wakeUp(); }
extern "C" void noteStop(int) { stopAsked.store(true), wakeUp(); }
extern "C" void noteContinue(int) { continued.store(true), wakeUp(); }

void handle(int signal, void (*handler)(int), struct sigaction *before = nullptr) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, before);
}

// Key codes of our own for sequences terminfo may not name.
constexpr int keyWordLeft = KEY_MAX + 1, keyWordRight = KEY_MAX + 2;

// Keys as terminals send them, for a TERM whose terminfo names other ones
// (xterm-256color inside tmux: Home arrives as ESC [ 1 ~, not ESC O H).
struct KnownSequence {
    const char *sequence;
    int key;
};
constexpr KnownSequence knownSequences[] = {
    {"\033[1~", KEY_HOME},   {"\033[7~", KEY_HOME},   {"\033[H", KEY_HOME},     {"\033OH", KEY_HOME},
    {"\033[4~", KEY_END},    {"\033[8~", KEY_END},    {"\033[F", KEY_END},      {"\033OF", KEY_END},
    {"\033[3~", KEY_DC},     {"\033[5~", KEY_PPAGE},  {"\033[6~", KEY_NPAGE},   {"\033[A", KEY_UP},
    {"\033[B", KEY_DOWN},    {"\033[C", KEY_RIGHT},   {"\033[D", KEY_LEFT},     {"\033OA", KEY_UP},
    {"\033OB", KEY_DOWN},    {"\033OC", KEY_RIGHT},   {"\033OD", KEY_LEFT},     {"\033[1;5D", keyWordLeft},
    {"\033[1;5C", keyWordRight}, {"\033[1;3D", keyWordLeft}, {"\033[1;3C", keyWordRight},
    {"\033O5D", keyWordLeft}, {"\033O5C", keyWordRight},
};
// Ctrl- and Alt-arrows as terminfo's extended names call them.
constexpr KnownSequence wordKeyNames[] = {
    {"kLFT5", keyWordLeft}, {"kRIT5", keyWordRight}, {"kLFT3", keyWordLeft}, {"kRIT3", keyWordRight}};

bool isTerminfoString(const char *capability) {
    return capability != nullptr && capability != reinterpret_cast<const char *>(-1);
}

constexpr wint_t control(char letter) { return static_cast<wint_t>(letter & 0x1F); }

// What may stand in a typed line: text, and tabs; not the controls, which
// are keys or nothing.
bool isText(wint_t key) { return key == '\t' || (key >= 0x20 && key != 0x7F && !(key >= 0x80 && key <= 0x9F)); }

// Between two screen updates while lines pour in: a flood costs one
// update per interval rather than one per line, and the eye sees no delay.
constexpr auto updateInterval = std::chrono::milliseconds(10);

class TerminalScreen : public ChatScreen {
  public:
    explicit TerminalScreen(std::string prompt) : prompt_(utf32FromUtf8(prompt)), typed_(columnsOf) {}

    // False when the terminal cannot be drawn on (TERM=dumb, unknown), with
    // nothing drawn on it.
    bool open(const std::vector<std::string> &shownAlready, std::string &why) {
        int wake[2];
        if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
            why = "no pipe for the screen";
            return false;
        }
        wakeRead_ = wake[0];
        wakeUpEnd.store(wake[1]);
        // Installed before curses starts, which then leaves them to us.
        handle(SIGWINCH, noteResize, &resizeBefore_);
        handle(SIGTSTP, noteStop, &stopBefore_);
        handle(SIGCONT, noteContinue, &continueBefore_);
        handlersSet_ = true;

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
        defineKeys();
        captureStandardError();

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
        giveStandardErrorBack();
        if (handlersSet_) {
            sigaction(SIGWINCH, &resizeBefore_, nullptr);
            sigaction(SIGTSTP, &stopBefore_, nullptr);
            sigaction(SIGCONT, &continueBefore_, nullptr);
        }
        if (const int end = wakeUpEnd.exchange(-1); end >= 0)
            ::close(end);
        if (wakeRead_ >= 0)
            ::close(wakeRead_);
    }

    Read readLine(std::string &line, int milliseconds) override {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
        for (;;) {
            handleSignals();
            // Lines are taken when they can be drawn: in a flood the thread
            // wakes for them once an interval, not once a line.
            if (Clock::now() >= lastUpdate_ + updateInterval) {
                char bytes[256];
                while (::read(wakeRead_, bytes, sizeof bytes) > 0) {
                }
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
            pollfd waiting[] = {{STDIN_FILENO, POLLIN, 0}, {wakeRead_, POLLIN, 0}, {errorsRead_, POLLIN, 0}};
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(std::max(until - now, {})).count();
            const nfds_t count = !linesWake ? 1 : errorsRead_ >= 0 ? 3 : 2;
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
            // A warning goes to standard error too when that is not this
            // terminal, where a person or a script collects it.
            if (warning && savedErrors_ >= 0 && !errorsToTerminal_) {
                const auto line = text + "\n";
                [[maybe_unused]] const auto written = ::write(savedErrors_, line.data(), line.size());
            }
        }
        if (wasEmpty)
            wakeUp();
    }

  private:
    struct Queued {
        std::string text;
        bool warning;
    };

    void defineKeys() {
        for (const auto &[sequence, key] : knownSequences)
            if (key_defined(sequence) == 0)
                define_key(sequence, key);
        for (const auto &[name, key] : wordKeyNames) {
            const char *sequence = tigetstr(const_cast<char *>(name));
            if (!isTerminfoString(sequence))
                continue;
            if (const int code = key_defined(sequence); code > 0)
                (key == keyWordLeft ? wordLeftKeys_ : wordRightKeys_).push_back(code);
            else if (code == 0)
                define_key(sequence, key);
        }
    }

    // Standard error into a pipe that the screen reads.
    void captureStandardError() {
        int errors[2];
        std::fflush(stderr);
        savedErrors_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
        if (savedErrors_ < 0 || ::pipe2(errors, O_CLOEXEC) != 0)
            return;
        errorsToTerminal_ = ::isatty(savedErrors_) == 1;
        ::dup2(errors[1], STDERR_FILENO);
        ::close(errors[1]);
        ::fcntl(errors[0], F_SETFL, O_NONBLOCK);
        errorsRead_ = errors[0];
    }

    void giveStandardErrorBack() {
        if (savedErrors_ < 0)
            return;
        std::fflush(stderr);
        ::dup2(savedErrors_, STDERR_FILENO);
        ::close(savedErrors_);
        savedErrors_ = -1;
        if (errorsRead_ >= 0)
            ::close(errorsRead_);
        errorsRead_ = -1;
    }

    // What was written to standard error, a line at a time, into the queue
    // as warnings; copied to the real standard error when that is not the
    // terminal. Under queueLock_, so that it keeps its place among the
    // lines shown.
    void collectStandardError() {
        if (errorsRead_ < 0)
            return;
        char bytes[4096];
        ssize_t got;
        while ((got = ::read(errorsRead_, bytes, sizeof bytes)) > 0) {
            if (!errorsToTerminal_)
                [[maybe_unused]] const auto written = ::write(savedErrors_, bytes, static_cast<std::size_t>(got));
            errorText_.append(bytes, static_cast<std::size_t>(got));
        }
        for (std::size_t end; (end = errorText_.find('\n')) != std::string::npos;) {
            auto line = errorText_.substr(0, end);
            errorText_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            queued_.push_back({visibleText(line), true});
        }
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
        if (stopAsked.exchange(false))
            suspend();
        if (continued.exchange(false)) {
            // After a stop the shell may have set the terminal its own way.
            reset_prog_mode();
            redrawWhole();
        }
        if (resized.exchange(false)) {
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
        struct sigaction ours {};
        handle(SIGTSTP, SIG_DFL, &ours);
        ::raise(SIGTSTP);
        sigaction(SIGTSTP, &ours, nullptr);
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
            if (kind == OK && isText(key)) {
                text += static_cast<char32_t>(key);
                continue;
            }
            putText();
            const auto read = kind == KEY_CODE_YES ? actOnKey(static_cast<int>(key), line) : actOnControl(key, line);
            if (read != Read::nothing)
                return read;
        }
        putText();
        return Read::nothing;
    }

    Read actOnKey(int key, std::string &line) {
        using Edit = TypedLine::Edit;
        switch (key) {
        case KEY_LEFT: return edit(Edit::left);
        case KEY_RIGHT: return edit(Edit::right);
        case KEY_HOME: return edit(Edit::home);
        case KEY_END: return edit(Edit::end);
        case KEY_UP: return edit(Edit::earlier);
        case KEY_DOWN: return edit(Edit::later);
        case KEY_BACKSPACE: return edit(Edit::backspace);
        case KEY_DC: return edit(Edit::deleteForward);
        case keyWordLeft: return edit(Edit::wordLeft);
        case keyWordRight: return edit(Edit::wordRight);
        case KEY_PPAGE:
            pane_.pageUp();
            dirty_ = true;
            return Read::nothing;
        case KEY_NPAGE:
            pane_.pageDown();
            dirty_ = true;
            return Read::nothing;
        case KEY_ENTER:
            return actOnControl('\r', line);
        case KEY_RESIZE:
            arrange();
            return Read::nothing;
        default:
            if (std::find(wordLeftKeys_.begin(), wordLeftKeys_.end(), key) != wordLeftKeys_.end())
                return edit(Edit::wordLeft);
            if (std::find(wordRightKeys_.begin(), wordRightKeys_.end(), key) != wordRightKeys_.end())
                return edit(Edit::wordRight);
            return Read::nothing; // a key with no meaning here
        }
    }

    Read actOnControl(wint_t key, std::string &line) {
        using Edit = TypedLine::Edit;
        switch (key) {
        case '\r':
        case '\n': {
            line = utf8FromUtf32(typed_.take());
            typedChanged();
            addLine(visibleText(utf8FromUtf32(prompt_) + line), false);
            return Read::line;
        }
        case control('C'):
            ::raise(SIGINT);
            return Read::nothing;
        case control('\\'):
            ::raise(SIGQUIT);
            return Read::nothing;
        case control('Z'):
            suspend();
            return Read::nothing;
        case control('D'):
            if (typed_.text().empty())
                return Read::endOfInput;
            return edit(Edit::deleteForward);
        case control('L'):
            redrawWhole();
            return Read::nothing;
        case control('A'): return edit(Edit::home);
        case control('E'): return edit(Edit::end);
        case control('B'): return edit(Edit::left);
        case control('F'): return edit(Edit::right);
        case control('P'): return edit(Edit::earlier);
        case control('N'): return edit(Edit::later);
        case control('H'):
        case 0x7F: return edit(Edit::backspace);
        case control('U'): return edit(Edit::deleteToStart);
        case control('W'): return edit(Edit::deleteWordBefore);
        case control('K'): return edit(Edit::deleteToEnd);
        case 0x1B: return afterEscape();
        default: return Read::nothing;
        }
    }

    // ESC that terminfo did not make a key of: Alt-b, Alt-f and
    // Alt-Backspace as in a shell; the rest of an escape sequence unknown
    // here is read and dropped, never typed into the line.
    Read afterEscape() {
        wint_t next = 0;
        if (wget_wch(stdscr, &next) != OK)
            return Read::nothing;
        if (next == 'b')
            return edit(TypedLine::Edit::wordLeft);
        if (next == 'f')
            return edit(TypedLine::Edit::wordRight);
        if (next == 0x7F)
            return edit(TypedLine::Edit::deleteWordBefore);
        if (next == '[' || next == 'O') {
            const bool controlSequence = next == '[';
            for (int i = 0; i < 32 && wget_wch(stdscr, &next) == OK; ++i)
                if (!controlSequence || (next >= 0x40 && next <= 0x7E))
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
        if (typedWindow_ != nullptr)
            delwin(typedWindow_);
        if (paneWindow_ != nullptr)
            delwin(paneWindow_);
        typedRows_ = std::min(typedRowsWanted(), rows > 1 ? rows - 1 : 1);
        typedWindow_ = newwin(typedRows_, COLS, rows - typedRows_, 0);
        paneWindow_ = rows > typedRows_ ? newwin(rows - typedRows_, COLS, 0, 0) : nullptr;
        if (paneWindow_ != nullptr) {
            leaveok(paneWindow_, TRUE);
            idlok(paneWindow_, TRUE); // the terminal scrolls the pane's rows itself
        }
        pane_.useWindow(paneWindow_);
        drawTyped();
        dirty_ = true;
    }

    // Up to a third of the terminal, and at least one row.
    int typedRowsWanted() const {
        const RowLayout layout(COLS);
        const auto afterPrompt = layout.layOut(prompt_, {}, [](const Cell &) { return true; });
        const auto end = layout.layOut(typed_.text(), afterPrompt, [](const Cell &) { return true; });
        return std::clamp(end.row + 1, 1, std::max(1, LINES / 3));
    }

    void drawTyped() {
        if (typedWindow_ == nullptr)
            return;
        if (typedRowsWanted() != typedRows_ && LINES > 1) {
            arrange(); // draws it again
            return;
        }
        const RowLayout layout(COLS);
        const auto &text = typed_.text();
        const auto afterPrompt = layout.layOut(prompt_, {}, [](const Cell &) { return true; });
        const auto cursor = layout.placeOf(text, afterPrompt, typed_.cursor());
        // The rows shown keep the cursor in sight, moving no more than needed.
        firstTypedRow_ = std::clamp(firstTypedRow_, cursor.row - typedRows_ + 1, cursor.row);
        const int last = firstTypedRow_ + typedRows_ - 1;
        werase(typedWindow_);
        const auto drawShown = [&](std::u32string_view shown) {
            return [&, shown](const Cell &cell) {
                if (cell.place.row > last)
                    return false;
                if (cell.place.row >= firstTypedRow_)
                    drawCell(typedWindow_, cell.place.row - firstTypedRow_, cell, shown, A_NORMAL);
                return true;
            };
        };
        layout.layOut(prompt_, {}, drawShown(prompt_));
        layout.layOut(text, afterPrompt, drawShown(text));
        wmove(typedWindow_, cursor.row - firstTypedRow_, cursor.column);
    }

    // What changed goes to the terminal, at most once an interval unless
    // `now` (a key waits to be seen).
    void update(bool now = false) {
        if (!now && std::chrono::steady_clock::now() < lastUpdate_ + updateInterval)
            return;
        if (paneWindow_ != nullptr)
            wnoutrefresh(paneWindow_);
        wnoutrefresh(typedWindow_); // last: the cursor stays in the typed line
        doupdate();
        lastUpdate_ = std::chrono::steady_clock::now();
        dirty_ = false;
    }

    std::u32string prompt_;
    TypedLine typed_;
    ConversationPane pane_;
    SCREEN *screen_ = nullptr;
    WINDOW *paneWindow_ = nullptr, *typedWindow_ = nullptr;
    int typedRows_ = 1, firstTypedRow_ = 0;
    bool alternateScreen_ = false;
    std::uint64_t firstToWriteAtEnd_ = 0;
    bool dirty_ = false;
    std::chrono::steady_clock::time_point lastUpdate_{};
    std::vector<int> wordLeftKeys_, wordRightKeys_; // the codes terminfo gave them

    int wakeRead_ = -1;
    bool handlersSet_ = false;
    struct sigaction resizeBefore_ {}, stopBefore_{}, continueBefore_{};

    int savedErrors_ = -1, errorsRead_ = -1;
    bool errorsToTerminal_ = false;

    system::Mutex queueLock_;
    // Under queueLock_:
    std::vector<Queued> queued_;
    std::string errorText_; // a line written to standard error, not ended yet
};

// The variable that chose the locale's character set, as a person would
// set it: LC_ALL overrides LC_CTYPE, which overrides LANG.
std::string localeVariable() {
    for (const char *name : {"LC_ALL", "LC_CTYPE"})
        if (const char *value = std::getenv(name); value != nullptr && *value != '\0')
            return name;
    return "LANG";
}

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
    // says. In a locale that is not UTF-8 (C or POSIX, usual over ssh and in
    // containers) they would be lost: the terminal is read as UTF-8 then.
    std::setlocale(LC_CTYPE, "");
    const std::string codeset = nl_langinfo(CODESET);
    if (codeset != "UTF-8") {
        const auto variable = localeVariable();
        if (std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr)
            note = "parlino: the locale's character set is " + codeset +
                   ", not UTF-8: the terminal is read and written as UTF-8 (set " + variable +
                   "=C.UTF-8 to say so)";
        else
            note = "parlino: the locale's character set is " + codeset +
                   ": letters beyond ASCII cannot be typed; set " + variable +
                   " to a UTF-8 locale such as C.UTF-8";
    }
    auto screen = std::make_unique<TerminalScreen>(prompt);
    std::string why;
    if (!screen->open(shownAlready, why)) {
        note = "parlino: " + why + ": the chat reads and writes plain lines";
        return nullptr;
    }
    return screen;
}

} // namespace parlino::host
