// The chat-action cases that must hold both for the module built from source
// and for the shipped DLL under wine, each written once as a row. The Linux
// suite (tests/chat_actions_test.cpp) and the DLL suite
// (tests/windows/behaviour/chat_actions_test.cpp) run every row through
// runChatCase, each in a world of its own.
//
// Texts may name ports: {peer} is a socket of the test's own on 127.0.0.1,
// {free} and {free2} two ports free when the case began; "+65536" after a
// name adds 65536 ({peer+65536}).
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace parlino::cases {

struct Step {
    enum class Kind {
        exec,            // nbExecAction(action, text); with a bound in milliseconds
        direct,          // the action's own export, called with text
        peerSends,       // the peer sends text to the port in name
        forget,          // what the desktop and the host saw so far is forgotten
        variable,        // the last value set for variable name is text
        variableSets,    // so many variables were set: text
        desktop,         // the desktop saw exactly events
        desktopEndsWith, // the desktop's last events are events
        boxes,           // the message boxes shown are exactly events
        peerGets,        // the peer receives text, from the port in name if any
        peerGetsNothing, // the peer receives nothing within a short wait
        portFree,        // a socket of the test can bind the port in text
        setAfterDesktop, // the last variable set came after every desktop event
        binds,           // seen by the DLL suite only: the DLL's binds, address:port
        selects,         // seen by the DLL suite only: the DLL's selects
    };
    Kind kind;
    int action = 0;
    std::string text{}, name{};
    std::vector<std::string> events{};
    // exec: how long the action may take; withinMs -1: without the receive's wait
    int atLeastMs = 0, withinMs = 0;
};

// Desktop events and variable values as both worlds write them.
inline const std::string waitCursorLoaded = "wait cursor loaded", waitCursorSet = "wait cursor set",
                         cursorShown = "cursor shown", cursorRestored = "cursor restored",
                         nullValue = "(null)";
inline std::string pause(std::uint32_t ms) { return "pause " + std::to_string(ms); }
inline std::string box(const std::string &caption, const std::string &text, std::uint32_t style) {
    return "box " + std::to_string(style) + " [" + caption + "] " + text;
}

struct ChatCase {
    std::string name;
    std::vector<Step> steps;
};

// What a suite offers the rows: the module, a peer socket of its own, and
// what the host and the desktop saw since the case began or last forgot.
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
    virtual std::uint16_t freePort() = 0;
    virtual void peerSend(const std::string &text, std::uint16_t port) = 0;
    virtual std::optional<Datagram> peerReceive(bool expectOne) = 0;
    virtual bool canBind(std::uint16_t port) = 0;
    // Values in order, nullValue for a null pointer; and the desktop events
    // that came before each.
    virtual std::vector<std::pair<std::string, std::string>> variables() = 0;
    virtual std::size_t desktopEventsAtLastSet() = 0;
    virtual std::vector<std::string> desktop() = 0;
    virtual void forget() = 0;
    virtual std::optional<std::vector<std::string>> binds() { return std::nullopt; }
    virtual std::optional<std::vector<std::string>> selects() { return std::nullopt; }
};

const std::vector<ChatCase> &chatCases();
std::string chatCaseName(const ChatCase &chatCase, std::size_t index); // for GoogleTest
void runChatCase(const ChatCase &chatCase, ChatWorld &world);

} // namespace parlino::cases

// The parameterised test that runs every row in a new World of the suite.
#define PARLINO_RUN_CHAT_CASES(World)                                                              \
    class SharedChatCase : public ::testing::TestWithParam<::parlino::cases::ChatCase> {};         \
    TEST_P(SharedChatCase, Holds) {                                                                \
        World world;                                                                               \
        ::parlino::cases::runChatCase(GetParam(), world);                                          \
    }                                                                                              \
    INSTANTIATE_TEST_SUITE_P(Rows, SharedChatCase, ::testing::ValuesIn(::parlino::cases::chatCases()), \
                             [](const auto &row) { return ::parlino::cases::chatCaseName(row.param, row.index); })
