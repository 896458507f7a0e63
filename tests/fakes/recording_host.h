// A host for tests: its two callbacks copy what the module hands over, so a
// test can check registrations and variables after the calls have returned.
#pragma once

#include "parlino.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace parlino::testing {

struct Registration {
    std::int32_t number;
    std::optional<std::string> name, description, parameterType; // nullopt: a null pointer
    std::uint32_t parameterCount, parameterCountAgain;
    bool operator==(const Registration &) const = default;
};

struct VariableSet {
    std::optional<std::string> name, value; // nullopt: a null pointer
    bool operator==(const VariableSet &) const = default;
};

class RecordingHost {
  public:
    // Registers the module with this host's callbacks (first or second set).
    void registerModule(bool secondCallbacks = false);
    std::vector<Registration> registrations(bool secondCallbacks = false) const;
    std::vector<VariableSet> variableSets(bool secondCallbacks = false) const;
    // The value of the last set of `name`, "" when it was set to null.
    std::optional<std::string> lastValue(const std::string &name) const;
    void clear();
};

RecordingHost &recordingHost();

} // namespace parlino::testing
