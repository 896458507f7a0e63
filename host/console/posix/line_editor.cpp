// The chat's line editor on a Linux terminal, built on libedit: it reads
// one key at a time (unbuffered), so that the reading thread never blocks
// inside libedit while another thread shows an arriving line; both hold one
// lock around every call into it. The terminal is read here, not by
// libedit: what a read brings is kept, its plain text inserted at once (a
// paste costs one redraw, not one per character), the rest handed to
// libedit key by key; and a terminal that went away ends the input.
#include "host/console/line_editor.h"

#include "host/console/console_streams.h"
#include "host/core/system.h"

#include <histedit.h>

#include <atomic>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <langinfo.h>
#include <poll.h>
#include <unistd.h>

namespace parlino::host {
namespace {

// Set when the process is continued after a stop that did not come from the
// chat's own Ctrl-Z (kill -STOP, a stop by the shell): the screen is redrawn.
std::atomic<bool> continued{false};
extern "C" void noteContinued(int) { continued.store(true); }

// The length of the UTF-8 character at the start of `text`, 0 when `text`
// ends inside it, or -1 when its first byte starts none.
int utf8Length(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    const int length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                     : lead >= 0xF0 && lead <= 0xF4 ? 4 : -1;
    for (int i = 1; i > 0 && i < length; ++i)
        if (static_cast<std::size_t>(i) >= text.size())
            return 0;
        else if ((static_cast<unsigned char>(text[static_cast<std::size_t>(i)]) & 0xC0) != 0x80)
            return -1;
    return length;
}

// The bytes at the start of `text` that are typed characters and nothing
// else: well-formed UTF-8 with no control but tab. A key with a meaning
// (Enter, arrows, Ctrl-anything) ends it.
std::size_t plainTextLength(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size()) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7F)
            break;
        const int length = utf8Length(text.substr(at));
        if (length <= 0)
            break;
        at += static_cast<std::size_t>(length);
    }
    return at;
}

