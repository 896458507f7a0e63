// Drives ParlinoChat.exe from outside, as a person and a screen reader
// would: it finds the window, reads its controls' text (WM_GETTEXT), types
// into the focused control (posted WM_CHAR, Enter as key messages), times
// whether the window answers (WM_NULL), reads and dismisses the module's
// message boxes, sends a line to the window's port and closes the window.
//
// Usage: window_driver.exe STEP [ARG...] [-- STEP [ARG...]]...
//   window PORT SECONDS       the chat window whose port PORT is open (its
//                             caption names it) is the one later steps use
//   window-closed SECONDS     the one chat window whose port is not open
//   wait-text TEXT SECONDS    the conversation holds TEXT
//   wait-line TEXT SECONDS    a line of the conversation ends with TEXT
//                             (no other line joined to it)
//   no-text TEXT              the conversation does not hold TEXT
//   count TEXT N              exactly N lines of the conversation hold TEXT
//   clean                     the conversation holds no control character
//                             but its line breaks, and no invisible one;
//                             each line begins with a time, "14:02:11  "
//   lines-at-most N           the conversation holds at most N lines
//   type TEXT                 TEXT typed into the focused control, then Enter
//   paste COUNT TEXT          the focused control's text becomes COUNT times
//                             TEXT (as a paste would), then Enter
//   key tab|alt-CHAR ID       a key that should move the focus to control ID,
//                             which is enabled, once the window has handled it
//   click ID                  button ID clicked, once the window has
//                             handled the click
//   field ID TEXT             control ID holds exactly TEXT
//   enabled ID yes|no         control ID is enabled, or not (within 5 s);
//                             disabled, it does not have the keyboard
//   status-has TEXT SECONDS   the status line holds TEXT
//   box TEXT SECONDS          a visible message box of the module holds TEXT
//   dismiss                   presses OK on the module's message boxes
//   answers SECONDS BOUND_MS  for SECONDS the window answers WM_NULL within
//                             BOUND_MS each time (asked every 20 ms)
//   close SECONDS             closes the window; its process must end
//                             within SECONDS
//   place X Y WIDTH HEIGHT    moves the window there (for pictures)
//   peer-says PORT TEXT       sends TEXT as one datagram to 127.0.0.1:PORT
//   memory-at-most MB         the window's process has never held more
//                             than MB megabytes (its peak working set)
// Each step prints one line; the first that fails prints "FAIL: ..." on
// standard error and ends the driver with exit code 1. Texts are UTF-8.
// Sockets first: winsock2.h must come before windows.h.
#include <winsock2.h>

#include "window_access.h"

