// The five chat actions of the shipped DLL over loopback, with a Winsock
// socket of the test's own as the other side: what reaches the host's
// variables, the wire, the message boxes and the cursor.
#include "shipped_dll_test.h"

#include <gmock/gmock.h>

#include <chrono>
#include <float.h>

namespace parlino::dlltest {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Kind = DesktopCall::Kind;

constexpr std::uint32_t waitCursorNumber = 32514; // IDC_WAIT

TEST_F(ShippedDllTest, OpenShowsTheWaitCursorInPairsAndReportsOk) {
    const std::uint16_t port = openChatPort();
    ASSERT_NE(port, 0);
    EXPECT_THAT(recording().desktop,
                ElementsAre(DesktopCall{Kind::loadCursor, waitCursorNumber, nullptr},
                            DesktopCall{Kind::setCursor, 0, recordedWaitCursor},
                            DesktopCall{Kind::showCursor, TRUE},
                            DesktopCall{Kind::setCursor, 0, hostCursor}));
    EXPECT_EQ(recording().currentCursor, hostCursor);
    ASSERT_EQ(recording().binds.size(), 1u);
    EXPECT_EQ(recording().binds[0].address, anyAddress);

    const LoopbackSocket peer;
    ASSERT_TRUE(peer.send("hello", port));
    run(receiveTextAction, "");
    EXPECT_EQ(variable("qv_chat_text"), "hello");
}

struct OpenCase {
    std::string parameter;
    bool binds;                  // false: the endpoint is opened without a bind
    std::uint16_t requestedPort; // when it binds
};

class OpenParameterTest : public ShippedDllTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenParameterTest, OpensAndReportsOk) {
    run(openPortAction, GetParam().parameter);
    EXPECT_EQ(variable("qv_chat_open_port_status"), "Ok");
    EXPECT_THAT(recording().messageBoxes(), IsEmpty());
    if (GetParam().binds) {
        ASSERT_EQ(recording().binds.size(), 1u);
        EXPECT_EQ(recording().binds[0].requestedPort, GetParam().requestedPort);
    } else {
        EXPECT_THAT(recording().binds, IsEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Parameters, OpenParameterTest,
                         ::testing::Values(OpenCase{"", true, 0}, OpenCase{"0", true, 0},
                                           OpenCase{"0|x", true, 0}, OpenCase{" 0 ", true, 0},
                                           OpenCase{"abc", true, 0}, OpenCase{"-1", false, 0}));

TEST_F(ShippedDllTest, APortAbove65535BindsItsLowSixteenBits) {
    const std::uint16_t free = LoopbackSocket().port(); // released again at once
    run(openPortAction, std::to_string(65536 + free));
    ASSERT_EQ(variable("qv_chat_open_port_status"), "Ok");
    ASSERT_EQ(recording().binds.size(), 1u);
    EXPECT_EQ(recording().binds[0].requestedPort, free);
}

TEST_F(ShippedDllTest, APortInUseShowsAWarningThenSetsError) {
    const LoopbackSocket holder;
    run(openPortAction, std::to_string(holder.port()) + "|ignored");
    const auto &calls = recording().desktop;
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], (DesktopCall{Kind::sleep, 5}));
    EXPECT_EQ(calls.back(), messageBox("Choose another local port,\r\nDevice I/O error on " +
                                           std::to_string(holder.port()),
                                       0x30));
    // The cursor is back before the box, and the status comes after it.
    EXPECT_EQ(calls[calls.size() - 3], (DesktopCall{Kind::setCursor, 0, hostCursor}));
    ASSERT_EQ(hostRecord().variableSets.size(), 1u);
    EXPECT_EQ(hostRecord().variableSets[0].value, "Error");
    EXPECT_EQ(hostRecord().variableSets[0].desktopCallsBefore, calls.size());

    recording().reset();
    run(sendTextAction, sendParameter(holder.port(), "hello"));
    EXPECT_THAT(recording().desktop,
                ElementsAre(DesktopCall{Kind::sleep, 5},
                            messageBox("Bad file name or number\r\nError: 52.", 0)));
    EXPECT_FALSE(holder.receive(200).has_value());
}

TEST_F(ShippedDllTest, AFailedOpenWritesThePortAsRead) {
    const LoopbackSocket holder;
    run(openPortAction, std::to_string(65536 + holder.port()));
    EXPECT_EQ(variable("qv_chat_open_port_status"), "Error");
    EXPECT_THAT(recording().messageBoxes(),
                ElementsAre(messageBox("Choose another local port,\r\nDevice I/O error on " +
                                           std::to_string(65536 + holder.port()),
                                       0x30)));
}

