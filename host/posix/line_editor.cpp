// The chat's line editor on a Linux terminal, built on libedit: it reads
// one key at a time (unbuffered), so that the reading thread never blocks
// inside libedit while another thread shows an arriving line; both hold one
// lock around every call into it.
#include "host/line_editor.h"

#include "host/system.h"

#include <histedit.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

namespace parlino::host {
namespace {

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
        // Ctrl-C stays the chat's: libedit installs no signal handlers, and
        // as the terminal sends no signal while a line is edited, the key
        // raises the one the chat waits for. Ctrl-D on an empty line ends
        // the input, as it does in a plain terminal.
        // The wide form keeps the names as given; the narrow one copies
        // them and never frees the copies.
        el_set(editor_, EL_SIGNAL, 0);
        el_wset(editor_, EL_ADDFN, L"parlino-interrupt", L"Interrupt the chat", &EditLineEditor::interrupt);
        el_set(editor_, EL_BIND, "^C", "parlino-interrupt", nullptr);
        el_wset(editor_, EL_ADDFN, L"parlino-end-or-delete", L"End the input on an empty line, else delete",
                &EditLineEditor::endOrDelete);
        el_set(editor_, EL_BIND, "^D", "parlino-end-or-delete", nullptr);
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
        pollfd keyboard{STDIN_FILENO, POLLIN, 0};
        if (::poll(&keyboard, 1, milliseconds) <= 0)
            return Read::nothing;
        // The terminal hung up: no key will come.
        if ((keyboard.revents & POLLIN) == 0)
            return Read::endOfInput;
        system::ScopedLock lock(lock_);
        int count = 0;
        errno = 0;
        const char *text = el_gets(editor_, &count);
        // No text and a count of -1 with no error is a key that left the
        // line empty (Ctrl-U, Backspace over its last character); a count
        // of 0 is the end of the input, an error number a failed read.
        if (endTyped_ || (text == nullptr && (count == 0 || errno != 0)))
            return Read::endOfInput;
        if (text == nullptr || count <= 0 || text[count - 1] != '\n')
            return Read::nothing;
        line.assign(text, static_cast<std::size_t>(count - 1));
        if (line.find_first_not_of(' ') != std::string::npos)
            history(history_, &event_, H_ENTER, line.c_str());
        // Leaving and entering the unbuffered mode starts a fresh line and
        // draws the prompt at once, not at the next key.
        el_set(editor_, EL_UNBUFFERED, 0);
        el_set(editor_, EL_UNBUFFERED, 1);
        return Read::line;
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
    // Back to the start of the prompt, which may be rows up when the typed
    // line is longer than the terminal is wide, and clears from there on.
    void eraseTypedLine() {
        const LineInfo *line = el_line(editor_);
        int columns = 0;
        if (el_get(editor_, EL_GETTC, "co", &columns) != 0 || columns <= 0)
            columns = 80;
        std::size_t before = prompt_.size();
        for (const char *c = line->buffer; c < line->cursor; ++c)
            if ((static_cast<unsigned char>(*c) & 0xC0) != 0x80)
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
    bool endTyped_ = false; // under lock_
};

} // namespace

std::unique_ptr<LineEditor> openLineEditor(const std::string &prompt) {
    if (!system::inputIsTerminal() || !system::outputIsTerminal())
        return nullptr;
    // Multibyte characters are edited as characters in a UTF-8 locale.
    std::setlocale(LC_CTYPE, "");
    auto editor = std::make_unique<EditLineEditor>(prompt);
    if (!editor->start())
        return nullptr;
    return editor;
}

} // namespace parlino::host
