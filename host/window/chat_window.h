// The chat window: this PC's addresses, the local port with Open and Close,
// the peer's address and port, the conversation, the line being typed with
// Send, and a status line that tells what happened last, the module's own
// messages included. Everything the module does goes through the ChatLink,
// as a host drives it: open, send and close on the window's thread, where
// the module's message boxes show over the window; receive on a thread of
// its own (Receiver).
#pragma once

#include "host/core/chat_link.h"
#include "host/core/chat_names.h"
#include "host/core/link_check_session.h"
#include "host/core/system.h"
#include "host/window/arguments.h"
#include "host/window/conversation.h"
#include "host/window/receiver.h"
#include "host/window/settings.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace parlino::host {

class Charset;

class ChatWindow {
  public:
    // The button's texts: ready, and while the check runs.
    static constexpr wchar_t checkLinkText[] = L"&Check link";
    static constexpr wchar_t checkingText[] = L"Checking\u2026";

    // `shownCharset` decodes sent lines for the conversation (the link's own
    // decoder belongs to the receiving thread).
    ChatWindow(ChatLink &link, Charset &shownCharset, const WindowArguments &arguments,
               const RememberedChat &remembered);
    ~ChatWindow();
    ChatWindow(const ChatWindow &) = delete;
    ChatWindow &operator=(const ChatWindow &) = delete;

    // Makes and shows the window; with --port given, the port opens as soon
    // as it shows. False when Windows made no window.
    bool create(HINSTANCE instance, int show);
    HWND handle() const { return window_; }
    // Enter in control `where`: the field's action (open the port, send
    // the line); false when Enter means nothing there.
    bool enterPressed(HWND where);

  private:
    // The window's own messages and timers.
    static constexpr UINT linesArrived = WM_APP + 1;    // the receiver's inbox has lines
    static constexpr UINT openAtStart = WM_APP + 2;     // --port was given
    static constexpr UINT lookUpAddresses = WM_APP + 3; // the window shows: now this PC's addresses
    static constexpr UINT_PTR takeLinesTimer = 1;
    static constexpr UINT_PTR checkTimer = 2;
    // Lines are taken at most this often (ms): a flood then costs the window
    // a few appends a second, and it paints and answers between them.
    static constexpr UINT takeLinesInterval = 40;
    // The link check's probes are due every 250 ms: it is asked this often (ms).
    static constexpr UINT checkInterval = 25;

    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // window_controls.cpp: the controls, their font, places, keyboard and texts.
    void createControls();
    void layout();
    SIZE smallestSize() const;

    std::wstring runModuleAction(const std::function<void()> &action, bool often = false);
    void openPort();
    void closePort();
    void sendLine();
    void takeReceivedLines();
    void takeLinesLater(UINT milliseconds);
    // window_check.cpp: Check link.
    void startCheck();
    void continueCheck();
    void finishCheck();
    // Ends a check that runs (the port closes, the window closes): nothing
    // is judged.
    void abandonCheck();
    void showCheckRunning(bool running);
    void addCheckLines(const std::vector<std::string> &lines);
    void closeWindow();
    // The receive ended, the port closed and the chat remembered.
    void endChat();

    HWND control(int id) const { return ::GetDlgItem(window_, id); }
    std::wstring controlText(int id) const;
    void setControlText(int id, const std::wstring &text);
    void moveKeyboardTo(int id);
    void moveKeyboardAsDialogsDo(WPARAM wParam, LPARAM lParam);
    void setStatus(const std::wstring &text);
    void setStatus(const std::string &utf8);
    void showCaption();
    void showAddresses();
    // The peer in the fields; empty with what is wrong in `problem`, and
    // the field that is wrong in `field`.
    std::optional<PeerAddress> peerInFields(std::string &problem, int *field = nullptr) const;
    void remember();

    ChatLink &link_;
    Charset &shownCharset_;
    WindowArguments arguments_;
    RememberedChat remembered_;
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    std::unique_ptr<Conversation> conversation_;
    std::unique_ptr<Receiver> receiver_;
    // The link check that runs; shared with the receiver, whose thread hands
    // it the probes.
    std::shared_ptr<LinkCheckSession> check_;
    std::optional<std::uint16_t> openPort_;
    std::string moduleAddress_;                 // my-IP's answer
    std::vector<system::LocalIpv4> networks_; // the system's addresses
    bool drainPending_ = false;                 // a timer will take the received lines
    std::size_t linesPerTake_ = 10;             // the next batch: small until the cost of a line is known
    bool busy_ = false;                         // a module action runs on this thread
    bool closeAsked_ = false;                   // WM_CLOSE came while busy
    bool charsetHintGiven_ = false;
    bool probeHintGiven_ = false; // since the last check here
    HWND focusBeforeDeactivation_ = nullptr;
};

} // namespace parlino::host
