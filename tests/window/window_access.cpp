#include "window_access.h"

#include <cstdio>
#include <cstdlib>

namespace window_test {
namespace {

// The last few lines of a text.
std::wstring lastLines(const std::wstring &text) {
    std::size_t start = text.size();
    for (int lines = 0; lines < 8 && start > 0; ++lines)
        start = text.rfind(L'\n', start - 1) == std::wstring::npos ? 0 : text.rfind(L'\n', start - 1);
    return text.substr(start);
}

BOOL CALLBACK describeChatWindow(HWND window, LPARAM) {
    wchar_t className[64] = {};
    ::GetClassNameW(window, className, 64);
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info);
    if (std::wstring(className) == control::windowClass)
        std::fprintf(stderr, "---- %s\nkeyboard at control %d; typed line: %s\nstatus: %s\nconversation:\n%s\n",
                     utf8(captionOf(window)).c_str(), info.hwndFocus ? ::GetDlgCtrlID(info.hwndFocus) : 0,
                     utf8(textOf(::GetDlgItem(window, control::line))).c_str(),
                     utf8(textOf(::GetDlgItem(window, control::status))).c_str(),
                     utf8(lastLines(textOf(::GetDlgItem(window, control::conversation)))).c_str());
    return TRUE;
}

struct Search {
    std::wstring captionPart;
    bool portOpen;
    std::vector<HWND> found;
};

BOOL CALLBACK noteChatWindow(HWND window, LPARAM state) {
    auto &search = *reinterpret_cast<Search *>(state);
    wchar_t className[64] = {};
    ::GetClassNameW(window, className, 64);
    const auto caption = captionOf(window);
    const bool open = caption.find(L" - port ") != std::wstring::npos;
    if (std::wstring(className) == control::windowClass && ::IsWindowVisible(window) && open == search.portOpen &&
        caption.find(search.captionPart) != std::wstring::npos)
        search.found.push_back(window);
    return TRUE;
}

BOOL CALLBACK noteModuleBox(HWND window, LPARAM boxes) {
    wchar_t className[16] = {};
    ::GetClassNameW(window, className, 16);
    if (std::wstring(className) == L"#32770" && ::IsWindowVisible(window) && captionOf(window) == L"Parlino 1.0.0")
        reinterpret_cast<std::vector<HWND> *>(boxes)->push_back(window);
    return TRUE;
}

} // namespace

std::string utf8(const std::wstring &text) {
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

// Ends the driver, after what every chat window shows (its status and the
// end of its conversation), the failure told before and after that.
[[noreturn]] void fail(const std::string &what) {
    std::fprintf(stderr, "FAIL: %s\n", what.c_str());
    static bool failing = false;
    if (!failing) {
        failing = true;
        ::EnumWindows(describeChatWindow, 0);
        std::fprintf(stderr, "FAIL: %s\n", what.c_str());
    }
    std::exit(1);
}

void say(const std::string &line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

double nowMilliseconds() {
    LARGE_INTEGER frequency, count;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&count);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A window's text as another process reads it.
std::wstring textOf(HWND window) {
    DWORD_PTR length = 0;
    if (::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length) == 0)
        fail("the window does not answer WM_GETTEXTLENGTH (error " + std::to_string(::GetLastError()) + ")");
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                              5000, &copied) == 0)
        fail("the window does not answer WM_GETTEXT");
    text.resize(copied);
    return text;
}

std::wstring captionOf(HWND window) {
    wchar_t caption[256] = {};
    ::GetWindowTextW(window, caption, 256);
    return caption;
}

HWND findChatWindow(const std::wstring &captionPart, bool portOpen, double seconds) {
    const double end = nowMilliseconds() + seconds * 1000;
    do {
        Search search{captionPart, portOpen, {}};
        ::EnumWindows(noteChatWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found.size() == 1)
            return search.found[0];
        ::Sleep(100);
    } while (nowMilliseconds() < end);
    fail("no single chat window " + utf8(captionPart) + " within " + std::to_string(seconds) + " s");
}

std::vector<HWND> moduleBoxes() {
    std::vector<HWND> boxes;
    ::EnumWindows(noteModuleBox, reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

HWND focusedControl(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) || info.hwndFocus == nullptr)
        fail("no control of the window has the keyboard");
    return info.hwndFocus;
}

} // namespace window_test
