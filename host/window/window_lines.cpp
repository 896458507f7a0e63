// The chat window's lines: the typed one judged and sent, the received ones
// taken from the receiver in batches the window can afford.
#include "host/window/chat_window.h"

#include "host/core/charset.h"
#include "host/core/visible_text.h"
#include "host/core/win32/wide_text.h"
#include "host/window/controls.h"

#include <algorithm>

namespace parlino::host {
namespace {

namespace control = window_control;
using system::utf8FromWide;
using system::wideFromUtf8;

// The time (ms) taking one batch of lines should cost, during which the
// window answers nothing else.
constexpr double takeLinesBudget = 50;

double milliseconds() {
    LARGE_INTEGER frequency, count;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&count);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// 65508 as 65,508.
std::wstring withThousands(std::size_t number) {
    auto digits = std::to_wstring(number);
    for (auto at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, L",");
    return digits;
}

} // namespace

void ChatWindow::sendLine() {
    const auto typed = utf8FromWide(controlText(control::line));
    if (typed.empty())
        return;
    if (!openPort_) {
        setStatus(L"Nothing was sent: open a local port first (Open, or Alt+O).");
        return;
    }
    std::string problem;
    int field = 0;
    const auto peer = peerInFields(problem, &field);
    if (!peer) {
        setStatus(L"Nothing was sent: " + wideFromUtf8(problem));
        moveKeyboardTo(field);
        return;
    }
    link_.setPeer(peer->address, peer->port);
    const auto line = link_.prepare(typed);
    const auto charset = wideFromUtf8(link_.charsetName());
    if (line.barInsideCharacter) {
        setStatus(L"That line was not sent: in " + charset +
                  L" one of its characters holds the byte of \"|\", where the module would cut the line.");
        return;
    }
    if (line.wire.empty()) {
        setStatus(L"Nothing was sent: the line starts with \"|\", where a chat line ends.");
        return;
    }
    if (line.tooLong) {
        setStatus(L"That line was not sent: it is " + withThousands(line.wire.size()) + L" bytes in " + charset +
                  L", more than one datagram carries (65,507 bytes). Send it as shorter lines.");
        return;
    }
    const auto boxes = runModuleAction([&] { link_.send(line); });
    if (!boxes.empty()) {
        // The module's own message says what failed; the line stays typed.
        setStatus(boxes);
    } else {
        const auto shown = visibleText(shownCharset_.toUtf8(line.wire), ControlNotation::codePoint);
        conversation_->append({conversationEntry(system::timeOfDayText(), Speaker::me, shown)});
        setControlText(control::line, L"");
        setStatus(line.cutAtBar
                      ? std::wstring(L"Only the text before \"|\" was sent: a chat line ends at \"|\".")
                      : L"Sent to " + wideFromUtf8(peer->address) + L":" + std::to_wstring(peer->port) + L".");
    }
    if (closeAsked_)
        closeWindow();
}

void ChatWindow::takeReceivedLines() {
    const double started = milliseconds();
    auto received = receiver_->take(linesPerTake_);
    const std::size_t taken = received.entries.size();
    if (received.dropped > 0)
        received.entries.push_front(leftOutEntry(system::timeOfDayText(), received.dropped));
    conversation_->append(received.entries);
    const double took = milliseconds() - started;
    // The next batch is as many lines as fit the time this one took per
    // line into the budget: the edit control's cost per line differs a
    // hundredfold between machines. More lines wait: the window takes them
    // after a pause twice as long as this took, so that it spends at most a
    // third of its time on them.
    if (taken > 0)
        linesPerTake_ = std::clamp<std::size_t>(static_cast<std::size_t>(takeLinesBudget * taken / (took + 1)), 1,
                                                Conversation::mostLinesAtOnce);
    if (received.more)
        takeLinesLater(std::clamp<UINT>(static_cast<UINT>(2 * took), takeLinesInterval, 1000));
    if (received.undecodable && !charsetHintGiven_) {
        charsetHintGiven_ = true;
        const auto &name = link_.charsetName();
        setStatus("A line held bytes that are not valid " + name +
                  " (shown as \\xE9 and the like): the other side may use another character set. Start "
                  "ParlinoChat.exe with --charset " +
                  (name == "UTF-8" ? "cp1252" : "UTF-8") + " to read it so.");
    }
    // The other side checks the link, and its probes show as lines: the
    // window says what to do with them, once until it checks the link itself.
    if (received.probe && !check_ && !probeHintGiven_) {
        probeHintGiven_ = true;
        setStatus(L"The other side is checking the link: press Check link (Alt+C) to answer it.");
    }
    if (receiver_->failed())
        setStatus(L"The window can receive no more lines (out of memory): close it and start it "
                  L"again.");
}

void ChatWindow::takeLinesLater(UINT milliseconds) {
    if (drainPending_)
        return;
    drainPending_ = ::SetTimer(window_, takeLinesTimer, milliseconds, nullptr) != 0;
    if (!drainPending_)
        takeReceivedLines();
}

} // namespace parlino::host
