// A peer none of us wrote: socat sends to the chat port and receives from it.
#include "fakes/recording_host.h"
#include "parlino.h"
#include "support/loopback_peer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace parlino {
namespace {

std::string runCommand(const std::string &command) {
    std::string output;
    if (FILE *pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

class SocatPeerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::system("command -v socat >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "socat is not installed";
        testing::recordingHost().registerModule();
        testing::recordingHost().clear();
    }
    void TearDown() override { QV_CHAT_CLOSE_PORT(nullptr); }
};

TEST_F(SocatPeerTest, ReceivesWhatSocatSends) {
    const auto port = testing::freeUdpPort();
    QV_CHAT_OPEN_PORT(std::to_string(port).c_str());
    ASSERT_EQ(testing::recordingHost().lastValue("qv_chat_open_port_status"), "Ok");
    const std::string command =
        "printf 'hello from socat' | socat -u - UDP4-SENDTO:127.0.0.1:" + std::to_string(port);
    ASSERT_EQ(std::system(command.c_str()), 0);
    QV_CHAT_RCV_TXT(nullptr);
    EXPECT_EQ(testing::recordingHost().lastValue("qv_chat_text"), "hello from socat");
}

TEST_F(SocatPeerTest, SocatReceivesExactlyTheLinesBytes) {
    QV_CHAT_OPEN_PORT("0");
    const auto socatPort = testing::freeUdpPort();
    std::atomic<bool> received{false};
    std::string output;
    // socat takes one datagram and exits; it writes the payload in hex.
    std::thread receiver([&] {
        output = runCommand("timeout 10 socat -u UDP4-RECVFROM:" + std::to_string(socatPort) +
                            ",bind=127.0.0.1 - | od -An -tx1 | tr -d ' \\n'");
        received = true;
    });
    // socat needs a moment to bind: send until it has taken a datagram.
    const std::string parameter = "127.0.0.1|" + std::to_string(socatPort) + "| hi|there";
    for (int attempt = 0; attempt < 80 && !received; ++attempt) {
        QV_CHAT_SEND_TXT(parameter.c_str());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    receiver.join();
    EXPECT_EQ(output, "206869"); // " hi": no terminator, cut at the "|"
}

} // namespace
} // namespace parlino
