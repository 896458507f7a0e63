#include "recording_host.h"

#include "shipped_dll.h"
#include "system_recorders.h"

namespace parlino::dlltest {
namespace {

std::optional<std::string> copyOf(const char *text) {
    return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
}

template <int host>
int32_t PARLINO_CALL recordRegistration(int32_t number, const char *name, const char *description,
                                        const char *parameterType, uint32_t count,
                                        uint32_t countAgain) {
    hostRecord().registrations.push_back({host, number, copyOf(name), copyOf(description),
                                          copyOf(parameterType), count, countAgain});
    return 1;
}

template <int host> int32_t PARLINO_CALL recordVariable(const char *name, const char *value) {
    hostRecord().variableSets.push_back(
        {host, copyOf(name), copyOf(value), recording().desktop.size()});
    return 1;
}

} // namespace

HostRecord &hostRecord() {
    static HostRecord record;
    return record;
}

std::optional<std::string> HostRecord::lastValue(const std::string &name) const {
    for (auto set = variableSets.rbegin(); set != variableSets.rend(); ++set)
        if (set->name == name)
            return set->value.value_or("");
    return std::nullopt;
}

void HostRecord::clear() {
    registrations.clear();
    variableSets.clear();
}

void registerWithHost(int host) {
    if (host == 0)
        shippedDll().registerPlugIn(recordRegistration<0>, 2, 3, recordVariable<0>);
    else
        shippedDll().registerPlugIn(recordRegistration<1>, 22, 33, recordVariable<1>);
}

} // namespace parlino::dlltest