#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace window_test {
namespace {

// Enter as the keyboard gives it: the program's own loop makes the rest.
void pressEnter(HWND control) {
    ::PostMessageW(control, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    ::PostMessageW(control, WM_KEYUP, VK_RETURN, 0xC01C0001);
}

// Until the window's thread has handled what was posted to it before this
// call, within 10 s. A thread takes its posted messages in the order they
// came, so a marker posted after them is handled after them: a new length
// limit for the field of this PC's addresses, which is read-only (the limit
// only bounds typing), read back and then put back as it was.
void waitUntilHandled(HWND window) {
    const HWND field = ::GetDlgItem(window, control::addresses);
    const auto limitOf = [field] {
        DWORD_PTR limit = 0;
        if (::SendMessageTimeoutW(field, EM_GETLIMITTEXT, 0, 0, SMTO_ABORTIFHUNG, 5000, &limit) == 0)
            fail("the window does not answer EM_GETLIMITTEXT");
        return limit;
    };
    const DWORD_PTR before = limitOf();
    const DWORD_PTR marker = before == 1000 ? 1001 : 1000;
    if (!::PostMessageW(field, EM_SETLIMITTEXT, marker, 0))
        fail("cannot post to the window");
    const double end = nowMilliseconds() + 10000;
    while (limitOf() != marker) {
        if (nowMilliseconds() > end)
            fail("the window did not handle the messages posted to it within 10 s");
        ::Sleep(10);
    }
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(field, EM_SETLIMITTEXT, before, 0, SMTO_ABORTIFHUNG, 5000, &result);
}

// One datagram to 127.0.0.1:port.
void sendLine(unsigned short port, const std::string &line) {
    const SOCKET sender = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    to.sin_port = ::htons(port);
    if (::sendto(sender, line.data(), static_cast<int>(line.size()), 0, reinterpret_cast<sockaddr *>(&to), sizeof to) !=
        static_cast<int>(line.size()))
        fail("cannot send to port " + std::to_string(port));
    ::closesocket(sender);
}

// The lines of a multi-line edit control's text.
std::vector<std::wstring> linesOf(const std::wstring &text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (auto end = text.find(L"\r\n"); end != std::wstring::npos; end = text.find(L"\r\n", start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

// "14:02:11  " at the start.
bool startsWithTime(const std::wstring &line) {
    if (line.size() < 10 || line.compare(8, 2, L"  ") != 0 || line[2] != L':' || line[5] != L':')
        return false;
    for (const int at : {0, 1, 3, 4, 6, 7})
        if (line[at] < L'0' || line[at] > L'9')
            return false;
    return true;
}

class Driver {
  public:
    explicit Driver(std::vector<std::wstring> words) : words_(std::move(words)) {}

    void run() {
        while (next_ < words_.size()) {
            const auto step = word();
            if (step == L"--")
                continue;
            runStep(step);
        }
    }

  private:
    std::wstring word() {
        if (next_ >= words_.size())
            fail("a step lacks an argument");
        return words_[next_++];
    }
    double number() { return std::wcstod(word().c_str(), nullptr); }
    HWND chat() const {
        if (window_ == nullptr)
            fail("no window step came first");
        return window_;
    }
    HWND child(int id) const {
        const HWND found = ::GetDlgItem(chat(), id);
        if (found == nullptr)
            fail("the window has no control " + std::to_string(id));
        return found;
    }
    // Until `holds` is true of control `id`'s text, or `seconds` have passed.
    template <typename Test> void waitFor(int id, double seconds, Test holds, const std::string &what) {
        const double end = nowMilliseconds() + seconds * 1000;
        std::wstring text;
        do {
            text = textOf(child(id));
            if (holds(text))
                return;
            ::Sleep(50);
        } while (nowMilliseconds() < end);
        fail(what + "; the control holds:\n" + utf8(text.size() > 3000 ? text.substr(text.size() - 3000) : text));
    }

    // As a person clicks on the window they type into next: until the
    // window's own thread has taken the activation and the keyboard, and
    // keeps them a while (another window's activation may still be on its way).
    void bringForward() const {
        // A window that shows may not yet take messages (its thread still
        // makes it): until it answers, it is not hung, only starting.
        DWORD_PTR result = 0;
        if (::SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result) == 0)
            fail("the window does not answer within 60 s of showing");
        const double end = nowMilliseconds() + 10000;
        int steady = 0;
        while (steady < 4 && nowMilliseconds() < end) {
            if (::GetForegroundWindow() != window_)
                ::SetForegroundWindow(window_);
            GUITHREADINFO info{};
            info.cbSize = sizeof info;
            const bool active = ::GetForegroundWindow() == window_ &&
                                ::GetGUIThreadInfo(::GetWindowThreadProcessId(window_, nullptr), &info) &&
                                info.hwndActive == window_ && info.hwndFocus != nullptr;
            steady = active ? steady + 1 : 0;
            ::Sleep(50);
        }
        if (steady < 4)
            fail("the window does not stay in the foreground");
    }
    void runStep(const std::wstring &step);
    void answers(double seconds, double boundMilliseconds);
    void close(double seconds);

    std::vector<std::wstring> words_;
    std::size_t next_ = 0;
    HWND window_ = nullptr;
};

void Driver::runStep(const std::wstring &step) {
    if (step == L"window") {
        const auto port = word();
        window_ = findChatWindow(L" - port " + port + L" - ", true, number());
        bringForward();
        say("window on port " + utf8(port));
    } else if (step == L"window-closed") {
        window_ = findChatWindow(L"Parlino chat", false, number());
        bringForward();
        say("window with no port open");
    } else if (step == L"wait-text" || step == L"status-has") {
        const auto text = word();
        const int id = step == L"wait-text" ? control::conversation : control::status;
        waitFor(
            id, number(), [&](const std::wstring &held) { return held.find(text) != std::wstring::npos; },
            "\"" + utf8(text) + "\" did not show");
        say("shown: " + utf8(text));
    } else if (step == L"wait-line") {
        const auto text = word();
        waitFor(
            control::conversation, number(),
            [&](const std::wstring &held) {
                for (auto at = held.find(text); at != std::wstring::npos; at = held.find(text, at + 1))
                    if (at + text.size() == held.size() || held[at + text.size()] == L'\r')
                        return true;
                return false;
            },
            "no line ends with \"" + utf8(text) + "\"");
        say("a line ends with: " + utf8(text));
    } else if (step == L"count") {
        const auto text = word();
        const auto wanted = static_cast<std::size_t>(number());
        std::size_t found = 0;
        for (const auto &line : linesOf(textOf(child(control::conversation))))
            found += line.find(text) != std::wstring::npos;
        if (found != wanted)
            fail(std::to_string(found) + " lines of the conversation hold \"" + utf8(text) + "\", not " +
                 std::to_string(wanted));
        say(std::to_string(found) + " lines hold \"" + utf8(text) + "\"");
    } else if (step == L"click") {
        const int id = static_cast<int>(number());
        ::PostMessageW(child(id), BM_CLICK, 0, 0);
        waitUntilHandled(chat());
        say("clicked control " + std::to_string(id));
    } else if (step == L"no-text") {
        const auto text = word();
        const auto held = textOf(child(control::conversation));
        if (const auto at = held.find(text); at != std::wstring::npos) {
            const auto lineStart = held.rfind(L'\n', at);
            const auto start = lineStart == std::wstring::npos ? 0 : lineStart + 1;
            const auto line = held.substr(start, held.find(L'\r', at) - start);
            fail("the conversation holds \"" + utf8(text) + "\": " + utf8(line));
        }
        say("not shown: " + utf8(text));
    } else if (step == L"enabled") {
        const int id = static_cast<int>(number());
        const bool wanted = word() == L"yes";
        const double end = nowMilliseconds() + 5000;
        while ((::IsWindowEnabled(child(id)) != FALSE) != wanted && nowMilliseconds() < end)
            ::Sleep(20);
        if ((::IsWindowEnabled(child(id)) != FALSE) != wanted)
            fail("control " + std::to_string(id) + (wanted ? " is disabled" : " is enabled"));
        // A disabled control that kept the keyboard would lose every key.
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (!wanted && ::GetGUIThreadInfo(::GetWindowThreadProcessId(chat(), nullptr), &info) &&
            info.hwndFocus == child(id))
            fail("control " + std::to_string(id) + " is disabled and has the keyboard");
        say("control " + std::to_string(id) + (wanted ? " is enabled" : " is disabled"));
    } else if (step == L"clean") {
        for (const wchar_t c : textOf(child(control::conversation)))
            if ((c < 0x20 && c != L'\r' && c != L'\n') || (c >= 0x7F && c <= 0x9F) || (c >= 0x200B && c <= 0x200F) ||
                (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x2028 || c == 0x2029)
                fail("the conversation holds the character U+" + std::to_string(static_cast<unsigned>(c)) +
                     " (decimal) raw");
        // Each line is one entry, which begins with the time it came.
        for (const auto &line : linesOf(textOf(child(control::conversation))))
            if (!startsWithTime(line))
                fail("a line of the conversation does not begin with a time: \"" + utf8(line) + "\"");
        say("the conversation holds no control or invisible character, and each line begins with a time");
    } else if (step == L"lines-at-most") {
        const auto most = static_cast<std::size_t>(number());
        const auto text = textOf(child(control::conversation));
        std::size_t lines = text.empty() ? 0 : 1;
        for (const wchar_t c : text)
            lines += c == L'\n';
        if (lines > most)
            fail("the conversation holds " + std::to_string(lines) + " lines, more than " + std::to_string(most));
        say("the conversation holds " + std::to_string(lines) + " lines, " + std::to_string(text.size()) +
            " characters");
    } else if (step == L"type") {
        const auto text = word();
        const HWND focused = focusedControl(chat());
        for (const wchar_t unit : text)
            ::PostMessageW(focused, WM_CHAR, unit, 1);
        pressEnter(focused);
        say("typed into control " + std::to_string(::GetDlgCtrlID(focused)) + ": " + utf8(text));
    } else if (step == L"paste") {
        const auto count = static_cast<std::size_t>(number());
        const auto piece = word();
        std::wstring text;
        for (std::size_t i = 0; i < count; ++i)
            text += piece;
        const HWND focused = focusedControl(chat());
        DWORD_PTR result = 0;
        if (::SendMessageTimeoutW(focused, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                                  5000, &result) == 0)
            fail("the focused control does not take the text");
        pressEnter(focused);
        say("pasted " + std::to_string(text.size()) + " UTF-16 units and pressed Enter");
    } else if (step == L"key") {
        const auto key = word();
        const int id = static_cast<int>(number());
        const HWND focused = focusedControl(chat());
        if (key == L"tab") {
            ::PostMessageW(focused, WM_KEYDOWN, VK_TAB, 0x000F0001);
            ::PostMessageW(focused, WM_KEYUP, VK_TAB, 0xC00F0001);
        } else if (key.rfind(L"alt-", 0) == 0 && key.size() == 5) {
            ::PostMessageW(focused, WM_SYSCHAR, key[4], 0x20000001); // bit 29: Alt is down
        } else {
            fail("unknown key " + utf8(key));
        }
        // Where the keyboard is once the window has handled the key: a look
        // before that sees where it was, or where the key's handling passes
        // it on the way (a button it clicks has the keyboard until the click
        // is over), which is no answer when the key should leave it there.
        waitUntilHandled(chat());
        const double end = nowMilliseconds() + 5000;
        HWND reached = focusedControl(chat());
        while (reached != child(id) && nowMilliseconds() < end) {
            ::Sleep(20);
            reached = focusedControl(chat());
        }
        if (reached != child(id))
            fail(utf8(key) + " did not move the keyboard to control " + std::to_string(id) + " but to " +
                 std::to_string(::GetDlgCtrlID(reached)));
        if (!::IsWindowEnabled(reached))
            fail(utf8(key) + " moved the keyboard to control " + std::to_string(id) + ", which is disabled");
        say(utf8(key) + " moved the keyboard to control " + std::to_string(id));
    } else if (step == L"field") {
        const int id = static_cast<int>(number());
        const auto expected = word();
        const auto text = textOf(child(id));
        if (text != expected)
            fail("control " + std::to_string(id) + " holds \"" + utf8(text) + "\", not \"" + utf8(expected) + "\"");
        say("control " + std::to_string(id) + " holds " + utf8(text));
    } else if (step == L"box") {
        const auto text = word();
        const double end = nowMilliseconds() + number() * 1000;
        std::wstring seen;
        do {
            for (const HWND box : moduleBoxes()) {
                seen = textOf(::GetDlgItem(box, 0xFFFF));
                if (seen.find(text) != std::wstring::npos) {
                    for (auto &c : seen)
                        c = c == L'\r' || c == L'\n' ? L' ' : c;
                    say("message box: " + utf8(seen));
                    return;
                }
            }
            ::Sleep(100);
        } while (nowMilliseconds() < end);
        fail("no message box of the module holds \"" + utf8(text) + "\" (last seen: \"" + utf8(seen) + "\")");
    } else if (step == L"dismiss") {
        for (const HWND box : moduleBoxes())
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        say("dismissed the module's message boxes");
    } else if (step == L"answers") {
        const double seconds = number();
        answers(seconds, number());
    } else if (step == L"close") {
        close(number());
    } else if (step == L"peer-says") {
        const auto port = static_cast<unsigned short>(number());
        const auto text = utf8(word());
        sendLine(port, text);
        say("peer said: " + text);
    } else if (step == L"memory-at-most") {
        const double most = number();
        DWORD processId = 0;
        ::GetWindowThreadProcessId(chat(), &processId);
        const HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        if (process == nullptr || !::GetProcessMemoryInfo(process, &counters, sizeof counters))
            fail("cannot read the window's memory use");
        ::CloseHandle(process);
        const double megabytes = static_cast<double>(counters.PeakWorkingSetSize) / (1024 * 1024);
        say("the window's process peaked at " + std::to_string(static_cast<int>(megabytes)) + " MB");
        if (megabytes > most)
            fail("the window's process took more than " + std::to_string(static_cast<int>(most)) + " MB");
    } else if (step == L"place") {
        const int x = static_cast<int>(number()), y = static_cast<int>(number());
        const int width = static_cast<int>(number()), height = static_cast<int>(number());
        ::SetWindowPos(chat(), nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        say("placed at " + std::to_string(x) + "," + std::to_string(y));
    } else {
        fail("unknown step " + utf8(step));
    }
}

void Driver::answers(double seconds, double boundMilliseconds) {
    double slowest = 0;
    int answered = 0;
    const double end = nowMilliseconds() + seconds * 1000;
    while (nowMilliseconds() < end) {
        const double asked = nowMilliseconds();
        DWORD_PTR result = 0;
        if (::SendMessageTimeoutW(chat(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) == 0)
            fail("the window did not answer WM_NULL within 5 s");
        slowest = std::max(slowest, nowMilliseconds() - asked);
        ++answered;
        ::Sleep(20);
    }
    say("for " + std::to_string(static_cast<int>(seconds)) + " s the window answered WM_NULL " +
        std::to_string(answered) + " times, the slowest in " + std::to_string(static_cast<int>(slowest)) + " ms");
    if (slowest > boundMilliseconds)
        fail("the window took " + std::to_string(static_cast<int>(slowest)) + " ms to answer WM_NULL, more than " +
             std::to_string(static_cast<int>(boundMilliseconds)) + " ms");
}

void Driver::close(double seconds) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(chat(), &processId);
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (process == nullptr)
        fail("cannot watch the window's process");
    const double asked = nowMilliseconds();
    ::PostMessageW(chat(), WM_CLOSE, 0, 0);
    const bool ended = ::WaitForSingleObject(process, static_cast<DWORD>(seconds * 1000)) == WAIT_OBJECT_0;
    const double took = nowMilliseconds() - asked;
    ::CloseHandle(process);
    if (!ended)
        fail("the window's process did not end within " + std::to_string(seconds) + " s of WM_CLOSE");
    say("closed: the process ended " + std::to_string(static_cast<int>(took)) + " ms after WM_CLOSE");
    window_ = nullptr;
}

} // namespace
} // namespace window_test

int main() {
    int count = 0;
    wchar_t **list = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::wstring> words;
    for (int i = 1; i < count; ++i)
        words.emplace_back(list[i]);
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
        window_test::fail("the sockets do not start");
    window_test::Driver(words).run();
    return 0;
}
