// Open, send, receive and close the chat port through nbExecAction many times
// over, then failed opens on a port that is in use, then opens over an open
// port; afterwards the process must hold the same descriptors, the same open
// endpoints and the same global blocks as before. Run under valgrind (or an
// ASan build, whose leak check runs at exit) it also shows that no byte of
// memory is lost.
//
// Usage: parlino_leak_cycles [cycles per phase, default 10000]
#include "chat/endpoint.h"
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

// A port that was free a moment ago, bound with port 0 and released.
std::uint16_t freePort() {
    const EndpointNumber probe = nextFreeEndpointNumber();
    std::uint16_t networkOrder = 0;
    if (openEndpoint(probe, 0, 0) != 0 ||
        platform::localPort(endpointSocket(probe), networkOrder) != platform::SocketOutcome::done)
        std::exit(2);
    closeEndpoint(probe);
    return static_cast<std::uint16_t>((networkOrder & 0xFF) << 8 | networkOrder >> 8);
}

void startCycle() {
    recordingHost().clear();
    recordingDesktop().reset();
}

// Open, send to ourselves, receive what is already queued, close.
void chatCycle(int cycle, const std::string &port) {
    startCycle();
    run(2, port);
    expect(recordingHost().lastValue("qv_chat_open_port_status") == "Ok", "open did not give Ok", cycle);
    const std::string line = "cycle " + std::to_string(cycle);
    run(3, "127.0.0.1|" + port + "|" + line);
    run(4, "");
    expect(recordingHost().lastValue("qv_chat_text") == line, "the line did not come back", cycle);
    run(5, "");
}

void failedOpenCycle(int cycle, const std::string &heldPort) {
    startCycle();
    run(2, heldPort);
    expect(recordingHost().lastValue("qv_chat_open_port_status") == "Error", "open of a held port", cycle);
    expect(recordingDesktop().messageBoxes().size() == 1, "no message for the held port", cycle);
    run(3, "127.0.0.1|" + heldPort + "|x"); // no port: the 52 message, nothing sent
    run(5, "");
}

void reopenCycle(int cycle, const std::string &port) {
    startCycle();
    run(2, port);
    run(2, port); // over the open port: the old one is closed first
    expect(recordingHost().lastValue("qv_chat_open_port_status") == "Ok", "reopen did not give Ok", cycle);
    run(3, "127.0.0.1|" + port + "|again");
    run(4, "");
    expect(recordingHost().lastValue("qv_chat_text") == "again", "nothing after the reopen", cycle);
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

} // namespace

int main(int argc, char **argv) {
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 10000;
    recordingHost().registerModule();
    const std::string port = std::to_string(freePort());

    chatCycle(0, port); // first use: whatever the C library sets up once
    run(5, "");

    auto before = currentResources();
    for (int cycle = 1; cycle <= cycles; ++cycle)
        chatCycle(cycle, port);
    report("open/send/receive/close", cycles, before, currentResources());

    before = currentResources();
    {
        const EndpointNumber holder = nextFreeEndpointNumber();
        if (openEndpoint(holder, std::stoi(port), 0) != 0)
            return 2;
        for (int cycle = 1; cycle <= cycles; ++cycle)
            failedOpenCycle(cycle, port);
        closeEndpoint(holder);
    }
    report("failed open (port in use)", cycles, before, currentResources());

    before = currentResources();
    for (int cycle = 1; cycle <= cycles; ++cycle)
        reopenCycle(cycle, port);
    run(5, "");
    report("open over an open port", cycles, before, currentResources());

    if (failures != 0) {
        std::fprintf(stderr, "%d failures\n", failures);
        return 1;
    }
    return 0;
}
