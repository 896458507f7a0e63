// Parameter texts no publication should send: a megabyte long, made of 0xFF
// bytes, thousands of fields, numbers far out of range or cut short. Each
// action must give the result its field rule and number rule promise, by
// nbExecAction and by the direct export alike, with no crash and (under the
// sanitizer build) no undefined behaviour.
#include "fakes/recording_desktop.h"
#include "fakes/recording_host.h"
#include "parlino.h"
#include "support/loopback_peer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

namespace parlino {
namespace {

using testing::LoopbackPeer;

constexpr int myIp = 1, openPort = 2, sendText = 3, receiveText = 4, closePort = 5;
constexpr std::size_t oneMebibyte = 1 << 20;

enum class Route { execAction, directCall };

void run(Route route, std::int32_t action, const std::string &parameter) {
    if (route == Route::execAction) {
        const char *text = parameter.c_str();
        ASSERT_EQ(nbExecAction(action, &text), 1);
        return;
    }
    using Export = int32_t(PARLINO_CALL *)(const char *);
    constexpr Export exports[] = {QV_CHAT_MY_IP, QV_CHAT_OPEN_PORT, QV_CHAT_SEND_TXT, QV_CHAT_RCV_TXT,
                                  QV_CHAT_CLOSE_PORT};
    ASSERT_EQ(exports[action - 1](parameter.c_str()), 0);
}

std::string repeated(std::string_view piece, std::size_t times) {
    std::string text;
    text.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

// 17 hexadecimal digits that still fit 64 bits, thanks to leading zeros.
std::string hex17(std::uint16_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "&H%017X", value);
    return text;
}

std::optional<std::string> variable(const std::string &name) {
    return testing::recordingHost().lastValue(name);
}

std::vector<std::string> messageTexts() {
    std::vector<std::string> texts;
    for (const auto &box : testing::recordingDesktop().messageBoxes())
        texts.push_back(box.text);
    return texts;
}

class BadParameterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::recordingHost().registerModule();
        run(Route::execAction, closePort, "");
        testing::recordingHost().clear();
        testing::recordingDesktop().reset();
    }
    void TearDown() override { run(Route::execAction, closePort, ""); }
};

// ---- Open port: field 1 read as a number ----

struct OpenCase {
    const char *name;
    std::function<std::string(std::uint16_t heldPort)> parameter;
    bool opens; // false: the port is the held one, so "Error" and a message
};

class OpenPortBadText : public BadParameterTest,
                        public ::testing::WithParamInterface<std::tuple<OpenCase, Route>> {};

TEST_P(OpenPortBadText, OpensThePortTheNumberRuleGives) {
    const auto &[c, route] = GetParam();
    const LoopbackPeer holder(0);
    run(route, openPort, c.parameter(holder.port()));
    EXPECT_EQ(variable("qv_chat_open_port_status"), c.opens ? "Ok" : "Error");
    if (c.opens)
        EXPECT_TRUE(messageTexts().empty());
    else
        EXPECT_EQ(messageTexts(), std::vector<std::string>{"Choose another local port,\r\nDevice I/O error on " +
                                                           std::to_string(holder.port())});
}

// Numbers out of the 32-bit range read as -2147483648, whose low 16 bits
// are port 0: the system chooses the port and the open succeeds.
const OpenCase openCases[] = {
    {"Exponent400", [](std::uint16_t) { return "1e400"; }, true},
    {"MinusExponent400", [](std::uint16_t) { return "-1e400"; }, true},
    {"ExponentMinus400", [](std::uint16_t) { return "1e-400"; }, true},
    {"Hex17DigitsTooWide", [](std::uint16_t) { return "&H" + std::string(17, '1'); }, true},
    {"Hex17DigitsWithLeadingZeros", [](std::uint16_t held) { return hex17(held); }, false},
    {"Binary65Digits", [](std::uint16_t) { return "&B" + std::string(65, '1'); }, true},
    {"LoneAmpersand", [](std::uint16_t) { return "&"; }, true},
    {"LoneMinus", [](std::uint16_t) { return "-"; }, true},
    {"LonePoint", [](std::uint16_t) { return "."; }, true},
    {"LoneE", [](std::uint16_t) { return "e"; }, true},
    {"MebibyteOfDigits", [](std::uint16_t) { return std::string(oneMebibyte, '9'); }, true},
    {"MebibyteOfFF", [](std::uint16_t) { return std::string(oneMebibyte, '\xff'); }, true},
    {"HeldPortThenThousandsOfFields",
     [](std::uint16_t held) { return std::to_string(held) + repeated("|1", 5000); }, false},
    {"HeldPortThenMebibyteOfFF",
     [](std::uint16_t held) { return std::to_string(held) + "|" + std::string(oneMebibyte, '\xff'); }, false},
};

// ---- Send: address, port and text fields ----

struct SendCase {
    const char *name;
    std::function<std::string(std::uint16_t peerPort)> parameter;
    std::optional<std::string> arrives; // nullopt: refused with the 57 message
};

class SendBadText : public BadParameterTest,
                    public ::testing::WithParamInterface<std::tuple<SendCase, Route>> {};

TEST_P(SendBadText, SendsWhatTheFieldsSayOrShowsTheFailure) {
    const auto &[c, route] = GetParam();
    const LoopbackPeer peer(0);
    run(route, openPort, "0");
    ASSERT_EQ(variable("qv_chat_open_port_status"), "Ok");
    run(route, sendText, c.parameter(peer.port()));

    ReceivedDatagram datagram;
    const auto error = peer.receive(datagram);
    if (c.arrives) {
        EXPECT_TRUE(messageTexts().empty());
        ASSERT_EQ(error, 0);
        EXPECT_EQ(datagram.text.size(), c.arrives->size());
        EXPECT_TRUE(datagram.text == *c.arrives);
    } else {
        EXPECT_EQ(messageTexts(), std::vector<std::string>{"Device I/O error\r\nError: 57."});
        EXPECT_EQ(error, 24) << "nothing may arrive";
    }
}