void appendUtf8(std::string &out, wchar_t character) {
    auto c = static_cast<std::uint32_t>(character);
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

class EditLineEditor : public LineEditor {
  public:
    explicit EditLineEditor(std::string prompt) : prompt_(std::move(prompt)) {}

    bool start() {
        history_ = history_init();
        editor_ = el_init("parlino", stdin, stdout, stderr);
        if (history_ == nullptr || editor_ == nullptr)
            return false;
        history(history_, &event_, H_SETSIZE, 500);
        history(history_, &event_, H_SETUNIQUE, 1);
        el_set(editor_, EL_CLIENTDATA, this);
        el_set(editor_, EL_PROMPT, &EditLineEditor::promptOf);
        el_set(editor_, EL_EDITOR, "emacs");
        el_set(editor_, EL_HIST, history, history_);
        el_set(editor_, EL_GETCFN, &EditLineEditor::readCharacter);
        // Ctrl-C stays the chat's: libedit installs no signal handlers, and
        // as the terminal sends no signal while a line is edited, the key
        // raises the one the chat waits for. Ctrl-D on an empty line ends
        // the input, as it does in a plain terminal. Ctrl-Z stops the chat
        // with the terminal given back, and draws the line again after fg.
        // Tab is text, as it is on a pipe.
        // The wide form keeps the names as given; the narrow one copies
        // them and never frees the copies.
        el_set(editor_, EL_SIGNAL, 0);
        el_wset(editor_, EL_ADDFN, L"parlino-interrupt", L"Interrupt the chat", &EditLineEditor::interrupt);
        el_set(editor_, EL_BIND, "^C", "parlino-interrupt", nullptr);
        el_wset(editor_, EL_ADDFN, L"parlino-end-or-delete", L"End the input on an empty line, else delete",
                &EditLineEditor::endOrDelete);
        el_set(editor_, EL_BIND, "^D", "parlino-end-or-delete", nullptr);
        el_wset(editor_, EL_ADDFN, L"parlino-suspend", L"Stop the chat until fg", &EditLineEditor::suspend);
        el_set(editor_, EL_BIND, "^Z", "parlino-suspend", nullptr);
        el_set(editor_, EL_BIND, "^I", "ed-insert", nullptr);
        struct sigaction action {};
        action.sa_handler = noteContinued;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGCONT, &action, nullptr);
        system::ScopedLock lock(lock_);
        el_set(editor_, EL_UNBUFFERED, 1); // draws the prompt
        return true;
    }

    ~EditLineEditor() override {
        if (editor_ != nullptr) {
            system::ScopedLock lock(lock_);
            eraseTypedLine();
            el_end(editor_); // gives the terminal back
        }
        if (history_ != nullptr)
            history_end(history_);
    }

    Read readLine(std::string &line, int milliseconds) override {
        if (continued.exchange(false)) {
            system::ScopedLock lock(lock_);
            redrawAfterStop();
        }
        if (unread_.empty()) {
            pollfd keyboard{STDIN_FILENO, POLLIN, 0};
            if (::poll(&keyboard, 1, milliseconds) <= 0)
                return Read::nothing;
            // The terminal hung up or failed: no key will come.
            if ((keyboard.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
                return Read::endOfInput;
        }
        system::ScopedLock lock(lock_);
        if (unread_.empty() && !readTerminal())
            return Read::endOfInput;
        while (!unread_.empty()) {
            if (const auto plain = plainTextLength(unread_); plain > 0) {
                // One insertion and one redraw for all of it.
                eraseTypedLine();
                const bool inserted = el_insertstr(editor_, unread_.substr(0, plain).c_str()) == 0;
                el_set(editor_, EL_REFRESH);
                if (inserted) {
                    unread_.erase(0, plain);
                    continue;
                }
            }
            // A key, or text libedit did not take in one piece (a form it
            // does not decode): one character.
            int count = 0;
            const wchar_t *text = el_wgets(editor_, &count);
            // A count of -1 is a key that left the line unfinished or empty
            // (Ctrl-U, Backspace over its last character); a count of 0 or
            // a failed read of ours is the end of the input.
            if (endTyped_ || terminalGone_ || (text == nullptr && count == 0))
                return Read::endOfInput;
            if (text == nullptr || count <= 0 || text[count - 1] != L'\n')
                continue;
            line.clear();
            for (int i = 0; i + 1 < count; ++i)
                appendUtf8(line, text[i]);
            if (line.find_first_not_of(' ') != std::string::npos)
                history(history_, &event_, H_ENTER, line.c_str());
            // Leaving and entering the unbuffered mode starts a fresh line and
            // draws the prompt at once, not at the next key.
            el_set(editor_, EL_UNBUFFERED, 0);
            el_set(editor_, EL_UNBUFFERED, 1);
            return Read::line;
        }
        return Read::nothing;
    }

    void showLine(const std::string &text, bool onStandardError) override {
        system::ScopedLock lock(lock_);
        eraseTypedLine();
        std::FILE *stream = onStandardError ? stderr : stdout;
        std::fwrite(text.data(), 1, text.size(), stream);
        std::fputc('\n', stream);
        std::fflush(stream);
        el_set(editor_, EL_REFRESH);
    }

  private:
    // What the terminal has for us now, up to a datagram's worth, behind
    // what is still unread; false when it is gone.
    bool readTerminal() {
        char buffer[65536];
        ssize_t got;
        do
            got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        while (got < 0 && errno == EINTR);
        if (got <= 0) {
            terminalGone_ = true;
            return false;
        }
        unread_.append(buffer, static_cast<std::size_t>(got));
        return true;
    }

    // libedit's next character: the next one unread, decoded as the locale
    // (UTF-8) says; a byte that starts none is shown as U+FFFD, not dropped.
    static int readCharacter(EditLine *editor, wchar_t *character) {
        auto *self = of(editor);
        std::mbstate_t state{};
        for (std::size_t used = 1;; ++used) {
            if (self->unread_.size() < used && !self->readTerminal())
                return 0;
            const auto length = std::mbrtowc(character, self->unread_.data(), used, &state);
            if (length == static_cast<std::size_t>(-2)) {
                state = {};
                continue;
            }
            if (length == static_cast<std::size_t>(-1)) {
                *character = L'\uFFFD';
                used = 1;
            }
            self->unread_.erase(0, used);
            return 1;
        }
    }

    // The screen after the shell had it: the prompt and the typed line
    // again, on a line of their own.
    void redrawAfterStop() {
        el_set(editor_, EL_PREP_TERM, 1);
        std::fputs("\r\n", stdout);
        std::fflush(stdout);
        el_set(editor_, EL_REFRESH);
    }

    // Back to the start of the prompt, which may be rows up when the typed
    // line is longer than the terminal is wide, and clears from there on.
    void eraseTypedLine() {
        const LineInfo *line = el_line(editor_);
        int columns = 0;
        if (el_get(editor_, EL_GETTC, "co", &columns) != 0 || columns <= 0)
            columns = 80;
        std::size_t before = prompt_.size();
        for (const char *c = line->buffer; c < line->cursor; ++c)
            if (*c == '\t')
                before = (before | 7) + 1;
            else if ((static_cast<unsigned char>(*c) & 0xC0) != 0x80)
                ++before;
        if (const auto rowsUp = before / static_cast<std::size_t>(columns); rowsUp > 0)
            std::fprintf(stdout, "\033[%zuA", rowsUp);
        std::fputs("\r\033[J", stdout);
        std::fflush(stdout);
    }

    static EditLineEditor *of(EditLine *editor) {
        void *self = nullptr;
        el_get(editor, EL_CLIENTDATA, &self);
        return static_cast<EditLineEditor *>(self);
    }

    static unsigned char interrupt(EditLine *, int) {
        ::raise(SIGINT);
        return CC_NORM;
    }

    // As a shell does: the typed line stays on the screen, the terminal is
    // given back to the shell, and after fg both come back.
    static unsigned char suspend(EditLine *editor, int) {
        std::fputs("\r\n", stdout);
        std::fflush(stdout);
        el_set(editor, EL_PREP_TERM, 0);
        continued.store(false);
        ::raise(SIGTSTP);
        continued.store(false);
        of(editor)->redrawAfterStop();
        return CC_NORM;
    }

    static unsigned char endOrDelete(EditLine *editor, int) {
        const LineInfo *line = el_line(editor);
        if (line->buffer == line->lastchar) {
            of(editor)->endTyped_ = true;
            return CC_EOF;
        }
        if (line->cursor == line->lastchar)
            return CC_NORM;
        el_cursor(editor, 1);
        el_deletestr(editor, 1);
        return CC_REFRESH;
    }

    static char *promptOf(EditLine *editor) {
        return const_cast<char *>(of(editor)->prompt_.c_str());
    }

    std::string prompt_;
    system::Mutex lock_;
    History *history_ = nullptr;
    HistEvent event_{};
    EditLine *editor_ = nullptr;
    // Under lock_ (or read by the keyboard thread alone):
    bool endTyped_ = false;
    bool terminalGone_ = false;
    std::string unread_; // read from the terminal, not yet edited
};

} // namespace

const char *const lineEditorKeys =
    "Keys on a terminal: Left, Right, Home, End, Backspace, Delete, Ctrl-U, Ctrl-W and Ctrl-K edit the line; Up "
    "and Down recall earlier lines; Tab is a tab; Ctrl-D on an empty line leaves; Ctrl-Z stops the chat until "
    "fg.";

std::unique_ptr<LineEditor> openLineEditor(const std::string &prompt, std::string &note) {
    if (!inputIsTerminal() || !outputIsTerminal())
        return nullptr;
    // Multibyte characters are edited as characters in a UTF-8 locale. In
    // another (C or POSIX, usual over ssh and in containers) typed letters
    // beyond ASCII would be dropped: the terminal is read as UTF-8 then.
    std::setlocale(LC_CTYPE, "");
    const std::string codeset = nl_langinfo(CODESET);
    if (codeset != "UTF-8") {
        if (std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr)
            note = "parlino: the locale's character set is " + codeset +
                   ", not UTF-8: the terminal is read and written as UTF-8 (set LANG=C.UTF-8 to say so)";
        else
            note = "parlino: the locale's character set is " + codeset +
                   ": letters beyond ASCII cannot be typed; set LANG to a UTF-8 locale such as C.UTF-8";
    }
    auto editor = std::make_unique<EditLineEditor>(prompt);
    if (!editor->start())
        return nullptr;
    return editor;
}

} // namespace parlino::host
