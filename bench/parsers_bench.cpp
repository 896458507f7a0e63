// The three readers every send runs, per call, on short and long texts, with
// the allocations they make (there should be none).
#include "bench/allocation_counter.h"
#include "chat/number_text.h"
#include "chat/text_fields.h"

#include <benchmark/benchmark.h>

#include <string>

namespace parlino::bench {
namespace {

const std::string shortNumber = "5000";
// Blanks to skip, more digits than are significant, a fraction and an exponent.
const std::string longNumber = " \t  123456789012345678901234567890.0625E-12 and the rest of a line";
const std::string shortAddress = "10.0.0.7";
// Zero-padded octets and a long tail of fields that are never read.
const std::string longAddress = "  192.000168.0001.0020" + std::string(1000, '.');
const std::string shortParameter = "127.0.0.1|5000|hello";
const std::string longParameter = "127.0.0.1|5000|" + std::string(1400, 'z');

template <typename Call> void perCall(benchmark::State &state, Call call) {
    const auto before = allocationCount();
    for (auto _ : state)
        call();
    state.counters["allocs_per_op"] = benchmark::Counter(
        static_cast<double>(allocationCount() - before), benchmark::Counter::kAvgIterations);
}

void parseNumberCall(benchmark::State &state, const std::string *text) {
    perCall(state, [&] { benchmark::DoNotOptimize(parseNumber(*text)); });
}

void textToAddressCall(benchmark::State &state, const std::string *text) {
    perCall(state, [&] { benchmark::DoNotOptimize(textToAddress(*text)); });
}

// Field 3, the line of a send.
void parameterFieldCall(benchmark::State &state, const std::string *text) {
    perCall(state, [&] { benchmark::DoNotOptimize(parameterField(*text, '|', 3)); });
}

BENCHMARK_CAPTURE(parseNumberCall, short, &shortNumber);
BENCHMARK_CAPTURE(parseNumberCall, long, &longNumber);
BENCHMARK_CAPTURE(textToAddressCall, short, &shortAddress);
BENCHMARK_CAPTURE(textToAddressCall, long, &longAddress);
BENCHMARK_CAPTURE(parameterFieldCall, short, &shortParameter);
BENCHMARK_CAPTURE(parameterFieldCall, long, &longParameter);

} // namespace
} // namespace parlino::bench
