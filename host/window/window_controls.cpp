// The chat window's controls: made in Tab order, in the system's message
// font, placed from that font's size (so that they grow with the screen's
// DPI); the keyboard among them; and the texts the window shows in them.
#include "host/window/chat_window.h"

#include "host/core/local_addresses.h"
#include "host/core/win32/wide_text.h"
#include "host/window/controls.h"

#include <commctrl.h>

#include <algorithm>

namespace parlino::host {
namespace {

namespace control = window_control;

using system::utf8FromWide;
using system::wideFromUtf8;

// The sizes of the layout, in pixels, taken from the font.
struct Metrics {
    int unit = 0;        // an average character's width
    int row = 0;         // a field's or button's height
    int text = 0;        // a line of text
    int gap = 0;         // between controls
    int labelWidth = 0;  // the labels at the left
    int buttonWidth = 0; // Open, Close, Send, Check link
    int peerPortLabelWidth = 0;
};

// A label's text as drawn: without the "&" that marks its Alt key.
std::wstring drawnText(const wchar_t *label) {
    std::wstring text;
    for (const wchar_t *c = label; *c != L'\0'; ++c)
        if (*c != L'&')
            text += *c;
    return text;
}

const wchar_t addressesText[] = L"This PC's a&ddresses:";
const wchar_t portText[] = L"&Local port:";
const wchar_t peerAddressText[] = L"Peer &address:";
const wchar_t peerPortText[] = L"Peer &port:";
const wchar_t lineText[] = L"&Text to send:";

Metrics metricsOf(HWND window, HFONT font) {
    Metrics metrics;
    const HDC dc = ::GetDC(window);
    const auto before = ::SelectObject(dc, font);
    TEXTMETRICW textMetrics{};
    ::GetTextMetricsW(dc, &textMetrics);
    const auto widthOf = [dc](const std::wstring &text) {
        SIZE size{};
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        return static_cast<int>(size.cx);
    };
    metrics.unit = (widthOf(L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 26 + 1) / 2;
    metrics.text = textMetrics.tmHeight;
    metrics.row = metrics.text + metrics.text / 2 + 4;
    metrics.gap = std::max(4, metrics.unit);
    for (const auto *label : {addressesText, portText, peerAddressText, lineText})
        metrics.labelWidth = std::max(metrics.labelWidth, widthOf(drawnText(label)) + metrics.unit);
    for (const auto &button : {std::wstring(L"Open"), std::wstring(L"Close"), std::wstring(L"Send"),
                               drawnText(ChatWindow::checkLinkText), std::wstring(ChatWindow::checkingText)})
        metrics.buttonWidth = std::max(metrics.buttonWidth, widthOf(button) + 4 * metrics.unit);
    metrics.peerPortLabelWidth = widthOf(drawnText(peerPortText)) + metrics.unit;
    ::SelectObject(dc, before);
    ::ReleaseDC(window, dc);
    return metrics;
}

// The conversation is a multi-line edit, which would keep Tab and Enter:
// read-only, it lets Tab move on and Enter go to the window. Ctrl+A
// selects all of it, for copying.
LRESULT CALLBACK conversationKeys(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_GETDLGCODE)
        return ::DefSubclassProc(edit, message, wParam, lParam) & ~(DLGC_WANTALLKEYS | DLGC_WANTTAB);
    if (message == WM_KEYDOWN && wParam == 'A' && ::GetKeyState(VK_CONTROL) < 0) {
        ::SendMessageW(edit, EM_SETSEL, 0, -1);
        return 0;
    }
    if (message == WM_CHAR && wParam == 1) // Ctrl+A's character
        return 0;
    return ::DefSubclassProc(edit, message, wParam, lParam);
}

} // namespace

void ChatWindow::createControls() {
    NONCLIENTMETRICSW system{};
    system.cbSize = sizeof system;
    font_ = ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof system, &system, 0)
                ? ::CreateFontIndirectW(&system.lfMessageFont)
                : nullptr;
    if (font_ == nullptr)
        font_ = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));

    const auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(window_, GWLP_HINSTANCE));
    const auto add = [&](const wchar_t *kind, const wchar_t *text, DWORD style, int id, DWORD extended = 0) {
        const HWND made = ::CreateWindowExW(extended, kind, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, window_,
                                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        ::SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        return made;
    };
    const DWORD field = WS_TABSTOP | ES_AUTOHSCROLL;
    const DWORD button = WS_TABSTOP | BS_PUSHBUTTON;
    add(L"STATIC", addressesText, SS_LEFT, control::addressesLabel);
    add(L"EDIT", L"", field | ES_READONLY, control::addresses, WS_EX_CLIENTEDGE);
    add(L"STATIC", portText, SS_LEFT, control::portLabel);
    ::SendMessageW(add(L"EDIT", L"", field | ES_NUMBER, control::port, WS_EX_CLIENTEDGE), EM_SETLIMITTEXT, 5, 0);
    add(L"BUTTON", L"&Open", button, control::open);
    add(L"BUTTON", L"Clos&e", button, control::close);
    add(L"STATIC", peerAddressText, SS_LEFT, control::peerAddressLabel);
    ::SendMessageW(add(L"EDIT", L"", field, control::peerAddress, WS_EX_CLIENTEDGE), EM_SETLIMITTEXT, 15, 0);
    add(L"STATIC", peerPortText, SS_LEFT, control::peerPortLabel);
    ::SendMessageW(add(L"EDIT", L"", field | ES_NUMBER, control::peerPort, WS_EX_CLIENTEDGE), EM_SETLIMITTEXT, 5, 0);
    add(L"BUTTON", checkLinkText, button, control::checkLink);
    add(L"STATIC", L"Co&nversation:", SS_LEFT, control::conversationLabel);
    const HWND conversation =
        add(L"EDIT", L"",
            WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL,
            control::conversation, WS_EX_CLIENTEDGE);
    ::SetWindowSubclass(conversation, conversationKeys, 1, 0);
    add(L"STATIC", lineText, SS_LEFT, control::lineLabel);
    add(L"EDIT", L"", field, control::line, WS_EX_CLIENTEDGE);
    add(L"BUTTON", L"&Send", button, control::send);
    // The program's own words and the module's: no "&" is an Alt key there.
    add(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, control::status);
}

