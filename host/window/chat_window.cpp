// The chat window: its messages, the port opened and closed on its thread,
// and its end. Its controls are in window_controls.cpp, its lines in
// window_lines.cpp.
#include "host/window/chat_window.h"

#include "host/core/win32/wide_text.h"
#include "host/window/controls.h"
#include "host/window/module_boxes.h"

namespace parlino::host {
namespace {

namespace control = window_control;
using system::utf8FromWide;
using system::wideFromUtf8;

} // namespace

ChatWindow::ChatWindow(ChatLink &link, Charset &shownCharset, const WindowArguments &arguments,
                       const RememberedChat &remembered)
    : link_(link), shownCharset_(shownCharset), arguments_(arguments), remembered_(remembered) {}

ChatWindow::~ChatWindow() {
    if (receiver_)
        receiver_->stop();
    if (font_ != nullptr)
        ::DeleteObject(font_);
}

bool ChatWindow::create(HINSTANCE instance, int show) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = control::windowClass;
    ::RegisterClassExW(&windowClass);
    // WS_EX_CONTROLPARENT: Tab and the Alt keys move through the controls.
    window_ = ::CreateWindowExW(WS_EX_CONTROLPARENT, control::windowClass, L"Parlino chat",
                                WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, nullptr, nullptr, instance, this);
    if (window_ == nullptr)
        return false;
    const SIZE smallest = smallestSize();
    ::SetWindowPos(window_, nullptr, 0, 0, smallest.cx * 3 / 2, smallest.cy * 3 / 2, SWP_NOMOVE | SWP_NOZORDER);
    ::ShowWindow(window_, show);
    ::UpdateWindow(window_);
    if (arguments_.port)
        ::PostMessageW(window_, openAtStart, 0, 0);
    return true;
}

LRESULT CALLBACK ChatWindow::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto *self = static_cast<ChatWindow *>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams);
        self->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto *self = reinterpret_cast<ChatWindow *>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr)
        return ::DefWindowProcW(window, message, wParam, lParam);
    // Nothing may unwind through the system's frames: out of memory for a
    // line ends what was being done, and the window goes on.
    try {
        return self->handleMessage(message, wParam, lParam);
    } catch (...) {
        self->setStatus(L"Not enough memory for that; the window goes on.");
        return 0;
    }
}

LRESULT ChatWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        createControls();
        conversation_ = std::make_unique<Conversation>(control(control::conversation));
        receiver_ = std::make_unique<Receiver>(link_, window_, linesArrived);
        if (const auto port = arguments_.port ? arguments_.port : remembered_.port)
            setControlText(control::port, std::to_wstring(*port));
        if (const auto &peer = arguments_.peer ? arguments_.peer : remembered_.peer) {
            setControlText(control::peerAddress, wideFromUtf8(peer->address));
            setControlText(control::peerPort, std::to_wstring(peer->port));
        }
        // My-IP may take a while (a name looked up): the window shows first.
        setControlText(control::addresses, L"...");
        ::PostMessageW(window_, lookUpAddresses, 0, 0);
        showCaption();
        setStatus(L"Give the local port and press Open; then the other side's address and port, "
                  L"and type a line.");
        moveKeyboardTo(control::port);
        return 0;
    case WM_SIZE:
        layout();
        return 0;
    case WM_GETMINMAXINFO: {
        if (font_ != nullptr) {
            const SIZE smallest = smallestSize();
            reinterpret_cast<MINMAXINFO *>(lParam)->ptMinTrackSize = {smallest.cx, smallest.cy};
        }
        return 0;
    }
    case WM_ACTIVATE:
        // Where the keyboard was when the person left is where it comes back.
        if (LOWORD(wParam) == WA_INACTIVE) {
            if (const HWND focused = ::GetFocus(); focused != nullptr && ::IsChild(window_, focused))
                focusBeforeDeactivation_ = focused;
        } else if (focusBeforeDeactivation_ != nullptr && ::IsChild(window_, focusBeforeDeactivation_)) {
            // A control disabled meanwhile (Check link, once its click has
            // started the check) cannot take it: lines are typed instead.
            ::SetFocus(::IsWindowEnabled(focusBeforeDeactivation_) ? focusBeforeDeactivation_
                                                                    : control(control::line));
        }
        return 0;
    case WM_NEXTDLGCTL:
        moveKeyboardAsDialogsDo(wParam, lParam);
        return 0;
    case WM_COMMAND:
        if (busy_)
            return 0;
        switch (LOWORD(wParam)) {
        case IDOK: // Enter, from the dialog manager
            enterPressed(::GetFocus());
            break;
        case control::open:
            openPort();
            break;
        case control::close:
            closePort();
            break;
        case control::send:
            sendLine();
            break;
        case control::checkLink:
            startCheck();
            break;
        case control::peerAddress:
        case control::peerPort:
            if (HIWORD(wParam) == EN_CHANGE)
                showAddresses();
            break;
        }
        return 0;
    case linesArrived:
        takeLinesLater(takeLinesInterval);
        return 0;
    case WM_TIMER:
        if (wParam == takeLinesTimer) {
            ::KillTimer(window_, takeLinesTimer);
            drainPending_ = false;
            takeReceivedLines();
        } else if (wParam == checkTimer) {
            continueCheck();
        }
        return 0;
    case lookUpAddresses:
        moduleAddress_ = link_.myAddress();
        networks_ = system::localIpv4Addresses();
        showAddresses();
        return 0;
    case openAtStart:
        openPort();
        return 0;
    case WM_CLOSE:
        closeWindow();
        return 0;
    case WM_ENDSESSION:
        if (wParam != FALSE)
            endChat();
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

