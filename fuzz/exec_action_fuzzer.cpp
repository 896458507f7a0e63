// Runs a sequence of host calls to nbExecAction, with any action number and
// any parameter text, against a recording host, a recording desktop and a
// network kept in memory (no real socket is ever made). After every call the
// variables set, the message boxes shown and the datagrams sent must be
// exactly those the action owes, and the module must never use a socket it
// has closed nor leave one behind.
//
// Input: steps of one operation byte, a two-byte little-endian length and
// that many bytes (cut at the end of the input). Operation, low three bits:
//   0..4  run action 1..5 with the bytes as parameter text
//   5     run the action whose number is the first four bytes, text the rest
//   6     a datagram holding the bytes arrives at the chat port
//   7     another program takes (or gives back) the port in the first two bytes
// Bit 3 passes a null reference, bit 4 a reference holding null.
//
// Every call into the module runs as a careless host runs it: exceptions for
// overflow, zero divide and invalid operation unmasked, the x87 unit at
// 53-bit precision. The module must raise nothing and leave the FPU as it
// was; what the actions read must still be what the 64-bit reading gives.
#include "chat/endpoint.h"
#include "chat/error_texts.h"
#include "chat/number_text.h"
#include "fakes/memory_network.h"
#include "fakes/recording_desktop.h"
#include "fakes/recording_host.h"
#include "parlino.h"
#include "chat/text_fields.h"
#include "property.h"
#include "support/careless_fpu.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace parlino;
using parlino::testing::DesktopEvent;
using parlino::testing::MemoryNetwork;
using parlino::testing::memoryNetwork;
using parlino::testing::recordingDesktop;
using parlino::testing::recordingHost;
using parlino::testing::VariableSet;

constexpr std::uint32_t peerAddress = 0x020012C6; // 198.18.0.2, never a real peer
constexpr std::uint16_t peerPort = 4000;

// Only the module's own work runs with the host's FPU state, not libFuzzer's.
std::int32_t execAsCarelessHost(std::int32_t action, const char *const *reference) {
    std::int32_t result = 0;
    const auto run = parlino::testing::runAsCarelessHost([&] { result = nbExecAction(action, reference); });
    PROPERTY(run.after == run.before);
    return result;
}

struct Harness {
    bool chatOpen = false;
};

std::optional<std::string> hostValue(std::string_view text) {
    const auto cut = text.substr(0, text.find('\0'));
    return cut.empty() ? std::nullopt : std::optional<std::string>(cut);
}

std::string_view field(std::string_view text, std::int32_t n) { return parameterField(text, '|', n); }

std::uint16_t lowPortBits(std::int32_t port) { return static_cast<std::uint16_t>(port & 0xFFFF); }

parlino::testing::MemorySocket *chatSocket() {
    auto &sockets = memoryNetwork().sockets;
    return sockets.empty() ? nullptr : &sockets.begin()->second;
}

void checkInvariants() {
    auto &network = memoryNetwork();
    PROPERTY(network.misuses == 0);
    PROPERTY(network.sockets.size() <= 1);
    PROPERTY(network.libraryStarts == static_cast<int>(network.sockets.size()));
}

void checkOneMessage(const std::string &text, std::uint32_t style) {
    const auto &events = recordingDesktop().events;
    PROPERTY(recordingDesktop().messageBoxes().size() == 1);
    PROPERTY(events.size() >= 2);
    const auto &box = events.back();
    PROPERTY(box.kind == DesktopEvent::Kind::messageBox);
    PROPERTY(box.caption == "Parlino 1.0.0");
    PROPERTY(box.text == text);
    PROPERTY(box.value == style);
    const auto &pause = events[events.size() - 2];
    PROPERTY(pause.kind == DesktopEvent::Kind::pause && pause.value == 5);
}

