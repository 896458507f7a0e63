// Lines per second from one publication to another on loopback, next to
// socat sending the same 5-byte lines to a socat receiver, in one run.
//
// A publication here is a process that loads the module with dlopen and runs
// its actions through nbExecAction, as a host does: the sender runs the send
// action once per line, the receiver runs the receive action until a wait
// comes back empty. socat sends 5 bytes per read (-b 5) from a file of lines,
// so that it, too, puts one line in each datagram.
//
// Every line is five characters naming its place in the run, so the
// receiving side can tell a whole line from a broken one and count each once.
// Prints one JSON object; the rates are reported, never judged.
#include "bench/bare_socket.h"
#include "bench/loaded_module.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace parlino::bench {
namespace {

constexpr std::size_t lineLength = 5;
constexpr char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr std::uint64_t base = 62;

void encodeLine(std::uint64_t number, char *out) {
    for (std::size_t i = lineLength; i-- > 0; number /= base)
        out[i] = digits[number % base];
}

// The line's number, or -1 when the text is not a whole line.
std::int64_t decodeLine(const char *text, std::size_t length) {
    if (length != lineLength)
        return -1;
    std::int64_t number = 0;
    for (std::size_t i = 0; i < lineLength; ++i) {
        const char *at = std::strchr(digits, text[i]);
        if (text[i] == '\0' || at == nullptr)
            return -1;
        number = number * static_cast<std::int64_t>(base) + (at - digits);
    }
    return number;
}

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Counts lines as they arrive: whole ones in order are delivered, anything
// else is broken.
struct Tally {
    std::uint64_t delivered = 0;
    std::uint64_t broken = 0;
    std::int64_t last = -1;
    void take(const char *text, std::size_t length) {
        const auto number = decodeLine(text, length);
        if (number <= last) {
            ++broken;
            return;
        }
        last = number;
        ++delivered;
    }
};

struct RunResult {
    std::string kind;
    std::uint64_t sent = 0;
    std::uint64_t delivered = 0;
    std::uint64_t broken = 0;
    double sendSeconds = 0;
};

void writeAll(int descriptor, const void *data, std::size_t length) {
    const auto *bytes = static_cast<const char *>(data);
    while (length > 0) {
        const auto written = ::write(descriptor, bytes, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            _exit(3);
        bytes += written;
        length -= static_cast<std::size_t>(written);
    }
}

bool readAll(int descriptor, void *data, std::size_t length) {
    auto *bytes = static_cast<char *>(data);
    while (length > 0) {
        const auto got = ::read(descriptor, bytes, length);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        bytes += got;
        length -= static_cast<std::size_t>(got);
    }
    return true;
}

// ---- Two publications ----

[[noreturn]] void receivingPublication(std::uint16_t port, int readyPipe, int resultPipe) {
    const auto &module = LoadedModule::instance();
    module.execute(2, std::to_string(port).c_str());
    const char ready = module.lastValue() == "Ok" ? 'R' : 'E';
    writeAll(readyPipe, &ready, 1);
    Tally tally;
    int emptyWaits = 0;
    // Until one wait after the first line comes back empty (the sender has
    // finished), or five before any line came.
    for (;;) {
        module.execute(4, nullptr);
        const auto text = module.lastValue();
        if (text.empty()) {
            if (tally.delivered + tally.broken > 0 || ++emptyWaits == 5)
                break;
            continue;
        }
        tally.take(text.data(), text.size());
    }
    module.execute(5, nullptr);
    const std::array<std::uint64_t, 2> result{tally.delivered, tally.broken};
    writeAll(resultPipe, result.data(), sizeof result);
    _exit(0);
}

[[noreturn]] void sendingPublication(std::uint16_t port, std::uint64_t lines, int resultPipe) {
    const auto &module = LoadedModule::instance();
    module.execute(2, "0");
    std::string parameter = loopbackField(port) + "|" + std::string(lineLength, ' ');
    char *line = parameter.data() + parameter.size() - lineLength;
    const auto start = nowNs();
    for (std::uint64_t number = 0; number < lines; ++number) {
        encodeLine(number, line);
        module.execute(3, parameter.c_str());
    }
    const std::int64_t elapsed = nowNs() - start;
    module.execute(5, nullptr);
    writeAll(resultPipe, &elapsed, sizeof elapsed);
    _exit(0);
}

RunResult publicationToPublication(std::uint64_t lines) {
    RunResult result{"parlino", lines};
    const auto port = freePort();
    int ready[2], received[2], sent[2];
    if (::pipe(ready) != 0 || ::pipe(received) != 0 || ::pipe(sent) != 0)
        std::exit(2);
    const pid_t receiver = ::fork();
    if (receiver == 0)
        receivingPublication(port, ready[1], received[1]);
    char readyByte = 0;
    if (!readAll(ready[0], &readyByte, 1) || readyByte != 'R') {
        std::fprintf(stderr, "line rate: the receiving publication could not open port %u\n", port);
        std::exit(2);
    }
    const pid_t sender = ::fork();
    if (sender == 0)
        sendingPublication(port, lines, sent[1]);
    std::int64_t elapsed = 0;
    std::array<std::uint64_t, 2> tally{};
    const bool complete = readAll(sent[0], &elapsed, sizeof elapsed) &&
                          readAll(received[0], tally.data(), sizeof tally);
    ::waitpid(sender, nullptr, 0);
    ::waitpid(receiver, nullptr, 0);
    for (int descriptor : {ready[0], ready[1], received[0], received[1], sent[0], sent[1]})
        ::close(descriptor);
    if (!complete) {
        std::fprintf(stderr, "line rate: a publication ended without a result\n");
        std::exit(2);
    }
    result.delivered = tally[0];
    result.broken = tally[1];
    result.sendSeconds = static_cast<double>(elapsed) / 1e9;
    return result;
}

// ---- socat to socat ----

pid_t spawn(const std::vector<std::string> &arguments, int standardOutput) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (standardOutput >= 0)
            ::dup2(standardOutput, STDOUT_FILENO);
        std::vector<char *> argv;
        for (const auto &argument : arguments)
            argv.push_back(const_cast<char *>(argument.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

// Whether something is bound to 127.0.0.1:port, from the kernel's UDP table.
bool udpPortBound(std::uint16_t port) {
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
    std::ifstream table("/proc/net/udp");
    const std::string text((std::istreambuf_iterator<char>(table)), std::istreambuf_iterator<char>());
    return text.find(wanted) != std::string::npos;
}

// Waits for a child for at most `seconds`, then stops it; its exit status.
int reap(pid_t child, double seconds) {
    const auto deadline = nowNs() + static_cast<std::int64_t>(seconds * 1e9);
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (nowNs() > deadline) {
            ::kill(child, SIGTERM);
            ::waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return status;
}

RunResult socatToSocat(std::uint64_t lines, const std::string &socat, const std::string &directory) {
    RunResult result{"socat", lines};
    const std::string linesPath = directory + "/lines", receivedPath = directory + "/received";
    {
        std::string all(lines * lineLength, ' ');
        for (std::uint64_t number = 0; number < lines; ++number)
            encodeLine(number, all.data() + number * lineLength);
        std::ofstream(linesPath, std::ios::binary) << all;
    }
    const auto port = freePort();
    const int output = ::open(receivedPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    // -T 1: the receiver ends after a second with nothing arriving.
    const pid_t receiver = spawn({socat, "-u", "-T", "1",
                                  "UDP4-RECV:" + std::to_string(port) + ",bind=127.0.0.1", "STDOUT"},
                                 output);
    ::close(output);
    for (int tries = 0; !udpPortBound(port) && tries < 400; ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto start = nowNs();
    const pid_t sender = spawn({socat, "-u", "-b", std::to_string(lineLength), "OPEN:" + linesPath + ",rdonly",
                                "UDP4-SENDTO:127.0.0.1:" + std::to_string(port)},
                               -1);
    reap(sender, 120);
    result.sendSeconds = static_cast<double>(nowNs() - start) / 1e9;
    reap(receiver, 10);

    std::ifstream in(receivedPath, std::ios::binary);
    const std::string received((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Tally tally;
    // socat writes the datagrams one after another; a length that is not a
    // multiple of five means some datagram was not a whole line.
    for (std::size_t at = 0; at < received.size(); at += lineLength)
        tally.take(received.data() + at, std::min(lineLength, received.size() - at));
    result.delivered = tally.delivered;
    result.broken = tally.broken;
    std::remove(linesPath.c_str());
    std::remove(receivedPath.c_str());
    return result;
}

void printJson(const std::vector<RunResult> &results, std::uint64_t lines) {
    std::printf("{\n  \"lines_per_run\": %" PRIu64 ",\n  \"line_bytes\": %zu,\n  \"runs\": [\n", lines,
                lineLength);
    for (std::size_t i = 0; i < results.size(); ++i) {
        const auto &r = results[i];
        std::printf("    {\"kind\": \"%s\", \"sent\": %" PRIu64 ", \"delivered\": %" PRIu64
                    ", \"broken\": %" PRIu64 ", \"send_seconds\": %.6f}%s\n",
                    r.kind.c_str(), r.sent, r.delivered, r.broken, r.sendSeconds,
                    i + 1 < results.size() ? "," : "");
    }
    std::printf("  ]\n}\n");
}

} // namespace
} // namespace parlino::bench

int main(int argc, char **argv) {
    using namespace parlino::bench;
    std::uint64_t lines = 200000;
    int rounds = 3;
    std::string socat = "socat";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i], value = argv[i + 1];
        if (option == "--lines")
            lines = std::strtoull(value.c_str(), nullptr, 10);
        else if (option == "--rounds")
            rounds = std::atoi(value.c_str());
        else if (option == "--socat")
            socat = value;
        else {
            std::fprintf(stderr, "usage: %s [--lines N] [--rounds R] [--socat PATH]\n", argv[0]);
            return 2;
        }
    }
    char directory[] = "/tmp/parlino-line-rate-XXXXXX";
    if (::mkdtemp(directory) == nullptr)
        return 2;
    std::vector<RunResult> results;
    // Alternating, so that both feel the same drift of a shared machine.
    for (int round = 0; round < rounds; ++round) {
        results.push_back(publicationToPublication(lines));
        std::fprintf(stderr, "parlino: %" PRIu64 " of %" PRIu64 " in %.3f s\n", results.back().delivered,
                     lines, results.back().sendSeconds);
        results.push_back(socatToSocat(lines, socat, directory));
        std::fprintf(stderr, "socat:   %" PRIu64 " of %" PRIu64 " in %.3f s\n", results.back().delivered,
                     lines, results.back().sendSeconds);
    }
    ::rmdir(directory);
    printJson(results, lines);
    return 0;
}
