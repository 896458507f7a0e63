// Several threads use the endpoint layer at once, each with endpoints of its
// own, while they race for numbers and for the table. Built with
// ThreadSanitizer (preset linux-tsan) it shows the lock words guard the
// table and the number counter; in every build it checks that no number is
// handed out twice and that a contended open has exactly one winner. The
// last three tests break the threading contract as a careless host would:
// the endpoint layer must stay sound (ASan and TSan clean) even then.
#include "chat/error_texts.h"
#include "chat/test_seam.h"
#include "support/loopback_peer.h"
#include "support/time_bounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace parlino {
namespace {

constexpr int threadCount = 4;
// Fewer hand-outs in all than numbers exist, so the counter never wraps and
// every number handed out during the test must be new. Under wine this
// test also catches socket library start-ups and clean-ups of two threads
// running at once: a clean-up then closed the other thread's new socket.
constexpr int cyclesPerThread = 1000;

// Counts threads in and lets them go together; no time limit, since every
// thread reaches it.
class StartLine {
  public:
    explicit StartLine(int threads) : threads_(threads) {}
    void arriveAndWait() {
        const int generation = generation_.load(std::memory_order_acquire);
        if (arrived_.fetch_add(1, std::memory_order_acq_rel) + 1 == threads_) {
            arrived_.store(0, std::memory_order_relaxed);
            generation_.fetch_add(1, std::memory_order_acq_rel);
            return;
        }
        while (generation_.load(std::memory_order_acquire) == generation)
            std::this_thread::yield();
    }

