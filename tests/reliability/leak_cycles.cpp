// Open, send, receive and close the chat port through nbExecAction many times
// over, then failed opens on a port that is in use, then opens over an open
// port; afterwards the process must hold the same descriptors, the same open
// endpoints and the same global blocks as before. Run under valgrind (or an
// ASan build, whose leak check runs at exit) it also shows that no byte of
// memory is lost.
//
// Usage: parlino_leak_cycles [cycles per phase, default 10000]
#include "chat/test_seam.h"
#include "fakes/recording_desktop.h"
#include "fakes/recording_host.h"
#include "parlino.h"

#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace parlino;
using testing::recordingDesktop;
using testing::recordingHost;

struct ProcessResources {
    std::size_t descriptors = 0;
    std::vector<EndpointNumber> openEndpoints;
    int globalBlocks = 0;
    bool operator==(const ProcessResources &) const = default;
};

std::size_t openDescriptorCount() {
    std::size_t count = 0;
    if (DIR *folder = opendir("/proc/self/fd")) {
        while (const dirent *entry = readdir(folder))
            count += entry->d_name[0] != '.';
        closedir(folder);
    }
    return count - 1; // the descriptor of the listing itself
}

ProcessResources currentResources() {
    ProcessResources resources;
    resources.descriptors = openDescriptorCount();
    for (std::int32_t number = 1; number <= 32767; ++number)
        if (endpointSocket(static_cast<EndpointNumber>(number)) != platform::invalidSocket)
            resources.openEndpoints.push_back(static_cast<EndpointNumber>(number));
    resources.globalBlocks = recordingDesktop().liveGlobalBlocks;
    return resources;
}

void run(std::int32_t action, const std::string &parameter) {
    const char *text = parameter.c_str();
    nbExecAction(action, &text);
}

int failures = 0;

void expect(bool holds, const char *what, int cycle) {
    if (!holds && ++failures <= 10)
        std::fprintf(stderr, "cycle %d: %s\n", cycle, what);
}

// An endpoint of our own that answers every line it receives by sending it
// back to the port it came from: the chat port, whatever port the system
// chose for it. No fixed port is ever reused, so tests running beside this
// one cannot take a port from under it.
class Echo {
  public:
    Echo() : number_(nextFreeEndpointNumber()) {
        std::uint16_t networkOrder = 0;
        if (openEndpoint(number_, 0, chatTimeoutCode) != 0 ||
            platform::localPort(endpointSocket(number_), networkOrder) != platform::SocketOutcome::done)
            std::exit(2);
        port_ = std::to_string((networkOrder & 0xFF) << 8 | networkOrder >> 8);
    }
    ~Echo() { closeEndpoint(number_); }
    const std::string &port() const { return port_; }
    // The port the line came from, 0 when none came.
    std::uint16_t answer() const {
        ReceivedDatagram datagram;
        if (receiveDatagram(number_, datagram) != 0)
            return 0;
        sendDatagram(number_, datagram.sender, datagram.senderPort, datagram.text);
        return datagram.senderPort;
    }

  private:
    EndpointNumber number_;
    std::string port_;
};

void startCycle() {
    recordingHost().clear();
    recordingDesktop().reset();
}

// Opens the chat port (on `port`), sends a line that the echo sends back,
// receives it while it is already queued, and tells the chat port.
std::uint16_t chatWithEcho(int cycle, const Echo &echo, const std::string &port) {
    run(2, port);
    expect(recordingHost().lastValue("qv_chat_open_port_status") == "Ok", "open did not give Ok", cycle);
    const std::string line = "cycle " + std::to_string(cycle);
    run(3, "127.0.0.1|" + echo.port() + "|" + line);
    const std::uint16_t chatPort = echo.answer();
    run(4, "");
    expect(recordingHost().lastValue("qv_chat_text") == line, "the line did not come back", cycle);
    return chatPort;
}

void chatCycle(int cycle, const Echo &echo) {
    startCycle();
    chatWithEcho(cycle, echo, "0");
    run(5, "");
}

// The echo holds its port, so opening the chat there must fail.
void failedOpenCycle(int cycle, const Echo &echo) {
    startCycle();
    run(2, echo.port());
    expect(recordingHost().lastValue("qv_chat_open_port_status") == "Error", "open of a held port", cycle);
    expect(recordingDesktop().messageBoxes().size() == 1, "no message for the held port", cycle);
    run(3, "127.0.0.1|" + echo.port() + "|x"); // no port: the 52 message, nothing sent
    run(5, "");
}

// Opens again on the port that is open: the old endpoint is closed first.
void reopenCycle(int cycle, const Echo &echo) {
    startCycle();
    const std::uint16_t chatPort = chatWithEcho(cycle, echo, "0");
    const std::uint16_t again = chatWithEcho(cycle, echo, std::to_string(chatPort));
    expect(again == chatPort, "the reopen is on another port", cycle);
    run(5, "");
}

void report(const char *phase, int cycles, const ProcessResources &before, const ProcessResources &after) {
    std::printf("%-28s %6d cycles: descriptors %zu -> %zu, open endpoints %zu -> %zu, global blocks %d -> %d\n",
                phase, cycles, before.descriptors, after.descriptors, before.openEndpoints.size(),
                after.openEndpoints.size(), before.globalBlocks, after.globalBlocks);
    if (!(before == after)) {
        std::fprintf(stderr, "%s: the process holds other resources than before\n", phase);
        ++failures;
    }
}

// Runs `cycle` so many times with an echo of its own, and checks that the
// process holds what it held before.
template <typename Cycle> void phase(const char *name, int cycles, Cycle cycle) {
    const auto before = currentResources();
    {
        const Echo echo;
        for (int n = 1; n <= cycles; ++n)
            cycle(n, echo);
    }
    report(name, cycles, before, currentResources());
}

} // namespace

int main(int argc, char **argv) {
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 10000;
    recordingHost().registerModule();
    run(5, "");
    phase("first use", 1, chatCycle); // whatever the C library sets up once
    phase("open/send/receive/close", cycles, chatCycle);
    phase("failed open (port in use)", cycles, failedOpenCycle);
    phase("open over an open port", cycles, reopenCycle);
    if (failures != 0) {
        std::fprintf(stderr, "%d failures\n", failures);
        return 1;
    }
    return 0;
}
