#include "chat/test_seam.h"
#include "chat/error_texts.h"
#include "support/loopback_peer.h"
#include "support/time_bounds.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace parlino {
namespace {

using testing::LoopbackPeer;
using testing::loopback;

TEST(EndpointReceive, TimesOutAfterAboutASecondAndStaysUsable) {
    const LoopbackPeer receiver, sender;
    ReceivedDatagram datagram;
    datagram.text = "stale";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(receiver.receive(datagram), deviceTimeout);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(1000));
    EXPECT_LT(waited, testing::workBound(std::chrono::seconds(10)));
    EXPECT_EQ(datagram.text, "");

    EXPECT_EQ(sender.send("after", receiver.port()), noError);
    EXPECT_EQ(receiver.receive(datagram), noError);
    EXPECT_EQ(datagram.text, "after");
}

TEST(EndpointReceive, ATimeOutOfZeroOnlyPolls) {
    const LoopbackPeer receiver(0);
    ReceivedDatagram datagram;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(receiver.receive(datagram), deviceTimeout);
    EXPECT_LT(std::chrono::steady_clock::now() - start, testing::noWaitBound());
}

class EndpointPayloadTest : public ::testing::TestWithParam<std::string> {};

TEST_P(EndpointPayloadTest, ArrivesByteForByteFromTheSendersPort) {
    const LoopbackPeer receiver, sender;
    ASSERT_EQ(sender.send(GetParam(), receiver.port()), noError);
    ReceivedDatagram datagram;
    ASSERT_EQ(receiver.receive(datagram), noError);
    EXPECT_EQ(datagram.text.size(), GetParam().size());
    EXPECT_TRUE(datagram.text == GetParam());
    EXPECT_EQ(datagram.sender, loopback);
    EXPECT_EQ(datagram.senderPort, sender.port());
}

INSTANTIATE_TEST_SUITE_P(Payloads, EndpointPayloadTest,
                         ::testing::Values(std::string("hello"), std::string(), std::string("a\0b", 3),
                                           std::string(" \t|\r\n\xff"),
                                           std::string(65507, 'x')));

TEST(EndpointReceive, TakesQueuedDatagramsOneAtATimeInOrder) {
    const LoopbackPeer receiver, sender;
    ASSERT_EQ(sender.send("first", receiver.port()), noError);
    ASSERT_EQ(sender.send("second", receiver.port()), noError);
    ReceivedDatagram datagram;
    ASSERT_EQ(receiver.receive(datagram), noError);
    EXPECT_EQ(datagram.text, "first");
    ASSERT_EQ(receiver.receive(datagram), noError);
    EXPECT_EQ(datagram.text, "second");
}

// Nothing is queued when the receive starts: it waits, then takes the datagram.
TEST(EndpointReceive, TakesADatagramThatArrivesDuringTheWait) {
    const LoopbackPeer receiver, sender;
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(sender.send("late", receiver.port()), noError);
    });
    ReceivedDatagram datagram;
    EXPECT_EQ(receiver.receive(datagram), noError);
    later.join();
    EXPECT_EQ(datagram.text, "late");
    EXPECT_EQ(datagram.senderPort, sender.port());
}

TEST(EndpointOpen, APortInUseFailsAndLeavesTheNumberFree) {
    const LoopbackPeer holder;
    const EndpointNumber number = nextFreeEndpointNumber();
    EXPECT_EQ(openEndpoint(number, holder.port(), chatTimeoutCode), deviceIoError);
    EXPECT_EQ(endpointSocket(number), platform::invalidSocket);
    EXPECT_EQ(openEndpoint(number, 0, chatTimeoutCode), noError);
    EXPECT_EQ(closeEndpoint(number), noError);
}

TEST(EndpointOpen, ANumberInUseFailsAndTheOpenEndpointStillWorks) {
    const LoopbackPeer receiver, sender;
    EXPECT_EQ(openEndpoint(receiver.number(), 0, chatTimeoutCode), fileIsOpen);
    ASSERT_EQ(sender.send("still here", receiver.port()), noError);
    ReceivedDatagram datagram;
    ASSERT_EQ(receiver.receive(datagram), noError);
    EXPECT_EQ(datagram.text, "still here");
}

TEST(EndpointOpen, NegativeNumbersAreRefused) {
    EXPECT_EQ(openEndpoint(-1, 0, chatTimeoutCode), badFileNameOrNumber);
    EXPECT_EQ(openEndpoint(-32768, 0, chatTimeoutCode), badFileNameOrNumber);
}

TEST(EndpointOpen, PortsAreTakenModulo65536) {
    const auto port = testing::freeUdpPort();
    const LoopbackPeer receiver(chatTimeoutCode, 65536 + port), sender;
    EXPECT_EQ(receiver.port(), port);
    ASSERT_EQ(sender.send("wrapped", 3 * 65536 + port), noError);
    ReceivedDatagram datagram;
    ASSERT_EQ(receiver.receive(datagram), noError);
    EXPECT_EQ(datagram.text, "wrapped");
}

