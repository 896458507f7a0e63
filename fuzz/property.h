// A failed property aborts the run, so libFuzzer keeps the input as a crash.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace parlino::fuzzing {

[[noreturn]] inline void propertyFailed(const char *property, const char *file, int line) {
    std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, property);
    std::abort();
}

} // namespace parlino::fuzzing

// Variadic so that a condition may hold braced lists with commas.
#define PROPERTY(...)                                                                              \
    do {                                                                                           \
        if (!(__VA_ARGS__))                                                                        \
            ::parlino::fuzzing::propertyFailed(#__VA_ARGS__, __FILE__, __LINE__);                  \
    } while (false)
