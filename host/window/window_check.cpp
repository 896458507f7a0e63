// Check link: the link check of the open port with the peer in the fields,
// as parlino check runs it. The window's thread sends the probes, from a
// timer, so that it keeps answering between them; the receiving thread hands
// the check its probes, which the conversation does not show. What the
// check notes, what it saw and its verdict go to the conversation as the
// check's lines, the verdict last and in the status line too.
#include "host/window/chat_window.h"

#include "host/core/visible_text.h"
#include "host/core/win32/wide_text.h"
#include "host/window/controls.h"

#include <algorithm>

namespace parlino::host {
namespace {

namespace control = window_control;
using system::wideFromUtf8;

// After the check has judged, the peer's check may send a few more probes
// (it began hearing ours a moment later): for so long they are still the
// check's, not lines of the conversation.
constexpr auto lateProbes = std::chrono::seconds(2);

std::string peerText(const PeerAddress &peer) { return peer.address + ":" + std::to_string(peer.port); }

} // namespace

void ChatWindow::startCheck() {
    if (check_)
        return;
    if (!openPort_) {
        setStatus(L"No check: open a local port first (Open, or Alt+O); the check runs on it.");
        moveKeyboardTo(control::port);
        return;
    }
    std::string problem;
    int field = 0;
    const auto peer = peerInFields(problem, &field);
    if (!peer) {
        setStatus(L"No check: " + wideFromUtf8(problem));
        moveKeyboardTo(field);
        return;
    }
    link_.setPeer(peer->address, peer->port);
    check_ = std::make_shared<LinkCheckSession>(
        link_, LinkCheckSession::Options{*peer, *openPort_, moduleAddress_, arguments_.checkSeconds,
                                         arguments_.checkWait});
    if (::SetTimer(window_, checkTimer, checkInterval, nullptr) == 0) {
        check_.reset();
        setStatus(L"No check: Windows gave the window no timer for it.");
        return;
    }
    receiver_->divertProbesTo(check_);
    showCheckRunning(true);
    probeHintGiven_ = false;
    // What came before the check shows before its lines.
    takeReceivedLines();

    const auto &settings = check_->settings();
    const auto self = endpointText(settings.self);
    const auto waitSeconds = std::chrono::duration_cast<std::chrono::seconds>(
        std::max({settings.wait, settings.exchange, LinkCheck::shortestWait}));
    addCheckLines({"checking the link with " + peerText(*peer) + ": waiting up to " +
                       std::to_string(waitSeconds.count()) + " s for the check there; once it answers, probes cross "
                       "for " + std::to_string(arguments_.checkSeconds.count()) + " s",
                   "there: Check link with the peer " + self + ", or parlino check --port " +
                       std::to_string(peer->port) + " --peer " + self});
    setStatus(L"Checking the link with " + wideFromUtf8(peerText(*peer)) +
              L": press Check link on the other side too. Lines may still be sent.");
    continueCheck();
}

void ChatWindow::continueCheck() {
    if (busy_ || !check_)
        return;
    // Kept while the module's box of a failed send may show: whatever the
    // window does meanwhile, the check lives until the probe is sent.
    const auto check = check_;
    std::vector<std::string> notes;
    const auto boxes = runModuleAction([&] { notes = check->tick(); }, true);
    addCheckLines(notes);
    if (!boxes.empty())
        setStatus(boxes);
    if (closeAsked_) {
        closeWindow();
        return;
    }
    if (check_ == check && check->finished())
        finishCheck();
}

void ChatWindow::finishCheck() {
    ::KillTimer(window_, checkTimer);
    const auto report = check_->report();
    receiver_->divertProbesTo(check_, CheckClock::now() + lateProbes);
    check_.reset();
    showCheckRunning(false);
    auto lines = report.seen;
    lines.push_back(report.verdictText);
    addCheckLines(lines);
    setStatus(L"Link check: " + wideFromUtf8(visibleText(report.verdictText, ControlNotation::codePoint)));
}

void ChatWindow::abandonCheck() {
    if (!check_)
        return;
    ::KillTimer(window_, checkTimer);
    receiver_->divertProbesTo(nullptr);
    check_.reset();
    showCheckRunning(false);
    addCheckLines({"the check ended before it could judge the link: the port closed"});
}

void ChatWindow::showCheckRunning(bool running) {
    const HWND button = control(control::checkLink);
    // The keyboard leaves the button before it is disabled (Windows would
    // leave it on the disabled button, and every key would be lost): it
    // goes where lines are typed, which they may still be. A control has
    // the keyboard only inside the thread's active window, so this one is
    // active and moveKeyboardTo moves it at once.
    if (running && ::GetFocus() == button)
        moveKeyboardTo(control::line);
    ::SetWindowTextW(button, running ? checkingText : checkLinkText);
    ::EnableWindow(button, running ? FALSE : TRUE);
    // The probes go to the peer the check began with.
    for (const int field : {control::peerAddress, control::peerPort})
        ::SendMessageW(control(field), EM_SETREADONLY, running ? TRUE : FALSE, 0);
}

void ChatWindow::addCheckLines(const std::vector<std::string> &lines) {
    if (lines.empty())
        return;
    const auto time = system::timeOfDayText();
    std::deque<std::wstring> entries;
    // The check's texts hold what the network said (addresses, a system's
    // name): shown as every line from there is.
    for (const auto &line : lines)
        entries.push_back(conversationEntry(time, Speaker::check, visibleText(line, ControlNotation::codePoint)));
    conversation_->append(entries);
}

} // namespace parlino::host
