// The five actions as a host runs them: nbExecAction, a recording host and a
// recording desktop, with a peer endpoint on 127.0.0.1.
#include "fakes/recording_desktop.h"
#include "fakes/recording_host.h"
#include "parlino.h"
#include "support/loopback_peer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace parlino {
namespace {

using testing::DesktopEvent;
using testing::LoopbackPeer;
using ::testing::ElementsAre;
using Kind = DesktopEvent::Kind;

constexpr int myIp = 1, openPort = 2, sendText = 3, receiveText = 4, closePort = 5;

void run(int32_t action, const std::string &parameter) {
    const char *text = parameter.c_str();
    ASSERT_EQ(nbExecAction(action, &text), 1);
}

DesktopEvent messageBox(std::string text, std::uint32_t style) {
    return {Kind::messageBox, "Parlino 1.0.0", std::move(text), style};
}

// How many desktop events had happened when the last variable was set.
std::size_t eventsWhenStatusSet = 0;
int32_t PARLINO_CALL noteDesktopEventsAtStatus(const char *, const char *) {
    eventsWhenStatusSet = testing::recordingDesktop().events.size();
    return 0;
}

class ChatActionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::recordingHost().registerModule();
        run(closePort, "");
        testing::recordingHost().clear();
        testing::recordingDesktop().reset();
    }
    void TearDown() override { run(closePort, ""); }

    static std::optional<std::string> variable(const std::string &name) {
        return testing::recordingHost().lastValue(name);
    }
    static std::string sendParameter(std::uint16_t port, std::string_view text) {
        return "127.0.0.1|" + std::to_string(port) + "|" + std::string(text);
    }
    static std::string received(const LoopbackPeer &peer) {
        ReceivedDatagram datagram;
        EXPECT_EQ(peer.receive(datagram), 0);
        return datagram.text;
    }
};

TEST_F(ChatActionsTest, OpenShowsTheWaitCursorInPairsAndReportsOk) {
    const auto port = testing::freeUdpPort();
    run(openPort, std::to_string(port));
    EXPECT_EQ(variable("qv_chat_open_port_status"), "Ok");
    const auto waitCursor = testing::fakeWaitCursor();
    EXPECT_THAT(testing::recordingDesktop().events,
                ElementsAre(DesktopEvent{Kind::loadWaitCursor, {}, {}, 0},
                            DesktopEvent{Kind::setCursor, {}, {}, 0, waitCursor},
                            DesktopEvent{Kind::showCursor, {}, {}, 1},
                            DesktopEvent{Kind::setCursor, {}, {}, 0, nullptr}));

    const LoopbackPeer peer;
    ASSERT_EQ(peer.send("hello", port), 0);
    run(receiveText, "");
    EXPECT_EQ(variable("qv_chat_text"), "hello");
}

class OpenParameterTest : public ChatActionsTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(OpenParameterTest, OpensAndReportsOk) {
    run(openPort, GetParam());
    EXPECT_EQ(variable("qv_chat_open_port_status"), "Ok");
    EXPECT_TRUE(testing::recordingDesktop().messageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Parameters, OpenParameterTest,
                         ::testing::Values("", "0", "0|x", "-1", " 0 ", "abc"));

TEST_F(ChatActionsTest, APortInUseShowsAWarningThenSetsError) {
    const LoopbackPeer holder;
    nbRegisterPlugIn(nullptr, 0, 0, noteDesktopEventsAtStatus);
    run(openPort, std::to_string(holder.port()) + "|ignored");
    testing::recordingHost().registerModule();
    const auto expected = messageBox(
        "Choose another local port,\r\nDevice I/O error on " + std::to_string(holder.port()), 0x30);
    const auto &events = testing::recordingDesktop().events;
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[events.size() - 2], (DesktopEvent{Kind::pause, {}, {}, 5}));
    EXPECT_EQ(events.back(), expected);
    EXPECT_EQ(eventsWhenStatusSet, events.size());

    testing::recordingDesktop().reset();
    run(sendText, sendParameter(holder.port(), "hello"));
    EXPECT_THAT(testing::recordingDesktop().messageBoxes(),
                ElementsAre(messageBox("Bad file name or number\r\nError: 52.", 0)));
}

TEST_F(ChatActionsTest, AFailedOpenWritesThePortAsRead) {
    const LoopbackPeer holder;
    run(openPort, std::to_string(65536 + holder.port()));
    EXPECT_EQ(variable("qv_chat_open_port_status"), "Error");
    EXPECT_THAT(testing::recordingDesktop().messageBoxes(),
                ElementsAre(messageBox("Choose another local port,\r\nDevice I/O error on " +
                                           std::to_string(65536 + holder.port()),
                                       0x30)));
}

TEST_F(ChatActionsTest, OpeningAgainReleasesTheFirstPort) {
    const auto first = testing::freeUdpPort();
    run(openPort, std::to_string(first));
    run(openPort, "0");
    EXPECT_EQ(variable("qv_chat_open_port_status"), "Ok");
    const LoopbackPeer reuse(chatTimeout, first); // binds only if the first port was released
    EXPECT_EQ(reuse.port(), first);
}