SIZE ChatWindow::smallestSize() const {
    const auto metrics = metricsOf(window_, font_);
    const int width = 2 * metrics.gap + metrics.labelWidth + 17 * metrics.unit + metrics.peerPortLabelWidth +
                      8 * metrics.unit + metrics.buttonWidth + 4 * metrics.gap;
    const int height = 2 * metrics.gap + 4 * (metrics.row + metrics.gap) + metrics.text + 6 * metrics.text +
                       2 * metrics.text + metrics.gap;
    RECT frame{0, 0, width, height};
    ::AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_CONTROLPARENT);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

void ChatWindow::layout() {
    if (font_ == nullptr)
        return;
    const auto m = metricsOf(window_, font_);
    RECT client;
    ::GetClientRect(window_, &client);
    const int right = client.right - m.gap;
    const int fieldX = m.gap + m.labelWidth;
    // A label beside a field, its text level with the field's.
    const int labelDown = (m.row - m.text) / 2;
    const auto place = [&](int id, int x, int y, int width, int height) {
        ::MoveWindow(control(id), x, y, std::max(0, width), std::max(0, height), TRUE);
    };

    int y = m.gap;
    place(control::addressesLabel, m.gap, y + labelDown, m.labelWidth, m.text);
    place(control::addresses, fieldX, y, right - fieldX, m.row);
    y += m.row + m.gap;
    place(control::portLabel, m.gap, y + labelDown, m.labelWidth, m.text);
    place(control::port, fieldX, y, 8 * m.unit, m.row);
    int x = fieldX + 8 * m.unit + m.gap;
    place(control::open, x, y, m.buttonWidth, m.row);
    place(control::close, x + m.buttonWidth + m.gap, y, m.buttonWidth, m.row);
    y += m.row + m.gap;
    place(control::peerAddressLabel, m.gap, y + labelDown, m.labelWidth, m.text);
    place(control::peerAddress, fieldX, y, 17 * m.unit, m.row);
    x = fieldX + 17 * m.unit + m.gap;
    place(control::peerPortLabel, x, y + labelDown, m.peerPortLabelWidth, m.text);
    place(control::peerPort, x + m.peerPortLabelWidth, y, 8 * m.unit, m.row);
    place(control::checkLink, x + m.peerPortLabelWidth + 8 * m.unit + m.gap, y, m.buttonWidth, m.row);
    y += m.row + m.gap;
    place(control::conversationLabel, m.gap, y, right - m.gap, m.text);
    y += m.text + m.gap / 2;

    // From the bottom up: the status line (two lines of text), the line to send.
    const int statusY = client.bottom - m.gap - 2 * m.text;
    place(control::status, m.gap, statusY, right - m.gap, 2 * m.text);
    const int lineY = statusY - m.gap - m.row;
    place(control::lineLabel, m.gap, lineY + labelDown, m.labelWidth, m.text);
    place(control::line, fieldX, lineY, right - m.buttonWidth - m.gap - fieldX, m.row);
    place(control::send, right - m.buttonWidth, lineY, m.buttonWidth, m.row);
    place(control::conversation, m.gap, y, right - m.gap, lineY - m.gap - y);
}