// An action that may show the module's box: while it runs, the window
// takes no commands and closes only afterwards. One that runs `often` (the
// link check's probes) disables the window only once a box shows.
std::wstring ChatWindow::runModuleAction(const std::function<void()> &action, bool often) {
    struct Busy {
        bool &flag;
        explicit Busy(bool &f) : flag(f) { flag = true; }
        ~Busy() { flag = false; }
    } busy(busy_);
    return often ? runWhileBoxesMayShow(window_, action) : runWhileBoxesShow(window_, action);
}

// ---- The port ----

void ChatWindow::openPort() {
    const auto port = parsePortNumber(utf8FromWide(controlText(control::port)));
    if (!port) {
        setStatus(L"Give the local port: a number from 1 to 65535, such as 40001.");
        moveKeyboardTo(control::port);
        return;
    }
    abandonCheck();
    receiver_->stop();
    openPort_.reset();
    PortOpening opening;
    const auto boxes = runModuleAction([&] { opening = link_.open(*port); });
    const auto portText = std::to_wstring(*port);
    if (!opening.opened) {
        // The module's message first, then what it means here.
        std::wstring status = boxes;
        if (!status.empty())
            status += L" - ";
        if (opening.inUse)
            status += L"Port " + portText + L" is in use by another program: choose another local port.";
        else
            status += L"Port " + portText + L" did not open" +
                      (opening.problem.empty() ? L"." : L": " + wideFromUtf8(opening.problem) + L".");
        setStatus(status);
        showCaption();
        moveKeyboardTo(control::port);
        if (closeAsked_)
            closeWindow();
        return;
    }
    openPort_ = port;
    const bool receiving = receiver_->start(*port);
    // The module's my-IP and the system's addresses, as they are now.
    moduleAddress_ = link_.myAddress();
    networks_ = system::localIpv4Addresses();
    showAddresses();
    showCaption();
    std::string problem;
    const auto peer = peerInFields(problem);
    std::wstring status = L"Port " + portText + L" is open. ";
    if (!peer)
        status += L"Give the other side's address and port to send lines.";
    else if (peer->port == *port && (peer->address.rfind("127.", 0) == 0 || peer->address == moduleAddress_))
        status += L"The peer is this window's own port: every line goes to yourself. Give the other side's port.";
    else
        status += L"Lines go to " + wideFromUtf8(peer->address) + L":" + std::to_wstring(peer->port) + L".";
    if (link_.charsetName() != "UTF-8")
        status += L" Text is in " + wideFromUtf8(link_.charsetName()) + L".";
    if (!receiving)
        status += L" But the window cannot receive: Windows started no thread for it.";
    setStatus(status);
    remember();
    moveKeyboardTo(control::line);
    if (closeAsked_)
        closeWindow();
}

void ChatWindow::closePort() {
    abandonCheck();
    receiver_->stop();
    link_.close();
    setStatus(openPort_ ? L"Port " + std::to_wstring(*openPort_) + L" is closed." : std::wstring(L"No port is open."));
    openPort_.reset();
    showCaption();
}

// ---- Closing ----

void ChatWindow::closeWindow() {
    // A module's box is up (the action runs below this call): the window
    // closes once the box is dismissed and the action is over.
    if (busy_) {
        closeAsked_ = true;
        return;
    }
    closeAsked_ = false;
    endChat();
    ::DestroyWindow(window_);
}

void ChatWindow::endChat() {
    abandonCheck();
    receiver_->stop();
    link_.close();
    openPort_.reset();
    remember();
}

void ChatWindow::remember() {
    std::string problem;
    if (const auto port = parsePortNumber(utf8FromWide(controlText(control::port))))
        remembered_.port = port;
    if (auto peer = peerInFields(problem))
        remembered_.peer = std::move(peer);
    saveRememberedChat(remembered_);
}

} // namespace parlino::host
