// Lines per second from one publication to another on loopback, next to
// socat sending the same 5-byte lines to a socat receiver, in one run.
//
// Three kinds of run, alternating round by round:
// - "publications": two `parlino run` processes, the reference host playing
//   publications/send_lines.pub and publications/receive_lines.pub; the
//   receiving publication prints every line it receives.
// - "module": the module alone, without the host's interpreter: two processes
//   that load Parlino.so with dlopen and run the send and receive actions
//   through nbExecAction, as a host does, with nothing else per line.
// - "socat": socat sends the lines from a file five bytes per read (-b 5), so
//   one line per datagram, to a socat receiver that writes them to a file.
//
// Every line names its place in the run, so the receiving side can tell a
// whole line from a broken one. Each sender is timed from its start to its
// exit. Prints one JSON object; the rates are reported, never judged.
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
    RunResult result{"module", lines};
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
    const auto start = nowNs();
    const pid_t sender = ::fork();
    if (sender == 0)
        sendingPublication(port, lines, sent[1]);
    std::int64_t elapsed = 0;
    std::array<std::uint64_t, 2> tally{};
    bool complete = readAll(sent[0], &elapsed, sizeof elapsed);
    ::waitpid(sender, nullptr, 0);
    elapsed = nowNs() - start; // from its start to its exit, as the other kinds
    complete = complete && readAll(received[0], tally.data(), sizeof tally);
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

// Whether something is bound to the port on 127.0.0.1 or on every address,
// from the kernel's UDP table.
bool udpPortBound(std::uint16_t port) {
    char loopbackOnly[32], anyAddress[32];
    std::snprintf(loopbackOnly, sizeof loopbackOnly, "0100007F:%04X ", port);
    std::snprintf(anyAddress, sizeof anyAddress, "00000000:%04X ", port);
    std::ifstream table("/proc/net/udp");
    const std::string text((std::istreambuf_iterator<char>(table)), std::istreambuf_iterator<char>());
    return text.find(loopbackOnly) != std::string::npos || text.find(anyAddress) != std::string::npos;
}

void waitUntilBound(std::uint16_t port) {
    for (int tries = 0; !udpPortBound(port) && tries < 1000; ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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
    waitUntilBound(port);
    const auto start = nowNs();
    const pid_t sender = spawn({socat, "-u", "-b", std::to_string(lineLength), "OPEN:" + linesPath + ",rdonly",
                                "UDP4-SENDTO:127.0.0.1:" + std::to_string(port)},
                               -1);
    reap(sender, 120);
    result.sendSeconds = static_cast<double>(nowNs() - start) / 1e9;
    reap(receiver, 10);

    const std::string received = readFile(receivedPath);
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

// ---- Two publications played by the reference host ----

// The sending publication goes through the 59,049 lines of five digits 1 to 9
// in order, `rounds` times; the receiving one prints each line it gets.
constexpr std::uint64_t linesPerPublicationRound = 9 * 9 * 9 * 9 * 9;

RunResult hostPublications(std::uint64_t rounds, const std::string &host,
                           const std::string &publications, const std::string &directory) {
    RunResult result{"publications", rounds * linesPerPublicationRound};
    const std::string receivedPath = directory + "/printed";
    const auto port = freePort();
    const int output = ::open(receivedPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t receiver =
        spawn({host, "run", publications + "/receive_lines.pub", "--module", modulePath(), "--set",
               "my_port=" + std::to_string(port)},
              output);
    ::close(output);
    waitUntilBound(port);
    const auto start = nowNs();
    const pid_t sender =
        spawn({host, "run", publications + "/send_lines.pub", "--module", modulePath(), "--set",
               "peer_port=" + std::to_string(port), "--set", "rounds=" + std::to_string(rounds)},
              -1);
    reap(sender, 120);
    result.sendSeconds = static_cast<double>(nowNs() - start) / 1e9;
    reap(receiver, 10);

    // One printed line per line received: five digits 1 to 9, counting up in
    // base 9 and starting again at 11111 with each round of the sender.
    const std::string printed = readFile(receivedPath);
    std::int64_t last = -1;
    for (std::size_t at = 0; at < printed.size();) {
        const auto end = printed.find('\n', at);
        const std::string_view line(printed.data() + at,
                                    (end == std::string::npos ? printed.size() : end) - at);
        at = end == std::string::npos ? printed.size() : end + 1;
        std::int64_t number = 0;
        bool whole = line.size() == lineLength;
        for (const char c : line) {
            whole = whole && c >= '1' && c <= '9';
            number = number * 9 + (c - '1');
        }
        if (!whole || number == last) {
            ++result.broken;
            continue;
        }
        last = number;
        ++result.delivered;
    }
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
    std::uint64_t rounds = 4; // of 59,049 lines
    int runs = 3;
    std::string socat = "socat", host, publications;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i], value = argv[i + 1];
        if (option == "--rounds")
            rounds = std::strtoull(value.c_str(), nullptr, 10);
        else if (option == "--runs")
            runs = std::atoi(value.c_str());
        else if (option == "--socat")
            socat = value;
        else if (option == "--host")
            host = value;
        else if (option == "--publications")
            publications = value;
        else {
            std::fprintf(stderr,
                         "usage: %s [--rounds R] [--runs N] [--socat PATH] [--host parlino "
                         "--publications DIR]\n"
                         "  R rounds of 59,049 five-byte lines per run, N runs of each kind\n",
                         argv[0]);
            return 2;
        }
    }
    const std::uint64_t lines = rounds * linesPerPublicationRound;
    char directory[] = "/tmp/parlino-line-rate-XXXXXX";
    if (::mkdtemp(directory) == nullptr)
        return 2;
    std::vector<RunResult> results;
    const auto note = [&] {
        const auto &r = results.back();
        std::fprintf(stderr, "%-12s %7" PRIu64 " of %7" PRIu64 " whole, %" PRIu64 " broken, in %.3f s\n",
                     r.kind.c_str(), r.delivered, r.sent, r.broken, r.sendSeconds);
    };
    // Alternating, so that every kind feels the same drift of a shared machine.
    for (int run = 0; run < runs; ++run) {
        if (!host.empty()) {
            results.push_back(hostPublications(rounds, host, publications, directory));
            note();
        }
        results.push_back(publicationToPublication(lines));
        note();
        results.push_back(socatToSocat(lines, socat, directory));
        note();
    }
    ::rmdir(directory);
    printJson(results, lines);
    return 0;
}