// ---- The keyboard ----

bool ChatWindow::enterPressed(HWND where) {
    if (busy_ || where == nullptr)
        return false;
    if (where == control(control::line) || where == control(control::send)) {
        sendLine();
    } else if (where == control(control::port) || where == control(control::open)) {
        openPort();
    } else if (where == control(control::peerAddress) || where == control(control::peerPort)) {
        if (openPort_)
            moveKeyboardTo(control::line);
        else
            openPort();
    } else if (where == control(control::close)) {
        closePort();
    } else if (where == control(control::checkLink)) {
        startCheck();
    } else {
        return false;
    }
    return true;
}

// The keyboard to a control. While another window is active, the control
// gets it once this one is active again, rather than the one it had before.
// "Active" as this thread has heard so far: the control it keeps for the
// next activation is the one its WM_ACTIVATE saved last.
void ChatWindow::moveKeyboardTo(int id) {
    focusBeforeDeactivation_ = control(id);
    if (::GetActiveWindow() == window_)
        ::SetFocus(focusBeforeDeactivation_);
}

// The dialog manager moves the keyboard so for an Alt key; a window that is
// no dialog box does it itself, as a dialog box would: to a given control,
// or the next or previous in Tab order, the text of a field selected.
void ChatWindow::moveKeyboardAsDialogsDo(WPARAM wParam, LPARAM lParam) {
    HWND target =
        LOWORD(lParam) != 0 ? reinterpret_cast<HWND>(wParam) : ::GetNextDlgTabItem(window_, ::GetFocus(), wParam != 0);
    if (target == nullptr)
        return;
    // A disabled control (Check link, while the check runs) would keep the
    // keyboard and lose every key: it goes where lines are typed instead.
    if (!::IsWindowEnabled(target))
        target = control(control::line);
    ::SetFocus(target);
    if (::SendMessageW(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        ::SendMessageW(target, EM_SETSEL, 0, -1);
}

// ---- What the window shows ----

std::optional<PeerAddress> ChatWindow::peerInFields(std::string &problem, int *field) const {
    const auto address = utf8FromWide(controlText(control::peerAddress));
    const auto port = parsePortNumber(utf8FromWide(controlText(control::peerPort)));
    if (!isDottedIpv4(address)) {
        problem = "give the other side's IPv4 address, four numbers such as 192.168.1.21 (ipconfig shows it there).";
        if (field != nullptr)
            *field = control::peerAddress;
        return std::nullopt;
    }
    if (!port) {
        problem = "give the other side's port, a number from 1 to 65535.";
        if (field != nullptr)
            *field = control::peerPort;
        return std::nullopt;
    }
    return PeerAddress{address, *port, {}};
}

void ChatWindow::showAddresses() {
    const auto peerAddress = utf8FromWide(controlText(control::peerAddress));
    std::wstring text;
    for (const auto &shown : addressesToShow(moduleAddress_, networks_, peerAddress))
        text += (text.empty() ? L"" : L",   ") + wideFromUtf8(shown.address) +
                (shown.onPeersNetwork ? L" (on the peer's network)" : L"");
    setControlText(control::addresses, text.empty() ? L"none: this PC has no network" : text);
}

void ChatWindow::showCaption() {
    const auto title = wideFromUtf8(link_.host().texts().title);
    const auto caption =
        openPort_ ? L"Parlino chat - port " + std::to_wstring(*openPort_) + L" - " + title : L"Parlino chat - " + title;
    ::SetWindowTextW(window_, caption.c_str());
}

std::wstring ChatWindow::controlText(int id) const {
    const HWND handle = control(id);
    const int length = ::GetWindowTextLengthW(handle);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(handle, text.data(), length + 1)));
    return text;
}

void ChatWindow::setControlText(int id, const std::wstring &text) { ::SetWindowTextW(control(id), text.c_str()); }

void ChatWindow::setStatus(const std::wstring &text) { setControlText(control::status, text); }

void ChatWindow::setStatus(const std::string &utf8Text) { setStatus(wideFromUtf8(utf8Text)); }

} // namespace parlino::host