TEST_F(ShippedDllTest, OpeningAgainReleasesTheFirstPort) {
    const std::uint16_t first = openChatPort();
    const std::uint16_t second = LoopbackSocket().port(); // not first: that one is held
    run(openPortAction, std::to_string(second));
    ASSERT_EQ(variable("qv_chat_open_port_status"), "Ok");
    const LoopbackSocket reuse(first, anyAddress); // binds only if the DLL let go of it
    EXPECT_TRUE(reuse.bound());
    const LoopbackSocket peer;
    ASSERT_TRUE(peer.send("to the second", second));
    run(receiveTextAction, "");
    EXPECT_EQ(variable("qv_chat_text"), "to the second");
}

TEST_F(ShippedDllTest, SendsTheLineAsOneDatagramFromTheChatPort) {
    const std::uint16_t chatPort = openChatPort();
    const LoopbackSocket peer;
    recording().reset();
    run(sendTextAction, sendParameter(peer.port(), " hello"));
    const auto datagram = peer.receive();
    ASSERT_TRUE(datagram.has_value());
    EXPECT_EQ(datagram->bytes, " hello");
    EXPECT_EQ(datagram->senderPort, chatPort);
    EXPECT_THAT(recording().desktop, IsEmpty());
    // The send waits for the socket to be writable, with no time limit.
    EXPECT_THAT(recording().selects, ElementsAre(SelectCall{false, true, false, 0, 0}));
}

struct LineCase {
    std::string parameterTail; // after "127.0.0.1|port"
    std::string sent;
};

void PrintTo(const LineCase &line, std::ostream *out) { *out << '"' << line.parameterTail << '"'; }

class SendLineTest : public ShippedDllTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(SendLineTest, SendsTheTextOrTheTimeForABlankLine) {
    openChatPort();
    const LoopbackSocket peer;
    run(sendTextAction, "127.0.0.1|" + std::to_string(peer.port()) + GetParam().parameterTail);
    const auto datagram = peer.receive();
    ASSERT_TRUE(datagram.has_value());
    EXPECT_EQ(datagram->bytes, GetParam().sent);
}

INSTANTIATE_TEST_SUITE_P(Lines, SendLineTest,
                         ::testing::Values(LineCase{"|hello", "hello"}, LineCase{"|", "07:05:03"},
                                           LineCase{"|   ", "07:05:03"}, LineCase{"", "07:05:03"},
                                           LineCase{"|\t", "\t"}, LineCase{"| a ", " a "},
                                           LineCase{"|a|b", "a"}, LineCase{"|\"q\"", "\"q\""},
                                           LineCase{"|\xe9t\xe9", "\xe9t\xe9"}));

TEST_F(ShippedDllTest, APortAbove65535SendsToItsLowSixteenBits) {
    openChatPort();
    const LoopbackSocket peer;
    run(sendTextAction, sendParameter(65536 + peer.port(), "wrapped"));
    const auto datagram = peer.receive();
    ASSERT_TRUE(datagram.has_value());
    EXPECT_EQ(datagram->bytes, "wrapped");
}

TEST_F(ShippedDllTest, SendWithoutAnOpenPortShowsError52) {
    const LoopbackSocket peer;
    run(sendTextAction, sendParameter(peer.port(), "hello"));
    openChatPort();
    run(closePortAction, "");
    run(sendTextAction, sendParameter(peer.port(), "hello"));
    const auto expected = messageBox("Bad file name or number\r\nError: 52.", 0);
    EXPECT_THAT(recording().messageBoxes(), ElementsAre(expected, expected));
    EXPECT_THAT(recording().selects, IsEmpty());
    EXPECT_FALSE(peer.receive(200).has_value());
}

TEST_F(ShippedDllTest, AnUnreadableAddressIsRefusedWithError57AndNothingSent) {
    openChatPort();
    // Wine delivers a datagram for 0.0.0.0 to this machine: a listener on
    // the port proves the DLL itself refuses the address.
    const LoopbackSocket listener(0, anyAddress);
    recording().reset();
    run(sendTextAction, "localhost|" + std::to_string(listener.port()) + "|hello");
    EXPECT_THAT(recording().desktop,
                ElementsAre(DesktopCall{Kind::sleep, 5},
                            messageBox("Device I/O error\r\nError: 57.", 0)));
    EXPECT_FALSE(listener.receive(300).has_value());
}