TEST_F(ChatActionsTest, SendsTheLineAsOneDatagramFromTheChatPort) {
    const auto chatPort = testing::freeUdpPort();
    run(openPort, std::to_string(chatPort));
    const LoopbackPeer peer;
    run(sendText, sendParameter(peer.port(), " hello"));
    ReceivedDatagram datagram;
    ASSERT_EQ(peer.receive(datagram), 0);
    EXPECT_EQ(datagram.text, " hello");
    EXPECT_EQ(datagram.senderPort, chatPort);
    EXPECT_TRUE(testing::recordingDesktop().messageBoxes().empty());
}

struct LineCase {
    std::string parameterTail; // after "127.0.0.1|port"
    std::string sent;
};

class SendLineTest : public ChatActionsTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(SendLineTest, SendsTheTextOrTheTimeForABlankLine) {
    run(openPort, "0");
    const LoopbackPeer peer;
    testing::recordingDesktop().timeOfDay = {7, 5, 3};
    run(sendText, "127.0.0.1|" + std::to_string(peer.port()) + GetParam().parameterTail);
    EXPECT_EQ(received(peer), GetParam().sent);
}

INSTANTIATE_TEST_SUITE_P(Lines, SendLineTest,
                         ::testing::Values(LineCase{"|hello", "hello"}, LineCase{"|", "07:05:03"},
                                           LineCase{"|   ", "07:05:03"}, LineCase{"", "07:05:03"},
                                           LineCase{"|\t", "\t"}, LineCase{"| a ", " a "},
                                           LineCase{"|a|b", "a"}, LineCase{"|\"q\"", "\"q\""}));

// The action's private copy of its parameter is made one way when short and
// another when long: every length must reach the wire byte for byte.
TEST_F(ChatActionsTest, ParametersOfEveryLengthReachTheWireWhole) {
    run(openPort, "0");
    const LoopbackPeer peer;
    const std::size_t prefix = sendParameter(peer.port(), "").size();
    for (const std::size_t parameterLength : {prefix + 1, std::size_t{254}, std::size_t{255},
                                              std::size_t{256}, std::size_t{257}, prefix + 65507}) {
        std::string line(parameterLength - prefix, 'x');
        line.front() = 'a';
        line.back() = 'z';
        run(sendText, sendParameter(peer.port(), line));
        EXPECT_EQ(received(peer), line) << parameterLength;
    }
    EXPECT_TRUE(testing::recordingDesktop().messageBoxes().empty());
}

TEST_F(ChatActionsTest, SendWithoutAnOpenPortShowsError52) {
    run(sendText, "127.0.0.1|9|hello");
    run(openPort, "0");
    run(closePort, "");
    run(sendText, "127.0.0.1|9|hello");
    const auto expected = messageBox("Bad file name or number\r\nError: 52.", 0);
    EXPECT_THAT(testing::recordingDesktop().messageBoxes(), ElementsAre(expected, expected));
}

TEST_F(ChatActionsTest, SendToAnUnreadableAddressShowsError57) {
    run(openPort, "0");
    testing::recordingDesktop().reset();
    run(sendText, "localhost|9|hello");
    EXPECT_THAT(testing::recordingDesktop().events,
                ElementsAre(DesktopEvent{Kind::pause, {}, {}, 5},
                            messageBox("Device I/O error\r\nError: 57.", 0)));
}

TEST_F(ChatActionsTest, ReceiveGivesTheEmptyTextOnTimeOutAndAtOnceWithoutAPort) {
    run(openPort, "0");
    auto start = std::chrono::steady_clock::now();
    run(receiveText, "");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(variable("qv_chat_text"), "");

    run(closePort, "");
    start = std::chrono::steady_clock::now();
    run(receiveText, "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    EXPECT_EQ(testing::recordingHost().variableSets().size(), 3u); // Ok, then two texts
    EXPECT_EQ(variable("qv_chat_text"), "");
}

TEST_F(ChatActionsTest, AReceivedZeroByteEndsTheTextTheHostSees) {
    const auto chatPort = testing::freeUdpPort();
    run(openPort, std::to_string(chatPort));
    const LoopbackPeer peer;
    ASSERT_EQ(peer.send(std::string("ab\0cd", 5), chatPort), 0);
    run(receiveText, "");
    EXPECT_EQ(variable("qv_chat_text"), "ab");
}

TEST_F(ChatActionsTest, CloseWithNothingOpenHasNoVisibleEffect) {
    run(closePort, "");
    run(closePort, "");
    EXPECT_TRUE(testing::recordingHost().variableSets().empty());
    EXPECT_TRUE(testing::recordingDesktop().events.empty());
}

TEST_F(ChatActionsTest, MyIpWritesADottedAddress) {
    run(myIp, "ignored");
    const auto address = variable("qv_chat_my_ip");
    ASSERT_TRUE(address.has_value());
    EXPECT_EQ(addressToText(textToAddress(*address)), *address);
    EXPECT_TRUE(testing::recordingDesktop().events.empty());
}

} // namespace
} // namespace parlino