  private:
    const int threads_;
    std::atomic<int> arrived_{0};
    std::atomic<int> generation_{0};
};

struct ThreadRecord {
    std::vector<EndpointNumber> numbersHandedOut;
    std::vector<std::string> failures;
};

// Opens two endpoints of its own, sends from one to the other, receives what
// is already queued and closes both.
void chatCycles(int thread, ThreadRecord &record) {
    for (int cycle = 0; cycle < cyclesPerThread; ++cycle) {
        const EndpointNumber receiver = nextFreeEndpointNumber();
        const EndpointNumber sender = nextFreeEndpointNumber();
        record.numbersHandedOut.push_back(receiver);
        record.numbersHandedOut.push_back(sender);
        const int receiverOpen = openEndpoint(receiver, 0, chatTimeoutCode);
        const int senderOpen = receiverOpen == 0 ? openEndpoint(sender, unboundPort, 0) : -1;
        if (receiverOpen != 0 || senderOpen != 0) {
            record.failures.push_back("open failed in cycle " + std::to_string(cycle) + ": " +
                                      std::to_string(receiverOpen) + ", " + std::to_string(senderOpen));
            closeEndpoint(receiver);
            closeEndpoint(sender);
            continue;
        }
        std::uint16_t networkPort = 0;
        platform::localPort(endpointSocket(receiver), networkPort);
        const std::uint16_t port = static_cast<std::uint16_t>((networkPort & 0xFF) << 8 | networkPort >> 8);
        const std::string line = "thread " + std::to_string(thread) + " cycle " + std::to_string(cycle);
        ReceivedDatagram datagram;
        if (const int sent = sendDatagram(sender, testing::loopback, port, line); sent != 0)
            record.failures.push_back("send failed with " + std::to_string(sent) + ": " + line);
        else if (receiveDatagram(receiver, datagram) != 0 || datagram.text != line)
            record.failures.push_back("received '" + datagram.text + "' for '" + line + "'");
        closeEndpoint(sender);
        closeEndpoint(receiver);
    }
}

TEST(EndpointStress, ThreadsOpenSendReceiveAndCloseTheirOwnEndpoints) {
    std::vector<ThreadRecord> records(threadCount);
    StartLine start(threadCount);
    std::vector<std::thread> threads;
    for (int thread = 0; thread < threadCount; ++thread)
        threads.emplace_back([&, thread] {
            start.arriveAndWait();
            chatCycles(thread, records[thread]);
        });
    for (auto &thread : threads)
        thread.join();

    std::set<EndpointNumber> seen;
    for (const auto &record : records) {
        for (const auto &failure : record.failures)
            ADD_FAILURE() << failure;
        for (const auto number : record.numbersHandedOut) {
            EXPECT_GE(number, 1);
            EXPECT_TRUE(seen.insert(number).second) << "number " << number << " handed out twice";
        }
    }
    EXPECT_EQ(seen.size(), std::size_t{threadCount} * cyclesPerThread * 2);
}

// The my-IP action's look-up uses no endpoint: it runs beside opens, sends,
// receives and closes on another thread, and always gives one answer.
TEST(EndpointStress, AddressLookUpsRunBesideChatCycles) {
    const Ipv4Address address = hostAddress({}, 1);
    ThreadRecord record;
    std::atomic<bool> done{false};
    std::atomic<int> lookUps{0}, otherAnswers{0};
    std::thread lookUpThread([&] {
        while (!done.load()) {
            if (hostAddress({}, 1) != address)
                otherAnswers.fetch_add(1);
            lookUps.fetch_add(1);
        }
    });
    while (lookUps.load() == 0)
        std::this_thread::yield();
    chatCycles(0, record);
    done = true;
    lookUpThread.join();
    for (const auto &failure : record.failures)
        ADD_FAILURE() << failure;
    EXPECT_EQ(otherAnswers.load(), 0) << "of " << lookUps.load() << " look-ups";
}

TEST(EndpointStress, AnOpenRaceForOneNumberHasOneWinner) {
    constexpr int rounds = 200;
    std::vector<std::vector<std::uint8_t>> results(threadCount, std::vector<std::uint8_t>(rounds));
    StartLine start(threadCount);
    std::vector<EndpointNumber> numbers(rounds);
    for (auto &number : numbers)
        number = nextFreeEndpointNumber();
    std::vector<std::thread> threads;
    for (int thread = 0; thread < threadCount; ++thread)
        threads.emplace_back([&, thread] {
            for (int round = 0; round < rounds; ++round) {
                start.arriveAndWait();
                results[thread][round] = openEndpoint(numbers[round], unboundPort, 0);
                start.arriveAndWait();
                if (thread == 0)
                    closeEndpoint(numbers[round]);
            }
        });
    for (auto &thread : threads)
        thread.join();

    for (int round = 0; round < rounds; ++round) {
        int winners = 0;
        for (int thread = 0; thread < threadCount; ++thread) {
            const auto result = results[thread][round];
            EXPECT_TRUE(result == 0 || result == 55) << "round " << round << ": " << int(result);
            winners += result == 0;
        }
        EXPECT_EQ(winners, 1) << "round " << round;
    }
    for (const auto number : numbers)
        EXPECT_EQ(endpointSocket(number), platform::invalidSocket);
}

TEST(EndpointStress, ASendAndAReceiveRunAtOnceOnOneEndpoint) {
    constexpr int lines = 300;
    // Lines in flight are kept well below what a socket buffer holds, so
    // that none is dropped when the receiving thread is slow to run.
    constexpr int inFlight = 32;
    const testing::LoopbackPeer shared, echo(chatTimeoutCode);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    std::vector<std::string> received;
    std::atomic<int> receivedCount{0};
    std::thread receiver([&] {
        // A receive that times out on a busy machine is simply repeated.
        ReceivedDatagram datagram;
        while (received.size() < lines && std::chrono::steady_clock::now() < giveUp)
            if (receiveDatagram(shared.number(), datagram) == 0) {
                received.push_back(datagram.text);
                receivedCount.fetch_add(1, std::memory_order_release);
            }
    });
    // Send from the shared endpoint to the echo, which sends each line back.
    std::vector<std::uint8_t> errors;
    for (int i = 0; i < lines; ++i) {
        while (i - receivedCount.load(std::memory_order_acquire) > inFlight &&
               std::chrono::steady_clock::now() < giveUp)
            std::this_thread::yield();
        errors.push_back(sendDatagram(shared.number(), testing::loopback, echo.port(), std::to_string(i)));
        ReceivedDatagram datagram;
        if (echo.receive(datagram) == 0)
            errors.push_back(echo.send(datagram.text, shared.port()));
    }
    receiver.join();
    EXPECT_EQ(std::count(errors.begin(), errors.end(), 0), 2 * lines);
    ASSERT_EQ(received.size(), std::size_t{lines});
    for (int i = 0; i < lines; ++i)
        EXPECT_EQ(received[i], std::to_string(i));
}

// A close on another thread while a receive waits: the receive returns by
// its own deadline with the empty text, and neither reads freed memory nor
// takes a datagram from a socket that took the closed one's descriptor.
TEST(EndpointStress, ACloseUnderABlockedReceiveTouchesNothingElse) {
    const EndpointNumber number = nextFreeEndpointNumber();
    ASSERT_EQ(openEndpoint(number, 0, chatTimeoutCode), 0);
    const std::uint16_t port = testing::boundPort(number);
    std::atomic<bool> receiving{false};
    ReceivedDatagram datagram;
    std::uint8_t result = 0;
    const auto start = std::chrono::steady_clock::now();
    std::thread receiver([&] {
        receiving = true;
        result = receiveDatagram(number, datagram);
    });
    while (!receiving)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(closeEndpoint(number), 0);
    {
        // Likely to get the closed socket's descriptor number, were it free.
        const testing::LoopbackPeer other;
        ASSERT_EQ(other.send("not the chat's", other.port()), 0);
        receiver.join();
        EXPECT_TRUE(result == deviceTimeout || result == badFileNameOrNumber) << int(result);
        EXPECT_EQ(datagram.text, "");
        EXPECT_LT(std::chrono::steady_clock::now() - start, testing::workBound(std::chrono::seconds(5)));
        ReceivedDatagram own;
        EXPECT_EQ(other.receive(own), 0);
        EXPECT_EQ(own.text, "not the chat's");
    }
    // With nothing in flight a close releases the port at once.
    ASSERT_EQ(openEndpoint(number, port, chatTimeoutCode), 0);
    EXPECT_EQ(closeEndpoint(number), 0);
    EXPECT_EQ(openEndpoint(number, port, chatTimeoutCode), 0);
    EXPECT_EQ(closeEndpoint(number), 0);
}

// Sends that find an endpoint while it is being opened or closed return at
// once; none waits on a socket that does not exist yet.
TEST(EndpointStress, SendsRacingOpensAndClosesAllReturn) {
    constexpr int cycles = 2000;
    const testing::LoopbackPeer sink(0);
    const EndpointNumber number = nextFreeEndpointNumber();
    std::atomic<bool> done{false};
    std::atomic<int> sends{0};
    std::thread sender([&] {
        while (!done.load()) {
            const auto result = sendDatagram(number, testing::loopback, sink.port(), "x");
            EXPECT_TRUE(result == 0 || result == badFileNameOrNumber) << int(result);
            sends.fetch_add(1);
        }
    });
    // The cycles take a few milliseconds: they start once the sender runs,
    // or on a busy machine they could all end before its first send.
    while (sends.load() == 0)
        std::this_thread::yield();
    for (int cycle = 0; cycle < cycles; ++cycle) {
        ASSERT_EQ(openEndpoint(number, unboundPort, 0), 0);
        ASSERT_EQ(closeEndpoint(number), 0);
    }
    done = true;
    sender.join();
}

// Two threads receive on one endpoint under a stream of distinct lines: each
// gets only whole lines that were sent, and no line twice.
TEST(EndpointStress, TwoReceivesAtOnceGetOnlyWholeLines) {
    constexpr int lines = 400;
    const testing::LoopbackPeer shared, sender;
    std::set<std::string> sent;
    for (int i = 0; i < lines; ++i)
        sent.insert(std::to_string(i) + ":" + std::string(1 + i * 37 % 1500, static_cast<char>('a' + i % 26)));
    std::atomic<bool> sending{true};
    std::vector<std::string> received[2];
    std::vector<std::thread> receivers;
    for (auto &mine : received)
        receivers.emplace_back([&] {
            ReceivedDatagram datagram;
            for (;;) {
                const auto result = receiveDatagram(shared.number(), datagram);
                if (result == 0)
                    mine.push_back(datagram.text);
                else if (!sending.load())
                    return;
            }
        });
    int count = 0;
    for (const auto &line : sent) {
        EXPECT_EQ(sender.send(line, shared.port()), 0);
        if (++count % 16 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(2)); // no kernel drops
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    sending = false;
    for (auto &thread : receivers)
        thread.join();
    std::set<std::string> seen;
    for (const auto &mine : received)
        for (const auto &text : mine) {
            EXPECT_TRUE(sent.contains(text)) << "a line of " << text.size() << " bytes that was never sent";
            EXPECT_TRUE(seen.insert(text).second) << "received twice";
        }
    EXPECT_GT(seen.size(), std::size_t{lines / 2});
}

} // namespace
} // namespace parlino
