// The module in a host that breaks no rule of ours but is careless of its
// own state: x87 and SSE exceptions for overflow, zero divide and invalid
// operation unmasked and the x87 unit at 53-bit precision (as many hosts
// run), or a machine with no network interface up. Linux on x86.
#include "cases/careless_host_cases.h"
#include "chat/number_text.h"
#include "fakes/recording_host.h"
#include "support/careless_fpu.h"
#include "parlino.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <thread>

namespace parlino {
namespace {

constexpr int myIp = 1, openPort = 2, sendText = 3, closePort = 5;

// Runs `call` as the careless host does and checks that the module left the
// FPU as it found it; an exception it raised would end the test with SIGFPE.
template <typename Call> void asCarelessHost(Call call) {
    const auto run = testing::runAsCarelessHost(call);
    EXPECT_EQ(run.after.control, run.before.control);
    EXPECT_EQ(run.after.mxcsr, run.before.mxcsr);
    EXPECT_EQ(run.after.raised, 0);
}

void run(int action, const std::string &parameter) {
    const char *text = parameter.c_str();
    asCarelessHost([&] { nbExecAction(action, &text); });
}

// A UDP socket of the test's own on 127.0.0.3: a datagram reaches it only
// when the module read the last octet as 3.
class Listener {
  public:
    Listener() : descriptor_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(0x7F000003);
        socklen_t length = sizeof address;
        EXPECT_EQ(::bind(descriptor_, reinterpret_cast<sockaddr *>(&address), length), 0);
        ::getsockname(descriptor_, reinterpret_cast<sockaddr *>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~Listener() { ::close(descriptor_); }
    std::uint16_t port() const { return port_; }
    std::optional<std::string> receive(int waitMs) const {
        pollfd watched{descriptor_, POLLIN, 0};
        if (::poll(&watched, 1, waitMs) != 1)
            return std::nullopt;
        char buffer[2048];
        const auto length = ::recv(descriptor_, buffer, sizeof buffer, 0);
        return length < 0 ? std::nullopt : std::optional<std::string>(std::string(buffer, length));
    }

  private:
    int descriptor_;
    std::uint16_t port_ = 0;
};

using cases::CarelessHostCase;

class CarelessHostTest : public ::testing::TestWithParam<CarelessHostCase> {};

TEST_P(CarelessHostTest, NumbersRaiseNoFpuExceptionAndReadAsAt64Bits) {
    testing::recordingHost().registerModule();
    const Listener listener;
    run(openPort, "0");
    run(GetParam().action, GetParam().parameterFor(listener.port()));
    if (GetParam().action == sendText) {
        EXPECT_EQ(listener.receive(GetParam().arrives ? 5000 : 200), GetParam().arrives);
    }
    run(closePort, "");
}

INSTANTIATE_TEST_SUITE_P(Texts, CarelessHostTest, ::testing::ValuesIn(cases::carelessHostCases()));

TEST(CarelessHostReaders, ATieAt53BitsReadsAsAt64Bits) {
    asCarelessHost([] {
        EXPECT_EQ(portFromText("2.50000000000000001"), 3);
        EXPECT_EQ(portFromText("-2.50000000000000001"), -3);
        EXPECT_EQ(textToAddress("250000000000000001d-17"), 3u);
    });
}

// unshare(CLONE_NEWNET) on a thread of its own gives that thread a network
// with only a loopback interface, and that one down. Needs root.
TEST(NoNetwork, MyIpIsAllZerosNeverLoopback) {
    testing::recordingHost().registerModule();
    bool isolated = false;
    std::thread isolatedThread([&] {
        isolated = ::unshare(CLONE_NEWNET) == 0;
        if (isolated)
            run(myIp, "");
    });
    isolatedThread.join();
    if (!isolated)
        GTEST_SKIP() << "a network namespace needs root";
    EXPECT_EQ(testing::recordingHost().lastValue("qv_chat_my_ip"), "0.0.0.0");
}

} // namespace
} // namespace parlino
