// The host side of the test: two sets of callbacks that copy what the DLL
// hands over, so checks can run after the DLL has released its texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace parlino::dlltest {

struct Registration {
    int host; // which set of callbacks received it: 0 or 1
    std::int32_t number;
    std::optional<std::string> name, description, parameterType; // nullopt: a null pointer
    std::uint32_t parameterCount, parameterCountAgain;

    bool operator==(const Registration &) const = default;
};

struct VariableSet {
    int host;
    std::optional<std::string> name, value; // nullopt: a null pointer
    std::size_t desktopCallsBefore;         // recorded desktop calls at the moment of the set
};

struct HostRecord {
    std::vector<Registration> registrations;
    std::vector<VariableSet> variableSets;

    // The value of the last set of `name` through any callbacks; "" for null.
    std::optional<std::string> lastValue(const std::string &name) const;
    void clear();
};

HostRecord &hostRecord();

// nbRegisterPlugIn with the first (0) or the second (1) set of callbacks.
void registerWithHost(int host = 0);

} // namespace parlino::dlltest