void runAction(Harness &harness, std::int32_t action, const std::string &bytes, unsigned operation) {
    // What the host passes: the text up to its first zero byte, or nothing.
    const char *text = bytes.c_str();
    const char *const *reference = &text;
    const char *nullText = nullptr;
    if (operation & 8)
        reference = nullptr;
    else if (operation & 16)
        reference = &nullText;
    const std::string parameter = reference != nullptr && *reference != nullptr ? *reference : "";

    auto &network = memoryNetwork();
    const std::size_t sendsBefore = network.sendCount;
    std::optional<std::string> expectedText;
    std::size_t queuedBefore = 0;
    if (auto *socket = chatSocket(); harness.chatOpen && socket != nullptr && !socket->queue.empty()) {
        expectedText = hostValue(socket->queue.front().bytes);
        queuedBefore = socket->queue.size();
    }

    const std::int32_t result = execAsCarelessHost(action, reference);
    const auto sets = recordingHost().variableSets();
    const auto &events = recordingDesktop().events;
    checkInvariants();

    if (action < 1 || action > 5) {
        PROPERTY(result == 0);
        PROPERTY(sets.empty() && events.empty() && network.sendCount == sendsBefore);
        return;
    }
    PROPERTY(result == 1);
    switch (action) {
    case 1:
        PROPERTY(sets == std::vector<VariableSet>{{"qv_chat_my_ip", "198.18.0.1"}});
        PROPERTY(events.empty());
        break;
    case 2: {
        const std::int32_t port = portFromNumber(parseNumber(field(parameter, 1)));
        const bool portTaken = port != unboundPort && lowPortBits(port) != 0 &&
                               network.portsHeldElsewhere.contains(lowPortBits(port));
        PROPERTY(sets == std::vector<VariableSet>{{"qv_chat_open_port_status", portTaken ? "Error" : "Ok"}});
        PROPERTY(network.sockets.size() == (portTaken ? 0u : 1u));
        if (portTaken)
            checkOneMessage("Choose another local port,\r\nDevice I/O error on" + messageNumber(port), 0x30);
        else
            PROPERTY(recordingDesktop().messageBoxes().empty());
        if (!portTaken && port != unboundPort)
            PROPERTY(chatSocket()->boundPort.has_value() &&
                     (lowPortBits(port) == 0 || *chatSocket()->boundPort == lowPortBits(port)));
        PROPERTY(recordingDesktop().currentCursor == nullptr); // the cursor was put back
        harness.chatOpen = !portTaken;
        break;
    }
    case 3: {
        const Ipv4Address address = textToAddress(field(parameter, 1));
        const std::uint16_t port = lowPortBits(portFromNumber(parseNumber(field(parameter, 2))));
        std::string line(field(parameter, 3));
        if (line.find_first_not_of(' ') == std::string::npos)
            line = "14:03:09";
        std::uint8_t error = noError;
        if (!harness.chatOpen)
            error = badFileNameOrNumber;
        else if (address == 0 || address == 0xFFFFFFFF || port == 0 ||
                 line.size() > MemoryNetwork::largestDatagram)
            error = deviceIoError;
        PROPERTY(sets.empty());
        if (error != noError) {
            PROPERTY(network.sendCount == sendsBefore);
            checkOneMessage(std::string(errorNumberText(error)) + "\r\nError: " + std::to_string(error) + ".", 0);
        } else {
            PROPERTY(network.sendCount == sendsBefore + 1);
            const auto &sent = network.sent.back();
            PROPERTY(sent.bytes == line && sent.address == address && sent.port == port);
            PROPERTY(events.empty());
        }
        break;
    }
    case 4:
        PROPERTY(sets == std::vector<VariableSet>{{"qv_chat_text", expectedText}});
        PROPERTY(events.empty());
        if (queuedBefore != 0)
            PROPERTY(chatSocket()->queue.size() == queuedBefore - 1);
        break;
    case 5:
        PROPERTY(sets.empty() && events.empty());
        PROPERTY(network.sockets.empty());
        harness.chatOpen = false;
        break;
    }
}

// The module's chat state lives on from one input to the next: close the
// chat port and check that nothing was left behind.
void startAfresh() {
    static const bool registered = (recordingHost().registerModule(), true);
    static_cast<void>(registered);
    nbExecAction(5, nullptr);
    checkInvariants();
    PROPERTY(memoryNetwork().sockets.empty() && memoryNetwork().libraryStarts == 0);
    memoryNetwork().reset();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    startAfresh();
    Harness harness;
    std::size_t at = 0;
    while (at + 3 <= size) {
        const unsigned operation = data[at];
        const std::size_t length = std::min<std::size_t>(data[at + 1] | data[at + 2] << 8, size - at - 3);
        const std::string bytes(reinterpret_cast<const char *>(data) + at + 3, length);
        at += 3 + length;

        recordingHost().clear();
        recordingDesktop().reset();
        switch (operation & 7) {
        case 5: {
            std::int32_t action = 0;
            std::memcpy(&action, bytes.data(), std::min<std::size_t>(bytes.size(), sizeof action));
            runAction(harness, action, bytes.size() > 4 ? bytes.substr(4) : std::string(), operation);
            break;
        }
        case 6:
            if (auto *socket = chatSocket(); socket != nullptr && socket->boundPort.has_value())
                memoryNetwork().deliver(*socket->boundPort, bytes, peerAddress, peerPort);
            break;
        case 7: {
            std::uint16_t port = 0;
            std::memcpy(&port, bytes.data(), std::min<std::size_t>(bytes.size(), sizeof port));
            auto &held = memoryNetwork().portsHeldElsewhere;
            if (!held.erase(port))
                held.insert(port);
            break;
        }
        default:
            runAction(harness, static_cast<std::int32_t>(operation & 7) + 1, bytes, operation);
        }
    }
    return 0;
}
