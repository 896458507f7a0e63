#include "host/window/module_boxes.h"

namespace parlino::host {
namespace {

// The boxes of the action running; null between actions. Only the window's
// thread runs actions, and the hook is that thread's alone.
std::vector<std::wstring> *boxesSeen = nullptr;
// The window to disable when a box shows; null once it is disabled.
HWND disableWhenABoxShows = nullptr;

// A message box's text is the static control MessageBox gives the
// identifier 0xFFFF.
constexpr int messageBoxTextId = 0xFFFF;

std::wstring windowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

std::wstring oneLine(std::wstring text) {
    std::wstring line;
    for (const wchar_t c : text) {
        if (c == L'\r' || c == L'\n') {
            if (!line.empty() && line.back() != L' ')
                line += L' ';
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == L' ')
        line.pop_back();
    return line;
}

// Notes each dialog box when it first becomes active, with its text in place.
LRESULT CALLBACK noteActivatedBox(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && boxesSeen != nullptr) {
        const HWND activated = reinterpret_cast<HWND>(wParam);
        wchar_t className[16] = {};
        ::GetClassNameW(activated, className, 16);
        if (std::wstring(className) == L"#32770") {
            const HWND text = ::GetDlgItem(activated, messageBoxTextId);
            const auto seen = text != nullptr ? oneLine(windowText(text)) : std::wstring();
            if (disableWhenABoxShows != nullptr) {
                ::EnableWindow(disableWhenABoxShows, FALSE);
                disableWhenABoxShows = nullptr;
            }
            if (!seen.empty() && (boxesSeen->empty() || boxesSeen->back() != seen))
                boxesSeen->push_back(seen);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// For the length of an action: the window disabled and the boxes noted.
class BoxWatch {
  public:
    enum class Disable { atOnce, whenABoxShows };
    BoxWatch(HWND window, std::vector<std::wstring> &boxes, Disable disable)
        : window_(window), hook_(::SetWindowsHookExW(WH_CBT, noteActivatedBox, nullptr, ::GetCurrentThreadId())) {
        boxesSeen = &boxes;
        if (disable == Disable::atOnce)
            ::EnableWindow(window_, FALSE);
        else
            disableWhenABoxShows = window_;
    }
    ~BoxWatch() {
        if (disableWhenABoxShows == nullptr)
            ::EnableWindow(window_, TRUE);
        disableWhenABoxShows = nullptr;
        if (hook_ != nullptr)
            ::UnhookWindowsHookEx(hook_);
        boxesSeen = nullptr;
    }
    BoxWatch(const BoxWatch &) = delete;
    BoxWatch &operator=(const BoxWatch &) = delete;

  private:
    HWND window_;
    HHOOK hook_;
};

std::wstring runWatchingBoxes(HWND window, const std::function<void()> &action, BoxWatch::Disable disable) {
    std::vector<std::wstring> boxes;
    const HWND focused = ::GetFocus();
    {
        const BoxWatch watch(window, boxes, disable);
        action();
    }
    // A box that closes gives the activation to another program's window
    // while this one is disabled: take it back.
    if (!boxes.empty())
        ::SetForegroundWindow(window);
    // Not to a control the action disabled, which cannot take it.
    if (focused != nullptr && ::IsWindow(focused) && ::IsWindowEnabled(focused))
        ::SetFocus(focused);
    std::wstring texts;
    for (const auto &text : boxes)
        texts += (texts.empty() ? L"" : L" ") + text;
    return texts;
}

} // namespace

std::wstring runWhileBoxesShow(HWND window, const std::function<void()> &action) {
    return runWatchingBoxes(window, action, BoxWatch::Disable::atOnce);
}

std::wstring runWhileBoxesMayShow(HWND window, const std::function<void()> &action) {
    return runWatchingBoxes(window, action, BoxWatch::Disable::whenABoxShows);
}

} // namespace parlino::host
