#include "fakes/recording_host.h"

#include "host/core/lock.h"

#include <array>

namespace parlino::testing {
namespace {

host::system::Mutex hostLock; // the receive action may set a variable from another thread
std::array<std::vector<Registration>, 2> registrationsBySet;
std::array<std::vector<VariableSet>, 2> variableSetsBySet;

std::optional<std::string> copyOf(const char *text) {
    return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
}

template <int set>
int32_t PARLINO_CALL recordRegistration(int32_t number, const char *name, const char *description,
                                        const char *parameterType, uint32_t count,
                                        uint32_t countAgain) {
    const host::system::ScopedLock guard(hostLock);
    registrationsBySet[set].push_back(
        {number, copyOf(name), copyOf(description), copyOf(parameterType), count, countAgain});
    return 1;
}

template <int set> int32_t PARLINO_CALL recordVariable(const char *name, const char *value) {
    const host::system::ScopedLock guard(hostLock);
    variableSetsBySet[set].push_back({copyOf(name), copyOf(value)});
    return 1;
}

} // namespace

RecordingHost &recordingHost() {
    static RecordingHost host;
    return host;
}

void RecordingHost::registerModule(bool secondCallbacks) {
    if (secondCallbacks)
        nbRegisterPlugIn(recordRegistration<1>, 22, 33, recordVariable<1>);
    else
        nbRegisterPlugIn(recordRegistration<0>, 2, 3, recordVariable<0>);
}

std::vector<Registration> RecordingHost::registrations(bool secondCallbacks) const {
    const host::system::ScopedLock guard(hostLock);
    return registrationsBySet[secondCallbacks];
}

std::vector<VariableSet> RecordingHost::variableSets(bool secondCallbacks) const {
    const host::system::ScopedLock guard(hostLock);
    return variableSetsBySet[secondCallbacks];
}

std::optional<std::string> RecordingHost::lastValue(const std::string &name) const {
    const host::system::ScopedLock guard(hostLock);
    for (auto set = variableSetsBySet[0].rbegin(); set != variableSetsBySet[0].rend(); ++set)
        if (set->name == name)
            return set->value.value_or("");
    return std::nullopt;
}

void RecordingHost::clear() {
    const host::system::ScopedLock guard(hostLock);
    for (auto &registrations : registrationsBySet)
        registrations.clear();
    for (auto &sets : variableSetsBySet)
        sets.clear();
}

} // namespace parlino::testing
