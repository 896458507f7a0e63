// The standard streams on a Windows console, as UTF-8: the console is read
// and written as wide characters and converted.
#include "host/console/console_streams.h"

#include "host/core/win32/wide_text.h"

#include <windows.h>

#include <cstring>
#include <iostream>
#include <streambuf>
#include <string>

namespace parlino::host {

using system::utf8FromWide;
using system::wideFromUtf8;

namespace {

bool isConsole(DWORD which) {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(which), &mode) != 0;
}

// Writes UTF-8 to a console as wide characters; a character cut at the
// end of the buffer waits for the rest. A line of ours that would start
// where the cursor is not at the left edge (after half a typed line that
// the console echoed, or its ^C) starts on the next line instead.
class ConsoleOutput : public std::streambuf {
  public:
    explicit ConsoleOutput(HANDLE console) : console_(console) {}

  protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof())
            pending_ += static_cast<char>(c);
        if (c == '\n' || pending_.size() >= 4096)
            sync();
        return traits_type::not_eof(c);
    }

    std::streamsize xsputn(const char *text, std::streamsize count) override {
        pending_.append(text, static_cast<std::size_t>(count));
        if (std::memchr(text, '\n', static_cast<std::size_t>(count)) != nullptr || pending_.size() >= 4096)
            sync();
        return count;
    }

    int sync() override {
        std::size_t whole = pending_.size();
        // Back to the start of a last character that is not complete yet.
        std::size_t start = whole;
        while (start > 0 && whole - start < 4 && (static_cast<unsigned char>(pending_[start - 1]) & 0xC0) == 0x80)
            --start;
        if (start > 0) {
            const auto lead = static_cast<unsigned char>(pending_[start - 1]);
            const std::size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            if (needed > whole - (start - 1))
                whole = start - 1;
        }
        const auto wide = wideFromUtf8(pending_.data(), static_cast<int>(whole));
        DWORD written = 0;
        if (!wide.empty()) {
            CONSOLE_SCREEN_BUFFER_INFO screen;
            if (atLineStart_ && ::GetConsoleScreenBufferInfo(console_, &screen) && screen.dwCursorPosition.X != 0)
                ::WriteConsoleW(console_, L"\r\n", 2, &written, nullptr);
            ::WriteConsoleW(console_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
            atLineStart_ = wide.back() == L'\n';
        }
        pending_.erase(0, whole);
        return 0;
    }

  private:
    HANDLE console_;
    std::string pending_;
    bool atLineStart_ = true;
};

// Reads a console line as wide characters (the console's own editing and
// history apply) and hands it over as UTF-8. Ctrl-Z at the start of a line
// is the end of input, as in a byte-oriented console read.
class ConsoleInput : public std::streambuf {
  public:
    explicit ConsoleInput(HANDLE console) : console_(console) {}

  protected:
    int_type underflow() override {
        if (ended_)
            return traits_type::eof();
        // A long line (a paste) comes in several reads; a character of two
        // UTF-16 units cut between two of them waits for its second half.
        wchar_t wide[1025];
        DWORD read = 0;
        const DWORD carried = carry_ != 0 ? 1 : 0;
        wide[0] = carry_;
        if (!::ReadConsoleW(console_, wide + carried, 1024, &read, nullptr) || read == 0 ||
            wide[carried] == 0x1A) {
            ended_ = true;
            return traits_type::eof();
        }
        read += carried;
        carry_ = 0;
        if (read > 1 && wide[read - 1] >= 0xD800 && wide[read - 1] <= 0xDBFF)
            carry_ = wide[--read];
        line_ = utf8FromWide(wide, static_cast<int>(read));
        setg(line_.data(), line_.data(), line_.data() + line_.size());
        return traits_type::to_int_type(line_[0]);
    }

  private:
    HANDLE console_;
    std::string line_;
    wchar_t carry_ = 0;
    bool ended_ = false;
};

} // namespace

void prepareConsole() {
    // Kept for the life of the process: the standard streams use them
    // until its end.
    if (isConsole(STD_OUTPUT_HANDLE))
        std::cout.rdbuf(new ConsoleOutput(::GetStdHandle(STD_OUTPUT_HANDLE)));
    if (isConsole(STD_ERROR_HANDLE))
        std::cerr.rdbuf(new ConsoleOutput(::GetStdHandle(STD_ERROR_HANDLE)));
    if (isConsole(STD_INPUT_HANDLE))
        std::cin.rdbuf(new ConsoleInput(::GetStdHandle(STD_INPUT_HANDLE)));
}

bool inputIsTerminal() { return isConsole(STD_INPUT_HANDLE); }
bool outputIsTerminal() { return isConsole(STD_OUTPUT_HANDLE); }

} // namespace parlino::host
