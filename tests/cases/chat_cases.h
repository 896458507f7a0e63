// The chat-action cases that must hold for the module built from source on
// Linux and for the shipped DLL under wine, each written once as a row: the
// Linux suite (tests/chat_cases_test.cpp) and the DLL suite
// (tests/windows/behaviour/chat_cases_test.cpp) run every row through
// runChatCase with a world of their own.
//
// Texts may name ports, replaced before use: {peer} is the port of a socket
// of the test's own on 127.0.0.1, {peer+65536} the same plus 65536, {free}
// and {free2} two ports that were free when the case began.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace parlino::cases {

inline constexpr int myIp = 1, openPort = 2, sendText = 3, receiveText = 4, closePort = 5;

struct Step {
    enum class Kind {
        exec,            // nbExecAction(action, text)
        direct,          // the action's own export, called with text
        peerSends,       // the peer sends text to the port in name
        forget,          // what the desktop and the host saw so far is forgotten
        variable,        // the last value set for variable name is text
        noVariables,     // no variable was set
        desktop,         // the desktop saw exactly events (see desktopEvent)
        desktopEndsWith, // the desktop's last events are events
        boxes,           // the message boxes shown are exactly events
        peerGets,        // the peer receives text, sent from the port in name if any
        peerGetsNothing, // the peer receives nothing within a short wait
        portFree,        // a socket of the test can bind the port in text
        setAfterDesktop, // the last variable set came after every desktop event
        binds,           // DLL suite only: the ports the DLL asked to bind, in events
        selects,         // DLL suite only: the selects the DLL made, in events
    };
    Kind kind;
    int action = 0;
    std::string text{}, name{};
    std::vector<std::string> events{};
};

// Desktop events as both suites write them.
inline const std::string waitCursorLoaded = "wait cursor loaded", waitCursorSet = "wait cursor set",
                         cursorShown = "cursor shown", cursorRestored = "cursor restored",
                         pauseBeforeBox = "pause 5";
inline std::string box(const std::string &text, unsigned style) {
    return "box " + std::to_string(style) + " [Parlino 1.0.0] " + text;
}

struct ChatCase {
    std::string name;
    std::vector<Step> steps;
};

// What a suite offers the rows: the module under test, a peer socket of its
// own, and what the host and the desktop saw since the case began or forgot.
class ChatWorld {
  public:
    struct Datagram {
        std::string text;
        std::uint16_t senderPort;
    };
    virtual ~ChatWorld() = default;
    virtual void exec(int action, const std::string &text) = 0;
    virtual void direct(int action, const std::string &text) = 0;
    virtual std::uint16_t peerPort() = 0;
    virtual std::uint16_t freePort() = 0; // a port free a moment ago
    virtual void peerSend(const std::string &text, std::uint16_t port) = 0;
    virtual std::optional<Datagram> peerReceive(bool expectOne) = 0;
    virtual bool canBind(std::uint16_t port) = 0;
    virtual std::optional<std::string> variable(const std::string &name) = 0;
    virtual std::size_t variableSets() = 0;
    virtual std::size_t desktopEventsAtLastSet() = 0;
    virtual std::vector<std::string> desktop() = 0; // as the constants above write them
    virtual void forget() = 0;
    // What only the DLL suite sees (it records the DLL's system calls); nullopt
    // where the suite cannot see it.
    virtual std::optional<std::vector<std::string>> binds() { return std::nullopt; }
    virtual std::optional<std::vector<std::string>> selects() { return std::nullopt; }
};

// Runs the steps of one row in `world`, with GoogleTest's checks.
void runChatCase(const ChatCase &chatCase, ChatWorld &world);

// The rows, and the parameterised test's name of a row.
const std::vector<ChatCase> &chatCases();
std::string chatCaseName(const ChatCase &chatCase, std::size_t index);

} // namespace parlino::cases