TEST(EndpointOpen, PortMinusOneMakesAnUnboundEndpoint) {
    const EndpointNumber number = nextFreeEndpointNumber();
    EXPECT_EQ(openEndpoint(number, unboundPort, chatTimeoutCode), noError);
    EXPECT_NE(endpointSocket(number), platform::invalidSocket);
    EXPECT_EQ(closeEndpoint(number), noError);
}

TEST(EndpointUse, ClosedAndUnknownNumbersGive52AndSendNothing) {
    const LoopbackPeer receiver(0);
    const EndpointNumber closed = nextFreeEndpointNumber();
    ASSERT_EQ(openEndpoint(closed, 0, chatTimeoutCode), noError);
    ASSERT_EQ(closeEndpoint(closed), noError);
    ReceivedDatagram datagram;
    for (EndpointNumber number : {EndpointNumber{0}, closed, EndpointNumber{-5}}) {
        EXPECT_EQ(sendDatagram(number, loopback, receiver.port(), "x"), badFileNameOrNumber);
        EXPECT_EQ(receiveDatagram(number, datagram), badFileNameOrNumber);
        EXPECT_EQ(closeEndpoint(number), noError);
    }
    EXPECT_EQ(receiver.receive(datagram), deviceTimeout);
}

TEST(EndpointSend, RefusesAddressZeroAndBroadcast) {
    const LoopbackPeer sender(0);
    EXPECT_EQ(sendDatagram(sender.number(), 0, sender.port(), "to nobody"), deviceIoError);
    EXPECT_EQ(sendDatagram(sender.number(), textToAddress("255.255.255.255"), sender.port(), "all"),
              deviceIoError);
    ReceivedDatagram datagram;
    EXPECT_EQ(sender.receive(datagram), deviceTimeout);
}

TEST(EndpointSend, ADatagramTooLongForTheWireFails) {
    const LoopbackPeer receiver(0), sender;
    EXPECT_EQ(sender.send(std::string(65508, 'x'), receiver.port()), deviceIoError);
    EXPECT_EQ(sender.send("next", receiver.port()), noError);
}

TEST(EndpointNumbers, RotateAndWrapPastTheHighestSkippingNumbersInUse) {
    EndpointNumber previous = nextFreeEndpointNumber();
    const EndpointNumber next = nextFreeEndpointNumber();
    EXPECT_EQ(next, previous == 32767 ? 1 : previous + 1);

    // Hold number 1 and 2 (unbound endpoints), then run the counter round.
    const EndpointNumber held[] = {1, 2};
    for (auto number : held) {
        if (endpointSocket(number) == platform::invalidSocket) {
            ASSERT_EQ(openEndpoint(number, unboundPort, chatTimeoutCode), noError);
        }
    }
    previous = next;
    EndpointNumber current = 0;
    for (int i = 0; i < 32767; ++i) {
        current = nextFreeEndpointNumber();
        ASSERT_GE(current, 3);
        ASSERT_LE(current, 32767);
        if (current < previous)
            break; // wrapped
        previous = current;
    }
    EXPECT_EQ(previous, 32767);
    EXPECT_EQ(current, 3);
    for (auto number : held)
        closeEndpoint(number);
    EXPECT_EQ(nextFreeEndpointNumber(), 4);
}

TEST(HostAddress, LooksUpByNameAndIndex) {
    EXPECT_EQ(hostAddress("localhost", 1), loopback);
    EXPECT_EQ(hostAddress("localhost", 0), 0u);
    EXPECT_EQ(hostAddress("localhost", -1), 0u);
    EXPECT_EQ(hostAddress("localhost", 1000), 0u);
    EXPECT_EQ(hostAddress("", 0), 0u);
    EXPECT_EQ(hostAddress("", 1000), 0u);
}

} // namespace
} // namespace parlino

namespace parlino {
namespace {

TEST(EndpointNumberSearch, SkipsNumbersInUseAndWraps) {
    std::uint16_t last = 32766;
    const auto inUse = [](EndpointNumber number) { return number == 32767 || number == 1; };
    EXPECT_EQ(nextFreeNumberAfter(last, inUse), 2);
    EXPECT_EQ(last, 2);
}

TEST(EndpointNumberSearch, GivesMinusOneWhenEveryNumberIsInUse) {
    std::uint16_t last = 100;
    int asked = 0;
    EXPECT_EQ(nextFreeNumberAfter(last, [&](EndpointNumber) { return ++asked, true; }), -1);
    EXPECT_EQ(asked, 32767);
}

TEST(EndpointNumberSearch, AnOpenUnderNoNumberFailsWith52) {
    std::uint16_t last = 0;
    const EndpointNumber none = nextFreeNumberAfter(last, [](EndpointNumber) { return true; });
    EXPECT_EQ(openEndpoint(none, 0, chatTimeoutCode), badFileNameOrNumber);
}

} // namespace
} // namespace parlino
