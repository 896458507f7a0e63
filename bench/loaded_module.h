// The module as a host sees it: Parlino.so loaded with dlopen and driven only
// through its exported entry points, behind one of two hosts: a light one
// whose set-variable callback keeps a copy of the last value set in a fixed
// buffer and allocates nothing, or one whose callback does what a real host's
// does (a std::string of the name, compared and counted, and the value kept
// as a new std::string).
#pragma once

#include "parlino.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace parlino::bench {

enum class HostCallback { light, strings };

class LoadedModule {
  public:
    // Instance 0 is the module file itself; instance 1 a private copy of it,
    // with its own chat port and state, for the far end of a round trip.
    // Each is loaded and registered once, on first use. Exits the program
    // with a message when the module cannot be loaded.
    static LoadedModule &instance(int which = 0);

    // nbExecAction with a reference to `parameter` (null: the empty text).
    std::int32_t execute(std::int32_t action, const char *parameter) const;

    // The last value the module set, as the host's callback copied it (the
    // empty text when it was set to null), and how many sets there were.
    std::string_view lastValue() const;
    std::uint64_t setCount() const;

    // Registers the module again with the other callback; the module uses
    // the latest registration from its next call on. Instances start light.
    void useCallback(HostCallback callback);

  private:
    explicit LoadedModule(int which);
    int which_;
    HostCallback callback_ = HostCallback::light;
    using RegisterPlugIn = void (*)(ParlinoRegisterActionProc, intptr_t, intptr_t, ParlinoSetVariableProc);
    RegisterPlugIn registerPlugIn_ = nullptr;
    using ExecAction = std::int32_t (*)(std::int32_t, const char *const *);
    ExecAction execAction_ = nullptr;
};

// The module file a host would load: $PARLINO_MODULE, or the one built
// next to the benchmarks.
std::string modulePath();

} // namespace parlino::bench