TEST_F(ShippedDllTest, ALineTooLongForADatagramShowsError57AndThePortStaysUsable) {
    openChatPort();
    const LoopbackSocket peer;
    recording().reset();
    run(sendTextAction, sendParameter(peer.port(), std::string(70000, 'x')));
    EXPECT_THAT(recording().messageBoxes(),
                ElementsAre(messageBox("Device I/O error\r\nError: 57.", 0)));
    EXPECT_FALSE(peer.receive(300).has_value());
    run(sendTextAction, sendParameter(peer.port(), "still here"));
    const auto datagram = peer.receive();
    ASSERT_TRUE(datagram.has_value());
    EXPECT_EQ(datagram->bytes, "still here");
}

TEST_F(ShippedDllTest, ReceiveWaitsAbout1024MsThenGivesTheEmptyText) {
    openChatPort();
    recording().reset();
    const auto start = std::chrono::steady_clock::now();
    run(receiveTextAction, "");
    // Only a lower bound: the wait itself is checked in what select was given.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_THAT(recording().selects, ElementsAre(SelectCall{true, false, true, 0, 1024000}));
    EXPECT_EQ(variable("qv_chat_text"), "");
}

TEST_F(ShippedDllTest, ReceiveWithoutAPortGivesTheEmptyTextWithoutWaiting) {
    run(receiveTextAction, "");
    openChatPort();
    run(closePortAction, "");
    recording().reset();
    hostRecord().clear();
    run(receiveTextAction, "");
    EXPECT_THAT(recording().selects, IsEmpty());
    ASSERT_EQ(hostRecord().variableSets.size(), 1u);
    EXPECT_EQ(hostRecord().variableSets[0].name, "qv_chat_text");
    EXPECT_EQ(hostRecord().variableSets[0].value, std::nullopt);
}

TEST_F(ShippedDllTest, DatagramsAreReceivedOneAtATimeInOrder) {
    const std::uint16_t port = openChatPort();
    const LoopbackSocket peer;
    ASSERT_TRUE(peer.send("first", port));
    ASSERT_TRUE(peer.send("", port));
    ASSERT_TRUE(peer.send("third", port));
    std::vector<std::string> texts;
    for (int i = 0; i < 3; ++i) {
        run(receiveTextAction, "the parameter is not read|1");
        texts.push_back(variable("qv_chat_text").value_or("(not set)"));
    }
    EXPECT_THAT(texts, ElementsAre("first", "", "third"));
}

TEST_F(ShippedDllTest, AReceivedZeroByteEndsTheTextTheHostSees) {
    const std::uint16_t port = openChatPort();
    const LoopbackSocket peer;
    ASSERT_TRUE(peer.send(std::string("ab\0cd", 5), port));
    run(receiveTextAction, "");
    EXPECT_EQ(variable("qv_chat_text"), "ab");
}

TEST_F(ShippedDllTest, ALargeDatagramArrivesWhole) {
    const std::uint16_t port = openChatPort();
    const LoopbackSocket peer;
    std::string line(60000, 'x');
    line.back() = 'y';
    ASSERT_TRUE(peer.send(line, port));
    run(receiveTextAction, "");
    EXPECT_EQ(variable("qv_chat_text"), line);
}

TEST_F(ShippedDllTest, CloseWithNothingOpenHasNoVisibleEffect) {
    run(closePortAction, "");
    run(closePortAction, "");
    EXPECT_EQ(dll().closePort("5000"), 0);
    EXPECT_THAT(hostRecord().variableSets, IsEmpty());
    EXPECT_THAT(recording().desktop, IsEmpty());
}

TEST_F(ShippedDllTest, CloseReleasesThePort) {
    const std::uint16_t port = openChatPort();
    run(closePortAction, "");
    const LoopbackSocket reuse(port, anyAddress);
    EXPECT_TRUE(reuse.bound());
    EXPECT_THAT(hostRecord().variableSets.size(), 1u); // only the open's status
}

TEST_F(ShippedDllTest, TheDirectExportsActLikeTheActions) {
    EXPECT_EQ(dll().openPort("0"), 0);
    EXPECT_EQ(variable("qv_chat_open_port_status"), "Ok");
    const std::uint16_t port = lastBoundPort();
    const LoopbackSocket peer;
    EXPECT_EQ(dll().sendText(sendParameter(peer.port(), "direct").c_str()), 0);
    const auto datagram = peer.receive();
    ASSERT_TRUE(datagram.has_value());
    EXPECT_EQ(datagram->bytes, "direct");
    ASSERT_TRUE(peer.send("back", port));
    EXPECT_EQ(dll().receiveText(nullptr), 0);
    EXPECT_EQ(variable("qv_chat_text"), "back");
    EXPECT_EQ(dll().closePort(nullptr), 0);
}

