#include "cases/chat_cases.h"

#include <utility>

namespace parlino::cases {
namespace {

using Kind = Step::Kind;

Step exec(int action, std::string text = {}) { return {Kind::exec, action, std::move(text)}; }
Step direct(int action, std::string text = {}) { return {Kind::direct, action, std::move(text)}; }
Step peerSends(std::string text, std::string port) {
    return {Kind::peerSends, 0, std::move(text), std::move(port)};
}
Step forget() { return {Kind::forget}; }
Step variable(std::string name, std::string value) {
    return {Kind::variable, 0, std::move(value), std::move(name)};
}
Step status(std::string value) { return variable("qv_chat_open_port_status", std::move(value)); }
Step chatText(std::string value) { return variable("qv_chat_text", std::move(value)); }
Step check(Kind kind, std::vector<std::string> events = {}) { return {kind, 0, {}, {}, std::move(events)}; }
Step peerGets(std::string text, std::string fromPort = {}) {
    return {Kind::peerGets, 0, std::move(text), std::move(fromPort)};
}
Step portFree(std::string port) { return {Kind::portFree, 0, std::move(port)}; }

const std::string noPortBox = box("Bad file name or number\r\nError: 52.", 0);
const std::string unsentBox = box("Device I/O error\r\nError: 57.", 0);
std::string portWarning(const std::string &port) {
    return box("Choose another local port,\r\nDevice I/O error on " + port, 0x30);
}

std::vector<ChatCase> makeCases() {
    std::vector<ChatCase> rows{
        {"OpenShowsTheWaitCursorInPairsAndReportsOk",
         {exec(openPort, "{free}"), status("Ok"),
          check(Kind::desktop, {waitCursorLoaded, waitCursorSet, cursorShown, cursorRestored}),
          check(Kind::binds, {"0.0.0.0:{free}"}), peerSends("hello", "{free}"), exec(receiveText),
          chatText("hello")}},
        {"APortInUseShowsAWarningThenSetsError",
         {exec(openPort, "{peer}|ignored"),
          check(Kind::desktopEndsWith, {cursorRestored, pauseBeforeBox, portWarning("{peer}")}),
          status("Error"), check(Kind::setAfterDesktop), forget(),
          exec(sendText, "127.0.0.1|{peer}|hello"),
          check(Kind::desktop, {pauseBeforeBox, noPortBox}), check(Kind::peerGetsNothing)}},
        {"AFailedOpenWritesThePortAsRead",
         {exec(openPort, "{peer+65536}"), status("Error"),
          check(Kind::boxes, {portWarning("{peer+65536}")})}},
        {"OpeningAgainReleasesTheFirstPort",
         {exec(openPort, "{free}"), exec(openPort, "{free2}"), status("Ok"), portFree("{free}"),
          peerSends("to the second", "{free2}"), exec(receiveText), chatText("to the second")}},
        {"SendsTheLineAsOneDatagramFromTheChatPort",
         {exec(openPort, "{free}"), forget(), exec(sendText, "127.0.0.1|{peer}| hello"),
          peerGets(" hello", "{free}"), check(Kind::desktop),
          // The send waits for the socket to be writable, with no time limit.
          check(Kind::selects, {"write"})}},
        {"SendWithoutAnOpenPortShowsError52",
         {exec(sendText, "127.0.0.1|{peer}|hello"), exec(openPort, "0"), exec(closePort),
          exec(sendText, "127.0.0.1|{peer}|hello"), check(Kind::boxes, {noPortBox, noPortBox}),
          check(Kind::selects), check(Kind::peerGetsNothing)}},
        {"AnUnreadableAddressIsRefusedWithError57AndNothingSent",
         {exec(openPort, "0"), forget(), exec(sendText, "localhost|{peer}|hello"),
          check(Kind::desktop, {pauseBeforeBox, unsentBox}), check(Kind::peerGetsNothing)}},
        {"AReceivedZeroByteEndsTheTextTheHostSees",
         {exec(openPort, "{free}"), peerSends(std::string("ab\0cd", 5), "{free}"), exec(receiveText),
          chatText("ab")}},
        {"CloseWithNothingOpenHasNoVisibleEffect",
         {exec(closePort), exec(closePort), direct(closePort, "5000"), check(Kind::noVariables),
          check(Kind::desktop)}},
        {"TheDirectExportsActLikeTheActions",
         {direct(openPort, "{free}"), status("Ok"), direct(sendText, "127.0.0.1|{peer}|direct"),
          peerGets("direct"), peerSends("back", "{free}"), direct(receiveText), chatText("back"),
          direct(closePort), portFree("{free}")}},
    };
    // Opening with any of these parameters opens a port the system chooses,
    // or ("-1") opens without a bind, and reports Ok without a message.
    for (const auto &[parameter, bound] : std::vector<std::pair<std::string, std::string>>{
             {"", "0"}, {"0", "0"}, {"0|x", "0"}, {"-1", ""}, {" 0 ", "0"}, {"abc", "0"}}) {
        std::vector<std::string> binds;
        if (!bound.empty())
            binds.push_back("0.0.0.0:" + bound);
        rows.push_back({"OpensAndReportsOk_" + parameter,
                        {exec(openPort, parameter), status("Ok"), check(Kind::boxes),
                         check(Kind::binds, binds)}});
    }
    // A blank line (nothing but spaces, or no third field) sends the local
    // time instead, which both suites fix at 07:05:03.
    for (const auto &[tail, sent] : std::vector<std::pair<std::string, std::string>>{
             {"|hello", "hello"}, {"|", "07:05:03"}, {"|   ", "07:05:03"}, {"", "07:05:03"},
             {"|\t", "\t"}, {"| a ", " a "}, {"|a|b", "a"}, {"|\"q\"", "\"q\""},
             {"|\xe9t\xe9", "\xe9t\xe9"}}) {
        rows.push_back({"SendsTheTextOrTheTimeForABlankLine_" + tail,
                        {exec(openPort, "0"), exec(sendText, "127.0.0.1|{peer}" + tail), peerGets(sent)}});
    }
    return rows;
}

} // namespace

const std::vector<ChatCase> &chatCases() {
    static const std::vector<ChatCase> rows = makeCases();
    return rows;
}

std::string chatCaseName(const ChatCase &chatCase, std::size_t index) {
    // GoogleTest names hold letters, digits and underscores only; a row named
    // after its parameter gets its index too, to stay apart from the others.
    std::string name;
    for (const char c : chatCase.name)
        name += (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ? c : '_';
    return name != chatCase.name || name.back() == '_' ? name + "_" + std::to_string(index) : name;
}

} // namespace parlino::cases