std::string to(std::uint16_t port, std::string_view text) {
    return "127.0.0.1|" + std::to_string(port) + "|" + std::string(text);
}

const SendCase sendCases[] = {
    {"MebibyteText", [](std::uint16_t p) { return to(p, std::string(oneMebibyte, 'x')); }, std::nullopt},
    {"LargestDatagramOfFF", [](std::uint16_t p) { return to(p, std::string(65507, '\xff')); },
     std::string(65507, '\xff')},
    {"ThousandsOfFieldsAfterTheText", [](std::uint16_t p) { return to(p, "line" + repeated("|x", 5000)); },
     "line"},
    {"ThousandsOfAddressFields",
     [](std::uint16_t p) { return "127.0.0.1" + repeated(".9", 5000) + "|" + std::to_string(p) + "|x"; }, "x"},
    {"MebibyteAddressAfterFourFields",
     [](std::uint16_t p) { return "127.0.0.1." + std::string(oneMebibyte, '9') + "|" + std::to_string(p) + "|x"; },
     "x"},
    {"OctetsTakenModulo256", [](std::uint16_t p) { return "383.256.0.-255|" + std::to_string(p) + "|x"; }, "x"},
    {"AddressExponent400", [](std::uint16_t p) { return "1e400|" + std::to_string(p) + "|x"; }, std::nullopt},
    {"AddressMinusExponent400", [](std::uint16_t p) { return "-1e400|" + std::to_string(p) + "|x"; },
     std::nullopt},
    {"AddressOfFF", [](std::uint16_t p) { return "\xff\xff\xff|" + std::to_string(p) + "|x"; }, std::nullopt},
    {"PortExponent400", [](std::uint16_t) { return "127.0.0.1|1e400|x"; }, std::nullopt},
    {"PortExponentMinus400", [](std::uint16_t) { return "127.0.0.1|1e-400|x"; }, std::nullopt},
    {"PortHex17DigitsTooWide", [](std::uint16_t) { return "127.0.0.1|&H" + std::string(17, 'F') + "|x"; },
     std::nullopt},
    {"PortHex17DigitsWithLeadingZeros", [](std::uint16_t p) { return "127.0.0.1|" + hex17(p) + "|x"; }, "x"},
    {"PortBinary65Digits", [](std::uint16_t) { return "127.0.0.1|&B1" + std::string(64, '0') + "|x"; },
     std::nullopt},
    {"PortLoneAmpersand", [](std::uint16_t) { return "127.0.0.1|&|x"; }, std::nullopt},
    {"PortLoneMinus", [](std::uint16_t) { return "127.0.0.1|-|x"; }, std::nullopt},
    {"PortLonePoint", [](std::uint16_t) { return "127.0.0.1|.|x"; }, std::nullopt},
    {"PortLoneE", [](std::uint16_t) { return "127.0.0.1|e|x"; }, std::nullopt},
    {"PortPlus65536TimesMany", [](std::uint16_t p) { return "127.0.0.1|" + std::to_string(p + 65536.0 * 30000) + "|x"; },
     "x"},
};

template <typename Case>
std::string caseName(const ::testing::TestParamInfo<std::tuple<Case, Route>> &info) {
    return std::string(std::get<0>(info.param).name) +
           (std::get<1>(info.param) == Route::execAction ? "ByExecAction" : "ByDirectCall");
}

INSTANTIATE_TEST_SUITE_P(Texts, OpenPortBadText,
                         ::testing::Combine(::testing::ValuesIn(openCases),
                                            ::testing::Values(Route::execAction, Route::directCall)),
                         caseName<OpenCase>);
INSTANTIATE_TEST_SUITE_P(Texts, SendBadText,
                         ::testing::Combine(::testing::ValuesIn(sendCases),
                                            ::testing::Values(Route::execAction, Route::directCall)),
                         caseName<SendCase>);

// ---- The actions that read no field ----

TEST_F(BadParameterTest, ActionsWithoutFieldsIgnoreTheirText) {
    const std::string texts[] = {std::string(oneMebibyte, '\xff'), repeated("|", 5000), "1e400|&|-|.|e"};
    const LoopbackPeer peer;
    for (const auto &text : texts) {
        testing::recordingHost().clear();
        run(Route::execAction, myIp, text);
        EXPECT_EQ(variable("qv_chat_my_ip")->find_first_not_of("0123456789."), std::string::npos);

        // The peer learns the chat port from a first line and answers there.
        run(Route::execAction, openPort, "0");
        ASSERT_EQ(variable("qv_chat_open_port_status"), "Ok");
        run(Route::execAction, sendText, "127.0.0.1|" + std::to_string(peer.port()) + "|hello");
        ReceivedDatagram hello;
        ASSERT_EQ(peer.receive(hello), 0);
        ASSERT_EQ(peer.send("queued", hello.senderPort), 0);
        run(Route::directCall, receiveText, text);
        EXPECT_EQ(variable("qv_chat_text"), "queued");

        run(Route::directCall, closePort, text);
        testing::recordingDesktop().reset();
        run(Route::execAction, sendText, "127.0.0.1|" + std::to_string(peer.port()) + "|x");
        EXPECT_EQ(messageTexts(), std::vector<std::string>{"Bad file name or number\r\nError: 52."});
    }
}

} // namespace
} // namespace parlino
