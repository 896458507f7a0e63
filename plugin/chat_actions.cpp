// The five chat actions, exported as direct calls and dispatched to by
// nbExecAction. They report through host variables and message boxes only.
#include "catalogue.h"
#include "chat/busy_cursor.h"
#include "chat/endpoint.h"
#include "chat/error_texts.h"
#include "chat/number_text.h"
#include "chat/text_fields.h"
#include "host_link.h"
#include "parlino.h"
#include "platform/platform.h"

#include <array>
#include <cstdio>
#include <string>
#include <string_view>

namespace parlino {
namespace {

constexpr std::string_view myIpVariable = "qv_chat_my_ip";
constexpr std::string_view openStatusVariable = "qv_chat_open_port_status";
constexpr std::string_view textVariable = "qv_chat_text";
constexpr char fieldSeparator = '|';
constexpr std::uint32_t warningStyle = 0x30; // OK button, exclamation icon
constexpr std::uint32_t plainStyle = 0;      // OK button, no icon
constexpr std::uint32_t pauseBeforeMessage = 5;

// The endpoint number of the chat port; 0 = none. A closed port's number
// stays here until the next open.
std::int32_t chatEndpointNumber = 0;

void showMessage(const std::string &text, std::uint32_t style) {
    platform::sleepMilliseconds(pauseBeforeMessage);
    platform::showMessageBox(std::string(productTitle).c_str(), text.c_str(), style);
}

// The parameter text, null being the empty text. Each action measures it
// once: a send's line may be 64 KiB long, and its three fields are all
// taken from the same text.
std::string_view parameterText(const char *parameter) {
    return parameter != nullptr ? std::string_view(parameter) : std::string_view();
}

std::string_view field(std::string_view parameter, std::int32_t n) {
    return parameterField(parameter, fieldSeparator, n);
}

// HH:MM:SS on the 24-hour clock, sent in place of a blank line.
std::string timeOfDayText() {
    const auto now = platform::localTimeOfDay();
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", now.hour, now.minute, now.second);
    return text;
}

void myIp() { setHostVariable(myIpVariable, addressToText(hostAddress({}, 1))); }

void openPort(const char *parameter) {
    const std::int32_t port = portFromText(field(parameterText(parameter), 1));
    setBusyCursor(true);
    if (chatEndpointNumber != 0) {
        closeEndpoint(static_cast<EndpointNumber>(chatEndpointNumber));
        chatEndpointNumber = 0;
    }
    // With every number taken this is -1, which the open refuses with 52.
    chatEndpointNumber = nextFreeEndpointNumber();
    const auto error =
        openEndpoint(static_cast<EndpointNumber>(chatEndpointNumber), port, chatTimeoutCode);
    setBusyCursor(false);
    std::string_view status = "Ok";
    if (error != noError) {
        showMessage("Choose another local port,\r\n" + std::string(errorNumberText(error)) + " on" +
                        messageNumber(port),
                    warningStyle);
        chatEndpointNumber = 0;
        status = "Error";
    }
    setHostVariable(openStatusVariable, status);
}

void sendText(const char *parameter) {
    std::array<std::string_view, 3> fields; // address, port, line
    leadingFields(parameterText(parameter), fieldSeparator, fields);
    const Ipv4Address address = textToAddress(fields[0]);
    const std::int32_t port = portFromText(fields[1]);
    std::string_view text = fields[2];
    std::string timeText;
    if (text.find_first_not_of(' ') == std::string_view::npos) {
        timeText = timeOfDayText();
        text = timeText;
    }
    const auto error = sendDatagram(static_cast<EndpointNumber>(chatEndpointNumber), address, port, text);
    if (error != noError)
        showMessage(std::string(errorNumberText(error)) + "\r\n" + socketErrorText(error),
                    plainStyle);
}

void receiveText() {
    ReceivedDatagram datagram;
    receiveDatagram(static_cast<EndpointNumber>(chatEndpointNumber), datagram);
    // The received text is this call's own copy already: the host is lent it.
    setHostVariableFromOwnCopy(textVariable, datagram.text);
}

void closePort() { closeEndpoint(static_cast<EndpointNumber>(chatEndpointNumber)); }

// Runs an action so that nothing it throws (only out of memory can) reaches the caller.
template <typename Action> int32_t guarded(Action action) {
    try {
        action();
    } catch (...) {
    }
    return 0;
}

} // namespace
} // namespace parlino

extern "C" {

int32_t PARLINO_CALL QV_CHAT_MY_IP(const char *) {
    return parlino::guarded([] { parlino::myIp(); });
}

int32_t PARLINO_CALL QV_CHAT_OPEN_PORT(const char *parameter) {
    return parlino::guarded([parameter] { parlino::openPort(parameter); });
}

int32_t PARLINO_CALL QV_CHAT_SEND_TXT(const char *parameter) {
    return parlino::guarded([parameter] { parlino::sendText(parameter); });
}

int32_t PARLINO_CALL QV_CHAT_RCV_TXT(const char *) {
    return parlino::guarded([] { parlino::receiveText(); });
}

int32_t PARLINO_CALL QV_CHAT_CLOSE_PORT(const char *) {
    return parlino::guarded([] { parlino::closePort(); });
}

int32_t PARLINO_CALL QV_CHAT_MYIP(const char *) { return 0; }

} // extern "C"
