// The five actions as a host runs them: nbExecAction, a recording host and a
// recording desktop, with a peer endpoint on 127.0.0.1. The cases shared with
// the shipped DLL's suite are the rows of cases/chat_cases.h; the rest are
// this build's own.
#include "cases/chat_cases.h"
#include "fakes/recording_desktop.h"
#include "fakes/recording_host.h"
#include "parlino.h"
#include "support/loopback_peer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace parlino {
namespace {

using testing::DesktopEvent;
using testing::LoopbackPeer;
using Kind = DesktopEvent::Kind;

constexpr int myIp = 1, openPort = 2, sendText = 3, closePort = 5;

void run(int32_t action, const std::string &parameter) {
    const char *text = parameter.c_str();
    ASSERT_EQ(nbExecAction(action, &text), 1);
}

// The module built from source with the recording desktop, a host callback
// that notes how many desktop events came before each set, and a peer
// endpoint of the module's own endpoint layer.
class SourceWorld : public cases::ChatWorld {
  public:
    SourceWorld() {
        nbRegisterPlugIn(nullptr, 0, 0, noteSet);
        run(closePort, "");
        forget();
    }
    ~SourceWorld() override {
        EXPECT_EQ(testing::recordingDesktop().currentCursor, nullptr); // every case ends with the cursor back
        run(closePort, "");
        testing::recordingHost().registerModule();
    }

    void exec(int action, const std::string &text) override { run(action, text); }
    void direct(int action, const std::string &text) override {
        static constexpr decltype(&QV_CHAT_MY_IP) exports[] = {
            QV_CHAT_MY_IP, QV_CHAT_OPEN_PORT, QV_CHAT_SEND_TXT, QV_CHAT_RCV_TXT, QV_CHAT_CLOSE_PORT};
        EXPECT_EQ(exports[action - 1](text.c_str()), 0);
    }
    std::uint16_t peerPort() override { return peer_.port(); }
    std::uint16_t freePort() override { return testing::freeUdpPort(); }
    void peerSend(const std::string &text, std::uint16_t port) override { ASSERT_EQ(peer_.send(text, port), 0); }
    std::optional<Datagram> peerReceive(bool) override {
        ReceivedDatagram datagram;
        if (peer_.receive(datagram) != 0)
            return std::nullopt;
        return Datagram{datagram.text, datagram.senderPort};
    }
    bool canBind(std::uint16_t port) override { return LoopbackPeer(chatTimeoutCode, port).port() == port; }
    std::vector<std::pair<std::string, std::string>> variables() override { return sets_; }
    std::size_t desktopEventsAtLastSet() override { return eventsAtLastSet_; }
    std::vector<std::string> desktop() override {
        std::vector<std::string> events;
        for (const auto &event : testing::recordingDesktop().events)
            events.push_back(describe(event));
        return events;
    }
    void forget() override {
        sets_.clear();
        testing::recordingDesktop().reset();
        testing::recordingDesktop().timeOfDay = {7, 5, 3};
    }

  private:
    static inline std::vector<std::pair<std::string, std::string>> sets_;
    static inline std::size_t eventsAtLastSet_ = 0;
    static int32_t PARLINO_CALL noteSet(const char *name, const char *value) {
        sets_.emplace_back(name != nullptr ? name : cases::nullValue, value != nullptr ? value : cases::nullValue);
        eventsAtLastSet_ = testing::recordingDesktop().events.size();
        return 0;
    }
    static std::string describe(const DesktopEvent &event) {
        switch (event.kind) {
        case Kind::loadWaitCursor:
            return cases::waitCursorLoaded;
        case Kind::setCursor:
            return event.cursor == testing::fakeWaitCursor() ? cases::waitCursorSet
                   : event.cursor == nullptr                 ? cases::cursorRestored
                                                             : "other cursor set";
        case Kind::showCursor:
            return event.value == 1 ? cases::cursorShown : "cursor hidden";
        case Kind::pause:
            return cases::pause(event.value);
        case Kind::messageBox:
            return cases::box(event.caption, event.text, event.value);
        }
        return "unknown";
    }

    LoopbackPeer peer_;
};

PARLINO_RUN_CHAT_CASES(SourceWorld);

// The action's private copy of its parameter is made one way when short and
// another when long: every length must reach the wire byte for byte.
TEST(ChatActions, ParametersOfEveryLengthReachTheWireWhole) {
    SourceWorld world;
    world.exec(openPort, "0");
    const std::string prefix = "127.0.0.1|" + std::to_string(world.peerPort()) + "|";
    for (const std::size_t parameterLength : {prefix.size() + 1, std::size_t{254}, std::size_t{255},
                                              std::size_t{256}, std::size_t{257}, prefix.size() + 65507}) {
        std::string line(parameterLength - prefix.size(), 'x');
        line.front() = 'a';
        line.back() = 'z';
        world.exec(sendText, prefix + line);
        const auto datagram = world.peerReceive(true);
        EXPECT_EQ(datagram.value_or(cases::ChatWorld::Datagram{}).text, line) << parameterLength;
    }
    EXPECT_EQ(testing::recordingDesktop().messageBoxes().size(), 0u);
}

TEST(ChatActions, MyIpWritesADottedAddress) {
    SourceWorld world;
    world.exec(myIp, "ignored");
    const auto sets = world.variables();
    ASSERT_EQ(sets.size(), 1u);
    const auto &[name, address] = sets[0];
    EXPECT_EQ(name, "qv_chat_my_ip");
    EXPECT_EQ(addressToText(textToAddress(address)), address);
    EXPECT_EQ(world.desktop().size(), 0u);
}

} // namespace
} // namespace parlino