// A host that unmasked x87 exceptions for overflow, zero divide and invalid
// operation and runs the unit at 53-bit precision, as many Windows hosts do:
// no number text may raise an exception in it (one would end the process),
// numbers read as with a 64-bit mantissa, and the control word and status
// flags come back as they were after every action.
struct CarelessHostCase {
    std::int32_t action;
    std::string parameter; // "%p" stands for the listener's port
    std::optional<std::string> arrives;
};

void PrintTo(const CarelessHostCase &c, std::ostream *out) { *out << c.action << " \"" << c.parameter << '"'; }

class CarelessHostTest : public ShippedDllTest, public ::testing::WithParamInterface<CarelessHostCase> {};

TEST_P(CarelessHostTest, NumbersRaiseNoFpuExceptionAndReadAsAt64Bits) {
    const LoopbackSocket listener(0, 0x0300007F); // 127.0.0.3
    ASSERT_TRUE(listener.bound());
    std::string parameter = GetParam().parameter;
    if (const auto at = parameter.find("%p"); at != std::string::npos)
        parameter.replace(at, 2, std::to_string(listener.port()));
    const unsigned int hostWord = _controlfp(0, 0);
    _clearfp();
    _controlfp(_EM_INEXACT | _EM_UNDERFLOW | _EM_DENORMAL, _MCW_EM);
    _controlfp(_PC_53, _MCW_PC);
    const unsigned int careless = _controlfp(0, 0);
    unsigned int words[3], flags[3];
    const std::pair<std::int32_t, std::string> calls[] = {
        {openPortAction, "0"}, {GetParam().action, parameter}, {closePortAction, ""}};
    for (int i = 0; i < 3; ++i) {
        run(calls[i].first, calls[i].second);
        words[i] = _controlfp(0, 0);
        flags[i] = _statusfp();
    }
    _controlfp(hostWord, _MCW_EM | _MCW_PC);
    _clearfp();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(words[i], careless) << "after action " << calls[i].first;
        EXPECT_EQ(flags[i], 0u) << "after action " << calls[i].first;
    }
    if (GetParam().action == sendTextAction) {
        const auto datagram = listener.receive(GetParam().arrives ? 5000 : 200);
        EXPECT_EQ(datagram ? std::optional<std::string>(datagram->bytes) : std::nullopt, GetParam().arrives);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CarelessHostTest,
    ::testing::Values(
        // 2.50000000000000001: 3 with a 64-bit mantissa, a tie (2) at 53 bits.
        CarelessHostCase{sendTextAction, "127.0.0.250000000000000001d-17|%p|tie", "tie"},
        CarelessHostCase{sendTextAction, "127.1e5000.0.3|%p|octet overflow", "octet overflow"},
        CarelessHostCase{sendTextAction, "127.-1e5000.0.3|%p|negative", "negative"},
        CarelessHostCase{sendTextAction, "127.1e-5000.0.3|%p|underflow", "underflow"},
        CarelessHostCase{sendTextAction, "127.0.0.3|%p.4999999999999|below a half", "below a half"},
        // These ports read as -2147483648 or 0: the send fails with 57.
        CarelessHostCase{sendTextAction, "127.0.0.3|1e5000|x", std::nullopt},
        CarelessHostCase{sendTextAction, "127.0.0.3|-1e5000|x", std::nullopt},
        CarelessHostCase{sendTextAction, "127.0.0.3|1e-5000|x", std::nullopt},
        CarelessHostCase{openPortAction, "1e5000", std::nullopt},
        CarelessHostCase{myIpAction, "", std::nullopt},
        CarelessHostCase{receiveTextAction, "", std::nullopt}));

// The first address of this machine's own name, in dotted form, as the test
// program's Winsock resolves it; 0.0.0.0 when there is none.
std::string firstLocalAddress() {
    char name[256];
    const hostent *host = ::gethostname(name, sizeof name) == 0 ? ::gethostbyname(name) : nullptr;
    if (host == nullptr || host->h_addr_list == nullptr || host->h_addr_list[0] == nullptr)
        return "0.0.0.0";
    const auto *octets = reinterpret_cast<const unsigned char *>(host->h_addr_list[0]);
    return std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." +
           std::to_string(octets[2]) + "." + std::to_string(octets[3]);
}

TEST_F(ShippedDllTest, MyIpWritesTheFirstLocalAddressWithoutAnyMessage) {
    run(myIpAction, "ignored");
    const auto address = variable("qv_chat_my_ip");
    ASSERT_TRUE(address.has_value());
    EXPECT_EQ(*address, firstLocalAddress()); // octets in the order they are written
    EXPECT_THAT(recording().desktop, IsEmpty());
    EXPECT_EQ(dll().myIp(nullptr), 0);
    EXPECT_EQ(variable("qv_chat_my_ip"), address);
}

} // namespace
} // namespace parlino::dlltest
