#include "host/core/chat_link.h"

#include "host/core/charset.h"
#include "host/core/visible_text.h"

#include <algorithm>
#include <utility>

namespace parlino::host {

ChatLink::ChatLink(PluginHost &host, Charset &charset, std::string charsetName)
    : host_(host), charset_(charset), charsetName_(std::move(charsetName)) {}

bool ChatLink::findActions(std::string &error) {
    const std::pair<std::string_view, std::int32_t *> wanted[] = {
        {myIpAction, &actions_.myIp},
        {openPortAction, &actions_.openPort},
        {sendTextAction, &actions_.sendText},
        {receiveTextAction, &actions_.receiveText},
        {closePortAction, &actions_.closePort},
    };
    for (const auto &[name, number] : wanted) {
        const auto *action = host_.findAction(name);
        if (action == nullptr) {
            error = "the module offers no action " + std::string(name);
            return false;
        }
        *number = action->number;
    }
    return true;
}

std::string ChatLink::myAddress() {
    host_.execute(actions_.myIp, {});
    return host_.variables().get(myIpVariable);
}

PortOpening ChatLink::open(std::uint16_t port) {
    PortOpening opening;
    // Cleared first, so that an earlier status cannot pass for this open's.
    host_.variables().set(openStatusVariable, {});
    {
        system::ScopedLock lock(sendLock_);
        host_.execute(actions_.openPort, std::to_string(port));
        opening.status = host_.variables().get(openStatusVariable);
        opening.opened = opening.status == "Ok";
        opened_ = opening.opened;
    }
    if (!opening.opened)
        opening.problem = system::udpPortProblem(port, opening.inUse);
    return opening;
}

void ChatLink::setPeer(const std::string &address, std::uint16_t port) {
    system::ScopedLock lock(sendLock_);
    sendPrefix_ = address + "|" + std::to_string(port) + "|";
}

LineToSend ChatLink::prepare(std::string_view utf8Line) const { return prepareLine(utf8Line, charset_); }

LineToSend prepareLine(std::string_view utf8Line, Charset &charset) {
    LineToSend line;
    const auto bar = utf8Line.find('|');
    line.cutAtBar = bar != std::string_view::npos;
    line.wire = charset.fromUtf8(utf8Line.substr(0, std::min(bar, utf8Line.size())));
    // The typed "|" is gone: a byte 0x7C left is the second byte of a
    // character (as in Shift JIS), where the module would cut the line.
    line.barInsideCharacter = line.wire.find('|') != std::string::npos;
    line.tooLong = line.wire.size() > largestDatagram;
    return line;
}

bool ChatLink::send(const LineToSend &line) {
    if (!line.sendable())
        return false;
    return sendWire(line.wire);
}

bool ChatLink::sendWire(const std::string &wire) {
    system::ScopedLock lock(sendLock_);
    if (!opened_)
        return false;
    host_.execute(actions_.sendText, sendPrefix_ + wire);
    return true;
}

ReceivedLine ChatLink::receive(ControlNotation notation) {
    ReceivedLine line;
    host_.execute(actions_.receiveText, {});
    const auto text = host_.variables().get(textVariable);
    if (text.empty())
        return line;
    line.arrived = true;
    line.shown = visibleText(charset_.toUtf8(text, line.undecodable), notation);
    return line;
}

void ChatLink::wakeReceive(std::uint16_t port) { system::sendEmptyDatagramToLocalPort(port); }

void ChatLink::close() {
    system::ScopedLock lock(sendLock_);
    host_.execute(actions_.closePort, {});
    opened_ = false;
}

} // namespace parlino::host
