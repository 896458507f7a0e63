#include "cases/chat_cases.h"
#include "support/time_bounds.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <utility>

namespace parlino::cases {
namespace {

using Kind = Step::Kind;
constexpr int openPort = 2, sendText = 3, receiveText = 4, closePort = 5;

Step exec(int action, std::string text = {}) { return {Kind::exec, action, std::move(text)}; }
Step timed(int action, int atLeastMs, int withinMs) {
    return {Kind::exec, action, {}, {}, {}, atLeastMs, withinMs};
}
Step direct(int action, std::string text = {}) { return {Kind::direct, action, std::move(text)}; }
Step peerSends(std::string text, std::string port) { return {Kind::peerSends, 0, std::move(text), std::move(port)}; }
Step variable(std::string name, std::string value) { return {Kind::variable, 0, std::move(value), std::move(name)}; }
Step status(std::string value) { return variable("qv_chat_open_port_status", std::move(value)); }
Step chatText(std::string value) { return variable("qv_chat_text", std::move(value)); }
Step events(Kind kind, std::vector<std::string> seen) { return {kind, 0, {}, {}, std::move(seen)}; }
Step check(Kind kind, std::string text = {}, std::string name = {}) { return {kind, 0, std::move(text), std::move(name)}; }

std::string titledBox(const std::string &text, std::uint32_t style) { return box("Parlino 1.0.0", text, style); }
const std::string noPortBox = titledBox("Bad file name or number\r\nError: 52.", 0);
const std::string unsentBox = titledBox("Device I/O error\r\nError: 57.", 0);
std::string portWarning(const std::string &port) {
    return titledBox("Choose another local port,\r\nDevice I/O error on " + port, 0x30);
}

std::vector<ChatCase> makeCases() {
    const std::string largeLine = std::string(59999, 'x') + "y";
    std::vector<ChatCase> rows{
        {"OpenShowsTheWaitCursorInPairsAndReportsOk",
         {exec(openPort, "{free}"), status("Ok"),
          events(Kind::desktop, {waitCursorLoaded, waitCursorSet, cursorShown, cursorRestored}),
          events(Kind::binds, {"0.0.0.0:{free}"}), peerSends("hello", "{free}"), exec(receiveText),
          chatText("hello")}},
        {"APortInUseShowsAWarningThenSetsError",
         {exec(openPort, "{peer}|ignored"),
          events(Kind::desktopEndsWith, {cursorRestored, pause(5), portWarning("{peer}")}),
          status("Error"), check(Kind::variableSets, "1"), check(Kind::setAfterDesktop), {Kind::forget},
          exec(sendText, "127.0.0.1|{peer}|hello"), events(Kind::desktop, {pause(5), noPortBox}),
          check(Kind::peerGetsNothing)}},
        {"AFailedOpenWritesThePortAsRead",
         {exec(openPort, "{peer+65536}"), status("Error"), events(Kind::boxes, {portWarning("{peer+65536}")})}},
        {"APortAbove65535BindsItsLowSixteenBits",
         {exec(openPort, "{free+65536}"), status("Ok"), events(Kind::binds, {"0.0.0.0:{free}"}),
          peerSends("low bits", "{free}"), exec(receiveText), chatText("low bits")}},
        {"OpeningAgainReleasesTheFirstPort",
         {exec(openPort, "{free}"), exec(openPort, "{free2}"), status("Ok"), check(Kind::portFree, "{free}"),
          peerSends("to the second", "{free2}"), exec(receiveText), chatText("to the second")}},
        {"SendsTheLineAsOneDatagramFromTheChatPort",
         {exec(openPort, "{free}"), {Kind::forget}, exec(sendText, "127.0.0.1|{peer}| hello"),
          check(Kind::peerGets, " hello", "{free}"), check(Kind::desktop),
          // The send waits for the socket to be writable, with no time limit.
          events(Kind::selects, {"write"})}},
        {"APortAbove65535SendsToItsLowSixteenBits",
         {exec(openPort, "0"), exec(sendText, "127.0.0.1|{peer+65536}|wrapped"), check(Kind::peerGets, "wrapped")}},
        {"SendWithoutAnOpenPortShowsError52",
         {exec(sendText, "127.0.0.1|{peer}|hello"), exec(openPort, "0"), exec(closePort),
          exec(sendText, "127.0.0.1|{peer}|hello"), events(Kind::boxes, {noPortBox, noPortBox}),
          check(Kind::selects), check(Kind::peerGetsNothing)}},
        {"AnUnreadableAddressIsRefusedWithError57AndNothingSent",
         {exec(openPort, "0"), {Kind::forget}, exec(sendText, "localhost|{peer}|hello"),
          events(Kind::desktop, {pause(5), unsentBox}), check(Kind::peerGetsNothing)}},
        {"ALineTooLongForADatagramShowsError57AndThePortStaysUsable",
         {exec(openPort, "0"), {Kind::forget}, exec(sendText, "127.0.0.1|{peer}|" + std::string(70000, 'x')),
          events(Kind::boxes, {unsentBox}), check(Kind::peerGetsNothing),
          exec(sendText, "127.0.0.1|{peer}|still here"), check(Kind::peerGets, "still here")}},
        {"ReceiveWaitsAbout1024MsThenGivesTheEmptyText",
         {exec(openPort, "0"), {Kind::forget}, timed(receiveText, 1000, 0),
          events(Kind::selects, {"read 1024000"}), chatText(nullValue)}},
        {"ReceiveWithoutAPortGivesTheEmptyTextWithoutWaiting",
         {exec(receiveText), exec(openPort, "0"), exec(closePort), {Kind::forget}, timed(receiveText, 0, -1),
          check(Kind::selects), check(Kind::variableSets, "1"), chatText(nullValue)}},
        {"DatagramsAreReceivedOneAtATimeInOrder",
         {exec(openPort, "{free}"), peerSends("first", "{free}"), peerSends("", "{free}"),
          peerSends("third", "{free}"), exec(receiveText, "the parameter is not read|1"), chatText("first"),
          exec(receiveText), chatText(nullValue), exec(receiveText), chatText("third")}},
        {"AReceivedZeroByteEndsTheTextTheHostSees",
         {exec(openPort, "{free}"), peerSends(std::string("ab\0cd", 5), "{free}"), exec(receiveText),
          chatText("ab")}},
        {"ALargeDatagramArrivesWhole",
         {exec(openPort, "{free}"), peerSends(largeLine, "{free}"), exec(receiveText), chatText(largeLine)}},
        {"CloseWithNothingOpenHasNoVisibleEffect",
         {exec(closePort), exec(closePort), direct(closePort, "5000"), check(Kind::variableSets, "0"),
          check(Kind::desktop)}},
        {"CloseReleasesThePort",
         {exec(openPort, "{free}"), exec(closePort), check(Kind::portFree, "{free}"),
          check(Kind::variableSets, "1")}},
        {"TheDirectExportsActLikeTheActions",
         {direct(openPort, "{free}"), status("Ok"), direct(sendText, "127.0.0.1|{peer}|direct"),
          check(Kind::peerGets, "direct"), peerSends("back", "{free}"), direct(receiveText), chatText("back"),
          direct(closePort), check(Kind::portFree, "{free}")}},
    };
    // Each opens a port the system chooses ("-1": opens without a bind) and
    // reports Ok without a message.
    for (const auto &[parameter, bound] : std::vector<std::pair<std::string, std::string>>{
             {"", "0"}, {"0", "0"}, {"0|x", "0"}, {"-1", ""}, {" 0 ", "0"}, {"abc", "0"}})
        rows.push_back({"OpensAndReportsOk_" + parameter,
                        {exec(openPort, parameter), status("Ok"), check(Kind::boxes),
                         events(Kind::binds, bound.empty() ? std::vector<std::string>{}
                                                          : std::vector<std::string>{"0.0.0.0:" + bound})}});
    // A blank line (only spaces, or no third field) sends the local time,
    // which both worlds fix at 07:05:03.
    for (const auto &[tail, sent] : std::vector<std::pair<std::string, std::string>>{
             {"|hello", "hello"}, {"|", "07:05:03"}, {"|   ", "07:05:03"}, {"", "07:05:03"}, {"|\t", "\t"},
             {"| a ", " a "}, {"|a|b", "a"}, {"|\"q\"", "\"q\""}, {"|\xe9t\xe9", "\xe9t\xe9"}})
        rows.push_back({"SendsTheTextOrTheTimeForABlankLine_" + tail,
                        {exec(openPort, "0"), exec(sendText, "127.0.0.1|{peer}" + tail), check(Kind::peerGets, sent)}});
    return rows;
}

std::vector<std::string> boxesOf(const std::vector<std::string> &events) {
    std::vector<std::string> boxes;
    for (const auto &event : events)
        if (event.rfind("box ", 0) == 0)
            boxes.push_back(event);
    return boxes;
}

} // namespace

const std::vector<ChatCase> &chatCases() {
    static const std::vector<ChatCase> rows = makeCases();
    return rows;
}

std::string chatCaseName(const ChatCase &chatCase, std::size_t index) {
    std::string name; // letters, digits and "_" only; a row named by its parameter gets its index too
    for (const char c : chatCase.name)
        name += (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ? c : '_';
    return name != chatCase.name || name.back() == '_' ? name + "_" + std::to_string(index) : name;
}

void runChatCase(const ChatCase &chatCase, ChatWorld &world) {
    const std::pair<std::string, std::int32_t> ports[] = {
        {"peer", world.peerPort()}, {"free2", world.freePort()}, {"free", world.freePort()}};
    const auto named = [&](std::string text) {
        for (const auto &[name, port] : ports)
            for (const auto &[written, value] : {std::pair{"{" + name + "+65536}", port + 65536},
                                                 std::pair{"{" + name + "}", port}})
                for (auto at = text.find(written); at != std::string::npos; at = text.find(written))
                    text.replace(at, written.size(), std::to_string(value));
        return text;
    };
    const auto allNamed = [&](std::vector<std::string> texts) {
        for (auto &text : texts)
            text = named(text);
        return texts;
    };
    const auto port = [&](const std::string &text) { return static_cast<std::uint16_t>(std::stoul(named(text))); };
    using ::testing::ElementsAreArray;
    int number = 0;
    for (const auto &step : chatCase.steps) {
        SCOPED_TRACE("step " + std::to_string(++number));
        switch (step.kind) {
        case Kind::exec: {
            const auto start = std::chrono::steady_clock::now();
            world.exec(step.action, named(step.text));
            const auto took = std::chrono::steady_clock::now() - start;
            EXPECT_GE(took, std::chrono::milliseconds(step.atLeastMs));
            if (step.withinMs < 0) {
                EXPECT_LT(took, testing::noWaitBound());
            } else if (step.withinMs > 0) {
                EXPECT_LT(took, testing::workBound(std::chrono::milliseconds(step.withinMs)));
            }
            break;
        }
        case Kind::direct: world.direct(step.action, named(step.text)); break;
        case Kind::peerSends: world.peerSend(step.text, port(step.name)); break;
        case Kind::forget: world.forget(); break;
        case Kind::variable: {
            std::optional<std::string> value;
            for (const auto &[name, set] : world.variables())
                if (name == step.name)
                    value = set;
            EXPECT_EQ(value, step.text) << step.name;
            break;
        }
        case Kind::variableSets: EXPECT_EQ(std::to_string(world.variables().size()), step.text); break;
        case Kind::desktop: EXPECT_THAT(world.desktop(), ElementsAreArray(allNamed(step.events))); break;
        case Kind::desktopEndsWith: {
            const auto events = world.desktop();
            const auto tail = static_cast<std::ptrdiff_t>(std::min(events.size(), step.events.size()));
            EXPECT_THAT(std::vector<std::string>(events.end() - tail, events.end()),
                        ElementsAreArray(allNamed(step.events)));
            break;
        }
        case Kind::boxes: EXPECT_THAT(boxesOf(world.desktop()), ElementsAreArray(allNamed(step.events))); break;
        case Kind::peerGets: {
            const auto datagram = world.peerReceive(true);
            ASSERT_TRUE(datagram.has_value());
            EXPECT_EQ(datagram->text, step.text);
            if (!step.name.empty()) {
                EXPECT_EQ(datagram->senderPort, port(step.name));
            }
            break;
        }
        case Kind::peerGetsNothing: EXPECT_FALSE(world.peerReceive(false).has_value()); break;
        case Kind::portFree: EXPECT_TRUE(world.canBind(port(step.text))) << step.text; break;
        case Kind::setAfterDesktop: EXPECT_EQ(world.desktopEventsAtLastSet(), world.desktop().size()); break;
        case Kind::binds:
            if (const auto binds = world.binds()) {
                EXPECT_THAT(*binds, ElementsAreArray(allNamed(step.events)));
            }
            break;
        case Kind::selects:
            if (const auto selects = world.selects()) {
                EXPECT_THAT(*selects, ElementsAreArray(step.events));
            }
            break;
        }
    }
}

} // namespace parlino::cases
