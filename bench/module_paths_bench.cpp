// Each path of the module, driven through nbExecAction as a host drives it,
// next to the least the platform needs for the same work, in the same run.
// Pairs are named <path>/module/<arg> and <path>/bare/<arg>; scripts/bench.sh
// turns them into ratios. Nothing here asserts a time: where the module's
// work goes wrong (a line that does not arrive whole, a status other than
// "Ok") the benchmark stops with an error instead.
#include "bench/allocation_counter.h"
#include "bench/bare_socket.h"
#include "bench/loaded_module.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace parlino::bench {
namespace {

enum class Path { module, bare };

constexpr std::int32_t openPortAction = 2;
constexpr std::int32_t sendAction = 3;
constexpr std::int32_t receiveAction = 4;
constexpr std::int32_t closePortAction = 5;
constexpr int chatWaitMs = 1024;

// How many datagrams of `length` bytes a receive queue of the default size
// holds with room to spare; the benchmarks fill or empty queues in batches
// of this many, outside the timed work.
std::size_t batchFor(std::size_t length) {
    return std::max<std::size_t>(1, 100000 / (length + 1000));
}

void reportAllocations(benchmark::State &state, std::uint64_t allocations) {
    state.counters["allocs_per_op"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}

void reportWhole(benchmark::State &state, std::size_t whole) {
    state.counters["whole_share"] =
        static_cast<double>(whole) / static_cast<double>(std::max<std::int64_t>(1, state.iterations()));
}

// ---- Send: nbExecAction(3, "127.0.0.1|port|text") against poll(POLLOUT) + sendto.
// A send that succeeds sets no variable, so the host's callback is not
// called; the strings host's pair shows that it stays so.
void sendLine(benchmark::State &state, Path path, HostCallback callback) {
    const auto length = static_cast<std::size_t>(state.range(0));
    const BareSocket sink;
    const BareSocket bareSender(0, true);
    auto &module = LoadedModule::instance();
    module.useCallback(callback);
    const std::string payload(length, 'x');
    const std::string parameter = loopbackField(sink.port()) + "|" + payload;
    const sockaddr_in to = loopbackAddress(sink.port());
    if (path == Path::module)
        module.execute(openPortAction, "0");
    const auto batch = batchFor(length);
    std::size_t sinceDrain = 0, whole = 0;
    const auto allocationsBefore = allocationCount();
    for (auto _ : state) {
        if (sinceDrain == batch) {
            state.PauseTiming();
            sink.drain(length, whole);
            sinceDrain = 0;
            state.ResumeTiming();
        }
        ++sinceDrain;
        if (path == Path::module)
            module.execute(sendAction, parameter.c_str());
        else
            bareSend(bareSender.descriptor(), payload.data(), length, to);
    }
    const auto allocations = allocationCount() - allocationsBefore;
    sink.drain(length, whole);
    if (path == Path::module)
        module.execute(closePortAction, nullptr);
    reportAllocations(state, allocations);
    reportWhole(state, whole);
    if (whole != static_cast<std::size_t>(state.iterations()))
        state.SkipWithError("a sent line did not arrive whole");
}

// ---- Receive with a datagram queued: nbExecAction(4) against poll + recvfrom + copy.
// Behind the light host the bare copy is a memcpy into a fixed buffer; behind
// the strings host, whose callback keeps the value as a new std::string, the
// bare side keeps what came as a new std::string too.
void receiveLine(benchmark::State &state, Path path, HostCallback callback) {
    const auto length = static_cast<std::size_t>(state.range(0));
    auto &module = LoadedModule::instance();
    module.useCallback(callback);
    const BareSocket feeder;
    const auto port = freePort();
    std::optional<BareSocket> bareReceiver;
    if (path == Path::module) {
        module.execute(openPortAction, std::to_string(port).c_str());
        if (module.lastValue() != "Ok") {
            state.SkipWithError("the chat port did not open");
            return;
        }
    } else {
        bareReceiver.emplace(port, true);
    }
    const sockaddr_in to = loopbackAddress(port);
    const std::string payload(length, 'y');
    static char buffer[65536], copy[65536];
    std::string kept;
    const auto batch = batchFor(length);
    std::size_t queued = 0, whole = 0;
    const auto allocationsBefore = allocationCount();
    for (auto _ : state) {
        if (queued == 0) {
            state.PauseTiming();
            for (std::size_t i = 0; i < batch; ++i)
                ::sendto(feeder.descriptor(), payload.data(), length, 0,
                         reinterpret_cast<const sockaddr *>(&to), sizeof to);
            queued = batch;
            state.ResumeTiming();
        }
        --queued;
        if (path == Path::module) {
            module.execute(receiveAction, nullptr);
            whole += module.lastValue().size() == length;
        } else if (callback == HostCallback::light) {
            whole += static_cast<std::size_t>(
                bareReceive(bareReceiver->descriptor(), buffer, copy, chatWaitMs)) == length;
            benchmark::DoNotOptimize(copy[0]);
        } else {
            whole += bareReceiveString(bareReceiver->descriptor(), buffer, kept, chatWaitMs) &&
                     kept.size() == length;
            benchmark::DoNotOptimize(kept.data());
        }
    }
    const auto allocations = allocationCount() - allocationsBefore;
    if (path == Path::module)
        module.execute(closePortAction, nullptr);
    reportAllocations(state, allocations);
    reportWhole(state, whole);
    if (whole != static_cast<std::size_t>(state.iterations()))
        state.SkipWithError("a queued line was not received whole");
}

// ---- Open and close the chat port against socket + bind + close.
void openClosePort(benchmark::State &state, Path path) {
    auto &module = LoadedModule::instance();
    module.useCallback(HostCallback::light);
    const auto port = freePort();
    const std::string portText = std::to_string(port);
    sockaddr_in address = loopbackAddress(port);
    address.sin_addr.s_addr = INADDR_ANY;
    std::size_t opened = 0;
    const auto allocationsBefore = allocationCount();
    for (auto _ : state) {
        if (path == Path::module) {
            module.execute(openPortAction, portText.c_str());
            opened += module.lastValue() == "Ok";
            module.execute(closePortAction, nullptr);
        } else {
            const int descriptor = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            opened += ::bind(descriptor, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
            ::close(descriptor);
        }
    }
    reportAllocations(state, allocationCount() - allocationsBefore);
    if (opened != static_cast<std::size_t>(state.iterations()))
        state.SkipWithError("an open failed");
}

// ---- Round trip: "ping" to a second party, which answers "pong".
std::pair<std::uint16_t, std::uint16_t> twoFreePorts() {
    const auto first = freePort();
    auto second = freePort();
    while (second == first)
        second = freePort();
    return {first, second};
}

void roundTrip(benchmark::State &state, Path path) {
    const auto [nearPort, farPort] = twoFreePorts();
    std::atomic<bool> farReady{false};
    std::size_t whole = 0;
    if (path == Path::module) {
        auto &nearEnd = LoadedModule::instance(0);
        const auto &farEnd = LoadedModule::instance(1);
        nearEnd.useCallback(HostCallback::light);
        nearEnd.execute(openPortAction, std::to_string(nearPort).c_str());
        std::thread far([&] {
            farEnd.execute(openPortAction, std::to_string(farPort).c_str());
            farReady = true;
            const std::string pong = loopbackField(nearPort) + "|pong";
            for (;;) {
                farEnd.execute(receiveAction, nullptr);
                if (farEnd.lastValue() == "stop")
                    break;
                if (farEnd.lastValue() == "ping")
                    farEnd.execute(sendAction, pong.c_str());
            }
            farEnd.execute(closePortAction, nullptr);
        });
        while (!farReady)
            std::this_thread::yield();
        const std::string ping = loopbackField(farPort) + "|ping";
        for (auto _ : state) {
            nearEnd.execute(sendAction, ping.c_str());
            nearEnd.execute(receiveAction, nullptr);
            whole += nearEnd.lastValue() == "pong";
        }
        nearEnd.execute(sendAction, (loopbackField(farPort) + "|stop").c_str());
        far.join();
        nearEnd.execute(closePortAction, nullptr);
    } else {
        const BareSocket nearEnd(nearPort, true);
        std::thread far([&] {
            const BareSocket farEnd(farPort, true);
            farReady = true;
            const auto to = loopbackAddress(nearPort);
            static char buffer[65536], copy[65536];
            for (;;) {
                const auto length = bareReceive(farEnd.descriptor(), buffer, copy, chatWaitMs);
                if (length == 4 && std::string_view(copy, 4) == "stop")
                    break;
                if (length == 4 && std::string_view(copy, 4) == "ping")
                    bareSend(farEnd.descriptor(), "pong", 4, to);
            }
        });
        while (!farReady)
            std::this_thread::yield();
        const auto to = loopbackAddress(farPort);
        static char buffer[65536], copy[65536];
        for (auto _ : state) {
            bareSend(nearEnd.descriptor(), "ping", 4, to);
            whole += bareReceive(nearEnd.descriptor(), buffer, copy, chatWaitMs) == 4 &&
                     std::string_view(copy, 4) == "pong";
        }
        bareSend(nearEnd.descriptor(), "stop", 4, to);
        far.join();
    }
    reportWhole(state, whole);
    if (whole != static_cast<std::size_t>(state.iterations()))
        state.SkipWithError("an answer did not come back whole");
}

// ---- The receive's wait with nothing arriving: asked for 1.024 s.
void emptyReceive(benchmark::State &state, Path path) {
    auto &module = LoadedModule::instance();
    module.useCallback(HostCallback::light);
    const auto port = freePort();
    std::optional<BareSocket> bareReceiver;
    if (path == Path::module)
        module.execute(openPortAction, std::to_string(port).c_str());
    else
        bareReceiver.emplace(port, true);
    std::size_t empty = 0;
    for (auto _ : state) {
        if (path == Path::module) {
            module.execute(receiveAction, nullptr);
            empty += module.lastValue().empty();
        } else {
            pollfd watched{bareReceiver->descriptor(), POLLIN, 0};
            empty += ::poll(&watched, 1, chatWaitMs) == 0;
        }
    }
    if (path == Path::module)
        module.execute(closePortAction, nullptr);
    if (empty != static_cast<std::size_t>(state.iterations()))
        state.SkipWithError("something arrived during the empty wait");
}

void sendLine(benchmark::State &state, Path path) { sendLine(state, path, HostCallback::light); }
void sendLineStringHost(benchmark::State &state, Path path) {
    sendLine(state, path, HostCallback::strings);
}
void receiveLine(benchmark::State &state, Path path) { receiveLine(state, path, HostCallback::light); }
void receiveLineStringHost(benchmark::State &state, Path path) {
    receiveLine(state, path, HostCallback::strings);
}

double smallest(const std::vector<double> &values) {
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}
double largest(const std::vector<double> &values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

#define PARLINO_PAIR(function, ...)                                                                \
    BENCHMARK_CAPTURE(function, module, Path::module) __VA_ARGS__;                                 \
    BENCHMARK_CAPTURE(function, bare, Path::bare) __VA_ARGS__

PARLINO_PAIR(sendLine, ->Arg(5)->Arg(1400)->Arg(65507)->UseRealTime());
PARLINO_PAIR(receiveLine, ->Arg(5)->Arg(1400)->Arg(65507)->UseRealTime());
PARLINO_PAIR(sendLineStringHost, ->Arg(5)->Arg(1400)->UseRealTime());
PARLINO_PAIR(receiveLineStringHost, ->Arg(5)->Arg(1400)->UseRealTime());
PARLINO_PAIR(openClosePort, ->UseRealTime());
PARLINO_PAIR(roundTrip, ->UseRealTime());
PARLINO_PAIR(emptyReceive, ->Iterations(1)->Repetitions(10)->UseRealTime()->Unit(benchmark::kMillisecond)
                               ->ComputeStatistics("min", smallest)
                               ->ComputeStatistics("max", largest));

} // namespace
} // namespace parlino::bench
