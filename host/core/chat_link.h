// The chat through the module's five actions, as every front end drives it
// (the terminal chat, the link check, the window): the actions found by
// name, the port opened with the reason when it is not, a typed line judged
// and sent, a received line decoded and made visible, the port closed.
#pragma once

#include "host/core/chat_names.h"
#include "host/core/plugin_host.h"
#include "host/core/system.h"
#include "host/core/visible_text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace parlino::host {

class Charset;

// The most a UDP datagram over IPv4 carries: 65,535 bytes less the IP and
// UDP headers.
inline constexpr std::size_t largestDatagram = 65507;

struct ChatActions {
    std::int32_t myIp = 0, openPort = 0, sendText = 0, receiveText = 0, closePort = 0;
};

// A typed line as the module would send it.
struct LineToSend {
    std::string wire;                // the bytes the module sends: the line up to its first "|", encoded
    bool cutAtBar = false;           // the typed line holds "|": what follows it is not sent
    bool barInsideCharacter = false; // a character's encoding holds the byte of "|": nothing may be sent
    bool tooLong = false;            // more than one datagram carries
    bool sendable() const { return !barInsideCharacter; }
};

// How `utf8Line` goes out in `charset`: cut at its first "|", encoded, and
// judged.
LineToSend prepareLine(std::string_view utf8Line, Charset &charset);

struct ReceivedLine {
    bool arrived = false;     // false: nothing within the receive's wait (or an empty datagram)
    std::string shown;        // UTF-8, every control and invisible character made visible
    bool undecodable = false; // some bytes were not valid in the chat's character set
};

struct PortOpening {
    bool opened = false;
    std::string status;  // the module's status variable, as it was set
    std::string problem; // why not, in a person's words, when the system can tell
    bool inUse = false;  // another program holds the port
};

class ChatLink {
  public:
    // `charset` is that of the text on the wire, named `charsetName` in what
    // the chat tells a person.
    ChatLink(PluginHost &host, Charset &charset, std::string charsetName);

    // Finds the five actions by their registered names; false with the
    // missing name in `error`.
    bool findActions(std::string &error);
    const ChatActions &actions() const { return actions_; }
    const std::string &charsetName() const { return charsetName_; }
    PluginHost &host() { return host_; }

    // Runs my-IP: this machine's address as the module sees it.
    std::string myAddress();

    // Runs open port. Not opened: the module has shown its message, and
    // `problem` tells what the host found of the port.
    PortOpening open(std::uint16_t port);

    // Where sent lines go, as a dotted address and a port.
    void setPeer(const std::string &address, std::uint16_t port);

    // How `utf8Line` would go out; nothing is sent.
    LineToSend prepare(std::string_view utf8Line) const;
    // Runs send with the prepared bytes; false when the port is closed or the
    // line may not be sent. A failed send shows the module's message and
    // still returns true: the host cannot tell it from the call.
    bool send(const LineToSend &line);
    // Sends exactly these wire bytes (a probe of the link check).
    bool sendWire(const std::string &wire);

    // Runs receive once: it waits up to about a second. One thread receives.
    // Controls are shown in `notation`: a terminal's ^[, or a window's <U+001B>.
    ReceivedLine receive(ControlNotation notation = ControlNotation::caret);
    // Ends a receive that is waiting on `port`, from a socket of the host's own.
    static void wakeReceive(std::uint16_t port);

    // Runs close port, once a send on its way has finished; later sends do
    // nothing. Safe to call more than once.
    void close();

  private:
    PluginHost &host_;
    Charset &charset_;
    std::string charsetName_;
    ChatActions actions_;
    std::string sendPrefix_; // ADDRESS|PORT|
    // Held for each send and by the close, so that the port never closes
    // while a send is on its way.
    system::Mutex sendLock_;
    bool opened_ = false; // under sendLock_
};

} // namespace parlino::host
